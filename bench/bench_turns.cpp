// Quarter turns, flips, the half turn and the 30° bilinear rotation (whole, and a rectangle of
// it) of a 6000 × 4000 photo-like picture, next to a plain copy of its bytes. The turns and the
// rotation make a new bitmap each time, as the window does; the flips and the half turn work in
// place on the window's working copy. bench/turns_peers.sh times libvips and ImageMagick on the same picture next to these.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "bench/bench_common.h"
#include "imaging/flip.h"
#include "imaging/quarter_turn.h"
#include "imaging/region.h"
#include "imaging/rotate.h"

namespace {

using namespace trimlet;

using bench::photo;

void BM_Memcpy(benchmark::State& state) { bench::memcpyPhoto(state); }
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

template <Bitmap (*Turn)(const Bitmap&, const TurnProgress&)>
void turnBench(benchmark::State& state)
{
    int steps = 0;
    for (auto _ : state) {
        Bitmap out = Turn(photo(), [&](int, int) { ++steps; });
        benchmark::DoNotOptimize(out.data());
    }
    benchmark::DoNotOptimize(steps);
}
void BM_TurnRight(benchmark::State& state) { turnBench<turnRight>(state); }
void BM_TurnLeft(benchmark::State& state) { turnBench<turnLeft>(state); }
BENCHMARK(BM_TurnRight)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TurnLeft)->Unit(benchmark::kMillisecond)->UseRealTime();

template <Bitmap (*Mirror)(Bitmap)>
void inPlaceBench(benchmark::State& state)
{
    Bitmap picture = photo();
    for (auto _ : state) {
        picture = Mirror(std::move(picture));
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
}
void BM_FlipVertical(benchmark::State& state) { inPlaceBench<flipVertical>(state); }
void BM_FlipHorizontal(benchmark::State& state) { inPlaceBench<flipHorizontal>(state); }
void BM_HalfTurn(benchmark::State& state) { inPlaceBench<halfTurn>(state); }
BENCHMARK(BM_FlipVertical)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlipHorizontal)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HalfTurn)->Unit(benchmark::kMillisecond)->UseRealTime();

// With the progress and stop check the window makes every 100 rows.
void BM_Rotate30(benchmark::State& state)
{
    const int threads = int(state.range(0));
    for (auto _ : state) {
        auto out = rotateBilinear(
            photo(), 30, Rgb{}, [](int, int percent) { return percent > 100; }, threads);
        benchmark::DoNotOptimize(out->data());
    }
    state.SetItemsProcessed(state.iterations() * photo().width() * photo().height());
}
BENCHMARK(BM_Rotate30)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// The 1920 × 1080 middle of the same rotation from its source box alone, as a rotated cut makes
// it: per result pixel as fast as the whole rotation (pixels/s against BM_Rotate30's).
void BM_Rotate30Region(benchmark::State& state)
{
    const int threads = int(state.range(0));
    const Bitmap& src = photo();
    const IntRect rect{(src.width() - 1920) / 2, (src.height() - 1080) / 2, 1920, 1080};
    const IntRect box = rotationSourceBox(src.width(), src.height(), 30, rect);
    const Bitmap part = copyRegion(src, box.x, box.y, box.w, box.h);
    for (auto _ : state) {
        Bitmap out = rotateBilinearRegion(part, {box.x, box.y}, src.width(), src.height(), 30, Rgb{}, rect, threads);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * rect.w * rect.h);
}
BENCHMARK(BM_Rotate30Region)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// The live preview on a base the size of a large work area.
void BM_RotationPreview(benchmark::State& state)
{
    static const Bitmap base = test::photoLike(1500, 1000);
    for (auto _ : state) {
        Bitmap out = rotationPreview(base, 30, Rgb{});
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_RotationPreview)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/right.ppm", test::toPpm(turnRight(photo())));
        test::writeBytes(d + "/vertical.ppm", test::toPpm(flipVertical(photo())));
        test::writeBytes(d + "/horizontal.ppm", test::toPpm(flipHorizontal(photo())));
        test::writeBytes(d + "/rotate30.ppm", test::toPpm(*rotateBilinear(photo(), 30, Rgb{})));
    });
}
