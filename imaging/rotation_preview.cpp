#include "imaging/rotation_preview.h"

#include <algorithm>
#include <cstdint>

#include "imaging/reduce.h"

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

Bitmap rotationPreviewBase(const Bitmap& picture, int deviceWidth, int deviceHeight)
{
    const int baseW = std::min(deviceWidth, picture.width());
    const int baseH = std::min(deviceHeight, picture.height());
    return (baseW == picture.width() && baseH == picture.height()) ? picture : reduceArea(picture, baseW, baseH);
}

}  // namespace trimlet
