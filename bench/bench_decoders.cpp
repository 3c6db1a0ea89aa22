// HEIC, AVIF and TIFF decodes of a 4000 × 3000 photo-like picture, made at start-up by the
// formats' Debian encoders (heif-enc -q 80, avifenc -s 8 --min 20 --max 30, ImageMagick's LZW
// TIFF). bench/heif_peers.sh times heif-convert, avifdec and tiff2rgba on the same files.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codecs/avif.h"
#include "codecs/heif.h"
#include "codecs/tiff.h"
#include "tests/support/test_support.h"

namespace {

using namespace trimlet;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

struct Files {
    std::vector<std::uint8_t> heic, avif, tiff;
};

Files& files()
{
    static Files f;
    return f;
}

template <class Decode>
void decodeLoop(benchmark::State& state, const std::vector<std::uint8_t>& bytes, Decode decode)
{
    for (auto _ : state) {
        auto image = decode(bytes);
        if (!image) {
            state.SkipWithError(image.error().message.c_str());
            return;
        }
        benchmark::DoNotOptimize(image.value().bitmap.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void BM_HeifDecode(benchmark::State& state)
{
    decodeLoop(state, files().heic, [](Bytes b) { return decodeHeif(b); });
}
BENCHMARK(BM_HeifDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AvifDecode(benchmark::State& state)
{
    decodeLoop(state, files().avif, [](Bytes b) { return decodeAvif(b); });
}
BENCHMARK(BM_AvifDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TiffDecodeLzw(benchmark::State& state)
{
    decodeLoop(state, files().tiff, [](Bytes b) { return decodeTiff(b); });
}
BENCHMARK(BM_TiffDecodeLzw)->Unit(benchmark::kMillisecond)->UseRealTime();

bool run(const std::string& command)
{
    if (test::runCommand(command + " >/dev/null 2>&1").exitCode == 0)
        return true;
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
}

// Makes the files in dir (the peers' folder with TRIMLET_BENCH_WRITE, else a temporary one)
// unless a run before made them there.
bool makeFiles(const std::string& dir)
{
    const std::string ppm = dir + "/photo.ppm", png = dir + "/photo.png", tif = dir + "/photo.tif";
    if (!test::fileExists(tif)) {
        test::writeBytes(ppm, test::toPpm(test::photoLike(kWidth, kHeight)));
        if (!run("convert '" + ppm + "' '" + png + "'") ||
            !run("heif-enc -q 80 -o '" + dir + "/photo.heic' '" + png + "'") ||
            !run("avifenc -j 2 -s 8 --min 20 --max 30 '" + png + "' '" + dir + "/photo.avif'") ||
            !run("convert '" + ppm + "' -compress lzw '" + tif + "'"))
            return false;
    }
    files() = {test::readBytes(dir + "/photo.heic"), test::readBytes(dir + "/photo.avif"), test::readBytes(tif)};
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* shared = std::getenv("TRIMLET_BENCH_WRITE");
    std::unique_ptr<test::TempDir> own;
    if (!shared)
        own = std::make_unique<test::TempDir>();
    if (!makeFiles(shared ? std::string(shared) : own->path()))
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
