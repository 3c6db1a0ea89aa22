#include "codecs/rgba_rows.h"

namespace trimlet {

bool fileCanHoldPixels(std::uint64_t fileBytes, std::int64_t width, std::int64_t height)
{
    if (width <= 0 || height <= 0)
        return false;
    const auto pixels = std::uint64_t(width) * std::uint64_t(height);  // both below 2^32
    return pixels / kMaxPixelsPerFileByte <= fileBytes;
}

void rgbRowToBgr(const std::uint8_t* rgb, int width, std::uint8_t* bgr)
{
    for (const std::uint8_t* end = rgb + std::int64_t(width) * 3; rgb != end; rgb += 3, bgr += 3) {
        bgr[0] = rgb[2];
        bgr[1] = rgb[1];
        bgr[2] = rgb[0];
    }
}

bool rgbaRowToBgr(const std::uint8_t* rgba, int width, std::uint8_t* bgr, std::uint8_t* mask)
{
    std::uint8_t any = 0;
    for (const std::uint8_t* end = rgba + std::int64_t(width) * 4; rgba != end; rgba += 4, bgr += 3) {
        bgr[0] = rgba[2];
        bgr[1] = rgba[1];
        bgr[2] = rgba[0];
        const std::uint8_t clear = rgba[3] == 0;
        any |= clear;
        if (mask)
            *mask++ = clear;
    }
    return any != 0;
}

}  // namespace trimlet
