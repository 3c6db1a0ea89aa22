#include "imaging/enlarge.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace trimlet {

Bitmap enlargeNearest(const Bitmap& src, int dstW, int dstH)
{
    const int srcW = src.width();
    const int srcH = src.height();
    if (src.empty() || dstW < srcW || dstH < srcH)
        return {};
    Bitmap out(dstW, dstH, Bitmap::Init::Uninitialized);
    // Byte offsets of each destination pixel's source, made once for every row.
    std::vector<std::uint32_t> from(static_cast<std::size_t>(dstW));
    for (int x = 0; x < dstW; ++x)
        from[std::size_t(x)] = std::uint32_t((std::int64_t{2} * x + 1) * srcW / (std::int64_t{2} * dstW) * 3);
    const std::size_t rowBytes = std::size_t(dstW) * 3;
    int lastSource = -1;
    for (int y = 0; y < dstH; ++y) {
        const int sy = int((std::int64_t{2} * y + 1) * srcH / (std::int64_t{2} * dstH));
        std::uint8_t* d = out.row(y);
        if (sy == lastSource) {
            // A repeated source row is a copy of the row above.
            std::memcpy(d, out.row(y - 1), rowBytes);
            continue;
        }
        lastSource = sy;
        const std::uint8_t* s = src.row(sy);
        for (const std::uint32_t offset : from) {
            d[0] = s[offset];
            d[1] = s[offset + 1];
            d[2] = s[offset + 2];
            d += 3;
        }
    }
    return out;
}

}  // namespace trimlet
