// The kernels that share their rows out to the cores, on one thread and on two: the area
// reduction to half size and to a window-sized view, and the quarter turn, on 24 and 100 MP
// photo-like pictures. The picture is made before timing starts.

#include <benchmark/benchmark.h>

#include <map>

#include "base/parallel.h"
#include "imaging/quarter_turn.h"
#include "imaging/reduce.h"
#include "tests/support/test_support.h"

namespace {

using namespace trimlet;

// 6000 × 4000 or 12240 × 8160.
const Bitmap& picture(int megapixels)
{
    static std::map<int, Bitmap> made;
    auto found = made.find(megapixels);
    if (found == made.end())
        found = made.emplace(megapixels, megapixels == 24 ? test::photoLike(6000, 4000) : test::photoLike(12240, 8160))
                    .first;
    return found->second;
}

template <class Kernel>
void threaded(benchmark::State& state, Kernel kernel)
{
    const Bitmap& src = picture(int(state.range(0)));
    setThreadLimit(int(state.range(1)));
    for (auto _ : state) {
        Bitmap out = kernel(src);
        benchmark::DoNotOptimize(out.data());
    }
    setThreadLimit(0);
}

void BM_ReduceHalf(benchmark::State& state)
{
    threaded(state, [](const Bitmap& b) { return reduceArea(b, b.width() / 2, b.height() / 2); });
}
void BM_ReduceToView(benchmark::State& state)
{
    threaded(state, [](const Bitmap& b) { return reduceArea(b, 1500, b.height() * 1500 / b.width()); });
}
void BM_TurnRight(benchmark::State& state)
{
    threaded(state, [](const Bitmap& b) { return turnRight(b); });
}

void sizesAndThreads(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"MP", "threads"});
    for (const int mp : {24, 100})
        for (const int threads : {1, 2})
            b->Args({mp, threads});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_ReduceHalf)->Apply(sizesAndThreads);
BENCHMARK(BM_ReduceToView)->Apply(sizesAndThreads);
BENCHMARK(BM_TurnRight)->Apply(sizesAndThreads);

}  // namespace

BENCHMARK_MAIN();
