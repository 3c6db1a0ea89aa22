// trimlet-cli's commonest job done in one process on the 6000 × 4000 photo-like q90 JPEG: decode,
// turn right, cut 1920 × 1080 at 50 % around the middle, encode at quality 90, through the
// calls the tool makes, with the file already in memory. bench/compare.sh times trimlet-cli
// itself, libvips and ImageMagick on the same file next to this.

#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/cut.h"
#include "imaging/quarter_turn.h"

namespace {

using namespace trimlet;

using bench::photoJpeg;

void BM_Pipeline(benchmark::State& state)
{
    CutRequest cut;
    cut.width = 1920;
    cut.height = 1080;
    cut.rate = 50;
    for (auto _ : state) {
        const auto picture = decodePictureAsStored(PictureKind::Jpeg, photoJpeg());
        const Bitmap piece = cutPicture(turnRight(picture.value().bitmap()), cut);
        auto jpeg = encodeJpeg(piece, 90);
        benchmark::DoNotOptimize(jpeg.value().data());
    }
}
BENCHMARK(BM_Pipeline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/photo.jpg", photoJpeg());
        // For the tools' start-up alone: a file whose reading and writing cost next to nothing.
        test::writeBytes(d + "/tiny.jpg", encodeJpeg(test::photoLike(16, 16), 90).value());
    });
}
