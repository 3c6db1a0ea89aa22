#include "imaging/region.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace trimlet {

Bitmap copyRegion(const Bitmap& src, int x, int y, int w, int h)
{
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(x) + w, src.width());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(y) + h, src.height());
    if (left >= right || top >= bottom)
        return {};
    Bitmap out(int(right - left), int(bottom - top), Bitmap::Init::Uninitialized);
    const std::size_t rowBytes = std::size_t(out.width()) * 3;
    for (int r = 0; r < out.height(); ++r)
        std::memcpy(out.row(r), src.row(int(top) + r) + left * 3, rowBytes);
    return out;
}

}  // namespace trimlet
