// WebP decode of a lossy 6000 × 4000 photo-like picture (quality 80), and its encode.
// bench/webp_peers.sh times dwebp and cwebp -q 80 on the same picture next to these.

#include <benchmark/benchmark.h>

#include "bench/bench_common.h"
#include "codecs/webp.h"

namespace {

using namespace trimlet;

using bench::photo;

const std::vector<std::uint8_t>& photoWebp()
{
    static const std::vector<std::uint8_t> bytes = encodeWebp(photo(), 80).value();
    return bytes;
}

void BM_WebpDecode(benchmark::State& state)
{
    const auto& bytes = photoWebp();
    for (auto _ : state) {
        auto image = decodeWebp(bytes);
        benchmark::DoNotOptimize(image.value().bitmap.data());
    }
    state.SetItemsProcessed(state.iterations() * photo().width() * photo().height());
}
BENCHMARK(BM_WebpDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WebpEncodeQ80(benchmark::State& state)
{
    for (auto _ : state) {
        auto webp = encodeWebp(photo(), 80);
        benchmark::DoNotOptimize(webp.value().data());
    }
    state.SetItemsProcessed(state.iterations() * photo().width() * photo().height());
}
BENCHMARK(BM_WebpEncodeQ80)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    return trimlet::bench::runBenchmarks(argc, argv, [](const std::string& d) {
        photoWebp();
        test::writeBytes(d + "/photo.webp", photoWebp());
    });
}
