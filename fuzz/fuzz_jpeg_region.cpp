// The JPEG decodes that give part of a picture against the whole decode: a region's pixels,
// and the rows handed over band by band, must be the whole decode's, and fail when it fails;
// a scaled decode has the whole one's size divided.
// A region may still be given when the whole decode finds the data after it damaged (the rest
// of a single-scan file is only scanned for its markers), but never for any other failure.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{16} << 20;
    limits.colourManagement = false;
    const trimlet::Bytes file{data, size};
    auto full = trimlet::decodeJpeg(file, limits);
    const int w = full ? full.value().bitmap.width() : 64;
    const int h = full ? full.value().bitmap.height() : 64;
    // The region comes from the file's last bytes, so the fuzzer steers it.
    const std::uint8_t a = size > 0 ? data[size - 1] : 0, b = size > 1 ? data[size - 2] : 0;
    const trimlet::JpegRegion region{a % w, b % h, std::max(1, (w - a % w) * (b % 7 + 1) / 8),
                                     std::max(1, (h - b % h) * (a % 5 + 1) / 6)};
    auto part = trimlet::decodeJpegRegion(file, region, limits);
    // The DCT-scaled first look has the whole picture's sides divided and rounded up.
    const int d = 1 << (a % 4);
    if (auto scaled = trimlet::decodeJpegScaled(file, d, limits); scaled && full)
        if (scaled.value().bitmap.width() != (w + d - 1) / d || scaled.value().bitmap.height() != (h + d - 1) / d)
            __builtin_trap();
    // Handed over a band at a time, the region's rows must be the same, once each (rows may be
    // handed over before the file's end fails the decode).
    int next = 0;
    bool bandsDiffer = false;
    auto bands = trimlet::decodeJpegRegionRows(
        file, region,
        [&](const trimlet::Bitmap& band, int first, int count) {
            bandsDiffer = bandsDiffer || first != next || first + count > region.height;
            next = first + count;
            for (int i = 0; i < count && part && !bandsDiffer; ++i)
                bandsDiffer =
                    !std::equal(band.row(i), band.row(i) + 3 * region.width, part.value().bitmap.row(first + i));
        },
        limits);
    if (bool(bands) != bool(part) || bandsDiffer || (bands && next != region.height))
        __builtin_trap();
    bool rowsDiffer = false;
    auto rows = trimlet::decodeJpegRows(
        file,
        [&](const trimlet::Bitmap& band, int first, int count) {
            for (int i = 0; i < count && full; ++i)
                rowsDiffer =
                    rowsDiffer || !std::equal(band.row(i), band.row(i) + 3 * w, full.value().bitmap.row(first + i));
        },
        limits);
    const bool tailDamage = !full && full.error().code == trimlet::ErrorCode::Corrupt;
    if ((full && !part) || (!full && part && !tailDamage) || bool(rows) != bool(full) || rowsDiffer)
        __builtin_trap();
    if (!full)
        return 0;
    const trimlet::Bitmap& got = part.value().bitmap;
    for (int y = 0; y < region.height; ++y)
        if (!std::equal(got.row(y), got.row(y) + 3 * region.width,
                        full.value().bitmap.row(region.y + y) + 3 * region.x))
            __builtin_trap();
    return 0;
}
