// Restart-marker files decoded in bands against the one-thread decode: the whole picture the
// same bytes or the same failure; a region the whole picture's pixels whenever the one-thread
// region decode gives them (the bands pass over the data above a region, so damage there may
// fail only the one-thread way). The plan of granules from any bytes stays inside the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg.h"
#include "codecs/jpeg_restart.h"

namespace {

using namespace trimlet;

void checkPlan(const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return;
    jpeg_internal::ScanShape shape;
    shape.mcusPerRow = data[0] % 40 + 1;
    shape.mcuRows = data[1] % 40 + 1;
    shape.restartInterval = data[2] % 50 + 1;
    shape.iMcuMcuRows = data[3] % 3 + 1;
    shape.mcuRowHeight = 8 * (data[3] % 2 + 1);
    shape.height = (data[4] << 8 | data[5]);
    const auto plan = jpeg_internal::planRestarts(jpeg_internal::FileBytes{{data + 6, size - 6}}, shape);
    if (!plan)
        return;
    std::uint64_t last = plan->dataStart;
    if (plan->starts.size() != plan->ends.size() || plan->starts[0] != plan->dataStart || plan->heightAt + 2 > last)
        __builtin_trap();
    for (std::size_t i = 0; i < plan->starts.size(); ++i) {
        if (plan->starts[i] < last || plan->ends[i] < plan->starts[i] || plan->ends[i] + 2 > size - 6)
            __builtin_trap();
        last = plan->ends[i] + 2;
    }
}

bool same(const Result<DecodedImage>& a, const Result<DecodedImage>& b)
{
    if (bool(a) != bool(b))
        return false;
    if (!a)
        return a.error().code == b.error().code && a.error().message == b.error().message;
    return a.value().bitmap == b.value().bitmap;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkPlan(data, size);
    DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{16} << 20;
    limits.colourManagement = false;
    const Bytes file{data, size};
    jpeg_internal::setRestartBands(-1);
    auto whole = decodeJpeg(file, limits);
    const int w = whole ? whole.value().bitmap.width() : 64;
    const int h = whole ? whole.value().bitmap.height() : 64;
    const std::uint8_t a = size > 0 ? data[size - 1] : 0, b = size > 1 ? data[size - 2] : 0;
    const JpegRegion region{a % w, b % h, std::max(1, (w - a % w) * (b % 7 + 1) / 8),
                            std::max(1, (h - b % h) * (a % 5 + 1) / 6)};
    auto part = decodeJpegRegion(file, region, limits);
    jpeg_internal::setRestartBands(2 + a % 3);
    auto bands = decodeJpeg(file, limits);
    auto banded = decodeJpegRegion(file, region, limits);
    jpeg_internal::setRestartBands(0);
    if (!same(whole, bands) || (part && !banded))
        __builtin_trap();
    if (!banded) {
        if (part.error().code != banded.error().code)
            __builtin_trap();
        return 0;
    }
    if (whole) {
        const Bitmap& got = banded.value().bitmap;
        for (int y = 0; y < region.height; ++y)
            if (!std::equal(got.row(y), got.row(y) + 3 * region.width,
                            whole.value().bitmap.row(region.y + y) + 3 * region.x))
                __builtin_trap();
    }
    return 0;
}
