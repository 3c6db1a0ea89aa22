// Lossless pieces from the coefficients: a file the cut accepts decodes, and so does its piece,
// at the piece's size; the piece is a plain baseline file the cut takes again unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codecs/jpeg.h"
#include "codecs/jpeg_lossless.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{16} << 20;
    limits.colourManagement = false;
    const trimlet::Bytes file{data, size};
    auto blocks = trimlet::probeJpegBlocks(file, size, limits);
    if (!blocks)
        return 0;
    // The orientation and the region come from the file's last bytes, so the fuzzer steers them.
    const std::uint8_t a = size > 0 ? data[size - 1] : 0, b = size > 1 ? data[size - 2] : 0;
    const int orientation = a % 8 + 1;
    const bool swapped = orientation >= 5;
    const int w = swapped ? blocks.value().height : blocks.value().width;
    const int h = swapped ? blocks.value().width : blocks.value().height;
    trimlet::JpegRegion region{a % w, b % h, std::max(1, (w - a % w) * (b % 7 + 1) / 8),
                               std::max(1, (h - b % h) * (a % 5 + 1) / 6)};
    if (!trimlet::snapToGrid(trimlet::losslessGrid(blocks.value(), orientation), w, h, region))
        return 0;
    auto piece = trimlet::cutJpegLossless(file, orientation, region, limits);
    if (!piece)
        return 0;
    // Whatever the cut read whole, the pixel decoder reads too.
    if (!trimlet::decodeJpeg(file, limits))
        __builtin_trap();
    auto shown = trimlet::decodeJpeg(piece.value(), limits);
    if (!shown || shown.value().bitmap.width() != region.width || shown.value().bitmap.height() != region.height ||
        shown.value().orientation != 1)
        __builtin_trap();
    auto again = trimlet::cutJpegLossless(piece.value(), 1, {0, 0, region.width, region.height}, limits);
    if (!again || again.value() != piece.value())
        __builtin_trap();
    return 0;
}
