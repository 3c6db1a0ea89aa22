#include "codecs/bitmap.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <sys/mman.h>

namespace trimlet {

namespace {

// A fresh 24-megapixel bitmap is 72 MB of untouched pages; faulting them in 4 KiB at a time
// costs about a third of a JPEG decode. Transparent huge pages cut that to a few hundred faults.
void preferHugePages(std::uint8_t* data, std::size_t size)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kPage = 4096;
    if (size < (std::size_t{8} << 20))
        return;
    const std::uintptr_t begin = (std::uintptr_t(data) + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t end = (std::uintptr_t(data) + size) & ~(kPage - 1);
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);  // only a hint
#endif
}

}  // namespace

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
    preferHugePages(pixels_.data(), pixels_.size());
    if (init == Init::Zero) {
        std::memset(pixels_.data(), 0, pixels_.size());
        return;
    }
#ifndef NDEBUG
    // A pixel nobody wrote shows as this pattern in Debug builds instead of as whatever the
    // allocator handed out, so that tests can see it.
    std::memset(pixels_.data(), kUnwrittenByte, pixels_.size());
#endif
    if (const int pad = stride_ - width * 3) {
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
