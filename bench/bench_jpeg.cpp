// JPEG decode and encode of a 6000 × 4000 photo-like picture at quality 90, and a centred
// 1920 × 1080 lossless piece of it (jpegtran -copy none -crop 1920x1080+2048+1456 makes the same).
// bench/jpeg_peers.sh times djpeg -dct float and cjpeg -dct float -quality 90 -baseline on the
// same picture next to the decode and encode.

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "bench/bench_common.h"
#include "codecs/jpeg.h"
#include "codecs/jpeg_lossless.h"

namespace {

using namespace trimlet;

using bench::photo;
using bench::photoJpeg;

void BM_JpegEncodeQ90(benchmark::State& state)
{
    for (auto _ : state) {
        auto jpeg = encodeJpeg(photo(), 90);
        benchmark::DoNotOptimize(jpeg.value().data());
    }
    state.SetItemsProcessed(state.iterations() * photo().width() * photo().height());
}
BENCHMARK(BM_JpegEncodeQ90)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JpegDecode(benchmark::State& state)
{
    const auto& bytes = photoJpeg();
    for (auto _ : state) {
        auto image = decodeJpeg(bytes);
        benchmark::DoNotOptimize(image.value().bitmap.data());
    }
    state.SetItemsProcessed(state.iterations() * photo().width() * photo().height());
}
BENCHMARK(BM_JpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JpegLosslessCut(benchmark::State& state)
{
    const auto& bytes = photoJpeg();
    for (auto _ : state) {
        auto piece = cutJpegLossless(bytes, 1, {2048, 1456, 1920, 1080});
        benchmark::DoNotOptimize(piece.value().data());
    }
    state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(BM_JpegLosslessCut)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv,
                                         [](const std::string& d) { test::writeBytes(d + "/photo.jpg", photoJpeg()); });
}
