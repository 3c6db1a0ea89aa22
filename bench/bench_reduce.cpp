// Area-averaging reduction of a 6000 × 4000 photo-like picture: the whole picture to a third
// (2000 × 1333), a 4000 × 3000 region to 1600 × 1200, and a ratio in lowest terms as large as
// it gets (1999 × 1333), next to a plain copy of the source bytes. bench/reduce_peers.sh times
// vips shrink and ImageMagick -scale on the same picture next to these.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "bench/bench_common.h"
#include "imaging/reduce.h"

namespace {

using namespace trimlet;

using bench::photo;

void BM_Memcpy72MB(benchmark::State& state) { bench::memcpyPhoto(state); }
BENCHMARK(BM_Memcpy72MB)->Unit(benchmark::kMillisecond)->UseRealTime();

void reduceBench(benchmark::State& state, int x, int y, int w, int h, int dstW, int dstH)
{
    for (auto _ : state) {
        Bitmap out = reduceArea(photo(), x, y, w, h, dstW, dstH);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(w) * h);
}

void BM_ReduceThird(benchmark::State& state) { reduceBench(state, 0, 0, 6000, 4000, 2000, 1333); }
BENCHMARK(BM_ReduceThird)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReduceRegion(benchmark::State& state) { reduceBench(state, 1000, 500, 4000, 3000, 1600, 1200); }
BENCHMARK(BM_ReduceRegion)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReduceCoprime(benchmark::State& state) { reduceBench(state, 0, 0, 6000, 4000, 1999, 1333); }
BENCHMARK(BM_ReduceCoprime)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/third.ppm", test::toPpm(reduceArea(photo(), 2000, 1333)));
        test::writeBytes(d + "/region.ppm", test::toPpm(reduceArea(photo(), 1000, 500, 4000, 3000, 1600, 1200)));
    });
}
