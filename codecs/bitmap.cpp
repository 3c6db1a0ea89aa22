#include "codecs/bitmap.h"

#include <cstring>
#include <stdexcept>

namespace trimlet {

bool Bitmap::sizeAllowed(std::int64_t width, std::int64_t height, std::int64_t maxBytes)
{
    if (width < 0 || height < 0 || width > INT32_MAX / 3 || height > INT32_MAX)
        return false;
    return strideFor(width) * height <= maxBytes;
}

Bitmap::Bitmap(int width, int height, Init init)
{
    if (!sizeAllowed(width, height))
        throw std::length_error("bitmap size out of range");
    if (width == 0 || height == 0)
        return;
    width_ = width;
    height_ = height;
    stride_ = int(strideFor(width));
    pixels_.resize(std::size_t(stride_) * std::size_t(height));
    if (init == Init::Zero) {
        std::memset(pixels_.data(), 0, pixels_.size());
    } else if (const int pad = stride_ - width * 3) {
        for (int y = 0; y < height; ++y)
            std::memset(row(y) + width * 3, 0, std::size_t(pad));
    }
}

void Bitmap::fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red)
{
    if (empty())
        return;
    std::uint8_t* first = row(0);
    for (int x = 0; x < width_; ++x) {
        first[3 * x] = blue;
        first[3 * x + 1] = green;
        first[3 * x + 2] = red;
    }
    for (int y = 1; y < height_; ++y)
        std::memcpy(row(y), first, std::size_t(width_) * 3);
}

bool operator==(const Bitmap& a, const Bitmap& b)
{
    if (a.width_ != b.width_ || a.height_ != b.height_)
        return false;
    const std::size_t rowBytes = std::size_t(a.width_) * 3;
    for (int y = 0; y < a.height_; ++y)
        if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0)
            return false;
    return true;
}

}  // namespace trimlet
