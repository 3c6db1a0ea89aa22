// What loading a photo as shown costs on the 6000 × 4000 photo-like q90 JPEG: its Adobe RGB
// profile converted to sRGB (alone, and within the decode) and its EXIF orientation 6 undone,
// next to the plain decode. bench/photo_peers.sh times LittleCMS's tificc and libvips doing the
// conversion on the same pixels.

#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "codecs/colour_profile.h"
#include "codecs/jpeg.h"
#include "imaging/photo.h"

namespace {

using namespace trimlet;

using bench::photo;
using bench::photoJpeg;

const char* const kAdobeRgb = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";

const std::vector<std::uint8_t>& adobeProfile()
{
    static const std::vector<std::uint8_t> bytes = test::readBytes(kAdobeRgb);
    return bytes;
}

// The photo's JPEG with an APP marker put right after SOI.
std::vector<std::uint8_t> withSegment(std::uint8_t marker, std::vector<std::uint8_t> payload)
{
    const std::vector<std::uint8_t>& jpeg = photoJpeg();
    const std::size_t length = payload.size() + 2;
    std::vector<std::uint8_t> out(jpeg.size() + length + 2);
    const std::uint8_t head[6] = {0xFF, 0xD8, 0xFF, marker, std::uint8_t(length >> 8), std::uint8_t(length)};
    std::copy(std::begin(head), std::end(head), out.begin());
    std::copy(payload.begin(), payload.end(), out.begin() + 6);
    std::copy(jpeg.begin() + 2, jpeg.end(), out.begin() + 6 + std::ptrdiff_t(payload.size()));
    return out;
}

const std::vector<std::uint8_t>& adobeJpeg()
{
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> chunk{'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, 1, 1};
        chunk.insert(chunk.end(), adobeProfile().begin(), adobeProfile().end());
        return withSegment(0xE2, chunk);
    }();
    return bytes;
}

const std::vector<std::uint8_t>& turnedJpeg()
{
    // EXIF: "MM", IFD0 at 8 with one entry, orientation 6.
    static const std::vector<std::uint8_t> bytes =
        withSegment(0xE1, {'E',  'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                           0x01, 0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0});
    return bytes;
}

void BM_ProfileToSrgb(benchmark::State& state)
{
    Bitmap pixels = photo();
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(pixels.data(), photo().data(), pixels.byteCount());
        state.ResumeTiming();
        if (!convertToSrgb(pixels, adobeProfile()))
            state.SkipWithError("not converted");
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_ProfileToSrgb)->Unit(benchmark::kMillisecond)->UseRealTime();

void decodeAs(benchmark::State& state, const std::vector<std::uint8_t>& jpeg)
{
    for (auto _ : state) {
        auto picture = decodePictureUpright(PictureKind::Jpeg, jpeg);
        benchmark::DoNotOptimize(picture.value().bitmap().data());
    }
}

void BM_DecodePlain(benchmark::State& state) { decodeAs(state, photoJpeg()); }
BENCHMARK(BM_DecodePlain)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeAdobeRgb(benchmark::State& state) { decodeAs(state, adobeJpeg()); }
BENCHMARK(BM_DecodeAdobeRgb)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeTurnedRight(benchmark::State& state) { decodeAs(state, turnedJpeg()); }
BENCHMARK(BM_DecodeTurnedRight)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        test::writeBytes(d + "/adobe.jpg", adobeJpeg());
        Bitmap converted = photo();
        convertToSrgb(converted, adobeProfile());
        test::writeBytes(d + "/converted.ppm", test::toPpm(converted));
    });
}
