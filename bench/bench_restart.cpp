// JPEG files with a restart marker after every MCU row: the 6000 × 4000 photo decoded on one
// thread against bands on every core, and a 1920 × 1080 region near the bottom of a
// 12000 × 8400 picture decoded the one-thread way (every row above decoded and passed over)
// against the way that starts at the region's own restart interval.

#include <benchmark/benchmark.h>

#include <jpeglib.h>

#include <cstdlib>

#include "bench/bench_common.h"
#include "codecs/jpeg.h"
#include "codecs/jpeg_restart.h"

namespace {

using namespace trimlet;

std::vector<std::uint8_t> restartJpeg(const Bitmap& picture)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(picture.width());
    c.image_height = JDIMENSION(picture.height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.restart_in_rows = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto row = const_cast<JSAMPROW>(picture.row(int(c.next_scanline)));  // libjpeg only reads it
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

const std::vector<std::uint8_t>& photoRestart()
{
    static const std::vector<std::uint8_t> bytes = restartJpeg(bench::photo());
    return bytes;
}

constexpr int kLargeWidth = 12000, kLargeHeight = 8400;
const JpegRegion kNearBottom{5000, kLargeHeight - 1080 - 200, 1920, 1080};

const std::vector<std::uint8_t>& largeRestart()
{
    static const std::vector<std::uint8_t> bytes = restartJpeg(test::photoLike(kLargeWidth, kLargeHeight, 3));
    return bytes;
}

// arg 0: the one-thread decode; 1: bands as the processor allows.
void BM_RestartDecode(benchmark::State& state)
{
    jpeg_internal::setRestartBands(state.range(0) ? 0 : -1);
    const auto& bytes = photoRestart();
    for (auto _ : state) {
        auto image = decodeJpeg(bytes);
        benchmark::DoNotOptimize(image.value().bitmap.data());
    }
    jpeg_internal::setRestartBands(0);
    state.SetItemsProcessed(state.iterations() * bench::photo().width() * bench::photo().height());
}
// The CPU column counts every thread, so it shows what the bands cost beside what they save.
BENCHMARK(BM_RestartDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_RestartRegion(benchmark::State& state)
{
    jpeg_internal::setRestartBands(state.range(0) ? 0 : -1);
    const auto& bytes = largeRestart();
    for (auto _ : state) {
        auto image = decodeJpegRegion(bytes, kNearBottom);
        benchmark::DoNotOptimize(image.value().bitmap.data());
    }
    jpeg_internal::setRestartBands(0);
    state.SetItemsProcessed(state.iterations() * kNearBottom.width * kNearBottom.height);
}
BENCHMARK(BM_RestartRegion)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    photoRestart();
    largeRestart();
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/photo_restart.jpg", photoRestart());
        test::writeBytes(d + "/large_restart.jpg", largeRestart());
    });
}
