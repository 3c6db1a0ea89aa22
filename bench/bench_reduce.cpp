// Area-averaging reduction of a 6000 × 4000 photo-like picture: the whole picture to a third
// (2000 × 1333), a 4000 × 3000 region to 1600 × 1200, and a ratio in lowest terms as large as
// it gets (1999 × 1333), next to a plain copy of the source bytes. bench/reduce_peers.sh times
// vips shrink and ImageMagick -scale on the same picture next to these.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "imaging/reduce.h"
#include "bench/bench_common.h"

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
    // Made before timing starts: a lazy first use would land in the first benchmark's figure.
    photo();
    // With TRIMLET_BENCH_WRITE=DIR the picture is also written as DIR/photo.ppm, and the expected
    // results as DIR/third.ppm and DIR/region.ppm, so that the peers run on the very same data
    // and their output can be compared with ours.
    if (const char* dir = std::getenv("TRIMLET_BENCH_WRITE")) {
        const std::string d(dir);
        test::writeBytes(d + "/photo.ppm", test::toPpm(photo()));
        test::writeBytes(d + "/third.ppm", test::toPpm(reduceArea(photo(), 2000, 1333)));
        test::writeBytes(d + "/region.ppm", test::toPpm(reduceArea(photo(), 1000, 500, 4000, 3000, 1600, 1200)));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
