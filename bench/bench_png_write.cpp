// PNG encode of the 6000 × 4000 photo-like picture and of its centred 1920 × 1080 piece.
// bench/png_peers.sh times trimlet-cli writing the same as PNG next to vips pngsave.

#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_common.h"
#include "codecs/png.h"

namespace {

using namespace trimlet;

using bench::photo;

const Bitmap& centrePiece()
{
    static const Bitmap piece = [] {
        Bitmap out(1920, 1080, Bitmap::Init::Uninitialized);
        const int x = (photo().width() - out.width()) / 2, y = (photo().height() - out.height()) / 2;
        for (int row = 0; row < out.height(); ++row)
            std::memcpy(out.row(row), photo().row(y + row) + std::ptrdiff_t(x) * 3, std::size_t(out.width()) * 3);
        return out;
    }();
    return piece;
}

void encode(benchmark::State& state, const Bitmap& bitmap)
{
    std::size_t bytes = 0;
    for (auto _ : state) {
        auto png = encodePng(bitmap);
        bytes = png.value().size();
        benchmark::DoNotOptimize(png.value().data());
    }
    state.SetItemsProcessed(state.iterations() * bitmap.width() * bitmap.height());
    state.counters["file_bytes"] = double(bytes);
}

void BM_PngEncodePiece(benchmark::State& state) { encode(state, centrePiece()); }
BENCHMARK(BM_PngEncodePiece)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PngEncodeWhole(benchmark::State& state) { encode(state, photo()); }
BENCHMARK(BM_PngEncodeWhole)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    centrePiece();
    return trimlet::bench::runBenchmarks(
        argc, argv, [](const std::string& d) { test::writeBytes(d + "/photo.jpg", bench::photoJpeg()); });
}
