#include "imaging/rotation_preview.h"

#include <algorithm>
#include <cstdint>

namespace trimlet {

PreviewSize rotationPreviewSize(int width, int height, int areaWidth, int areaHeight)
{
    if (width <= areaWidth && height <= areaHeight)
        return {width, height};
    std::int64_t w = width, h = height;
    if (w > areaWidth) {
        h = areaWidth * h / w;
        w = areaWidth;
    }
    if (h > areaHeight) {
        // h is 0 only for an area of no height, where nothing but the 1 × 1 floor is left.
        w = h > 0 ? areaHeight * w / h : 0;
        h = areaHeight;
    }
    return {int(std::max<std::int64_t>(w, 1)), int(std::max<std::int64_t>(h, 1))};
}

}  // namespace trimlet
