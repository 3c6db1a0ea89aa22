// The BMP reader on its own: every variant is parsed from bytes we wrote ourselves.
#include <cstddef>
#include <cstdint>

#include "codecs/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    trimlet::DecodeLimits limits;
    limits.maxBitmapBytes = std::int64_t{64} << 20;
    auto decoded = trimlet::decodeBmp({data, size}, limits);
    if (decoded) {
        // Reading every row lets ASan see a bitmap whose size disagrees with its store.
        const trimlet::Bitmap& b = decoded.value().bitmap;
        volatile std::uint8_t sink = 0;
        for (int y = 0; y < b.height(); ++y)
            sink = sink ^ b.row(y)[b.width() * 3 - 1];
    }
    return 0;
}
