// Area-averaging reduction of a 6000 × 4000 photo-like picture: the whole picture to a third
// (2000 × 1333), a 4000 × 3000 region to 1600 × 1200, and a ratio in lowest terms as large as
// it gets (1999 × 1333), next to a plain copy of the source bytes. bench/reduce_peers.sh times
// vips shrink and ImageMagick -scale on the same picture next to these. For dense screens: the
// work area's rendering of the photo at pixel ratio 2, and a 1920 × 1080 picture shown at its
// own size enlarged by whole pixels at ratios 1.5 and 2.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "bench/bench_common.h"
#include "imaging/enlarge.h"
#include "imaging/reduce.h"
#include "imaging/region.h"

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

// 1584 × 1056 logical pixels of work area, at pixel ratio 2.
void BM_ReduceForRatio2(benchmark::State& state) { reduceBench(state, 0, 0, 6000, 4000, 3168, 2112); }
BENCHMARK(BM_ReduceForRatio2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A rate of 50, the commonest reduction: the whole picture, and the rows of a 2160 × 3840 cut
// as the JPEG decoder hands them over, two at a time.
void BM_ReduceHalf(benchmark::State& state) { reduceBench(state, 0, 0, 6000, 4000, 3000, 2000); }
BENCHMARK(BM_ReduceHalf)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RowReductionHalf(benchmark::State& state)
{
    const Bitmap region = copyRegion(photo(), 1920, 80, 2160, 3840);
    Bitmap band(2160, 2);
    for (auto _ : state) {
        RowReduction reduction(2160, 3840, 1080, 1920);
        for (int y = 0; y < 3840; y += 2) {
            std::memcpy(band.row(0), region.row(y), std::size_t(2160) * 3 * 2);
            reduction.addRows(band, 2);
        }
        Bitmap out = reduction.take();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * 2160 * 3840);
}
BENCHMARK(BM_RowReductionHalf)->Unit(benchmark::kMillisecond)->UseRealTime();

void enlargeBench(benchmark::State& state, int dstW, int dstH)
{
    const Bitmap src = reduceArea(photo(), 1920, 1080);
    for (auto _ : state) {
        Bitmap out = enlargeNearest(src, dstW, dstH);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(dstW) * dstH);
}

void BM_EnlargeRatio1_5(benchmark::State& state) { enlargeBench(state, 2880, 1620); }
BENCHMARK(BM_EnlargeRatio1_5)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EnlargeRatio2(benchmark::State& state) { enlargeBench(state, 3840, 2160); }
BENCHMARK(BM_EnlargeRatio2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/third.ppm", test::toPpm(reduceArea(photo(), 2000, 1333)));
        test::writeBytes(d + "/region.ppm", test::toPpm(reduceArea(photo(), 1000, 500, 4000, 3000, 1600, 1200)));
    });
}
