#include "imaging/flip.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/cpu.h"

#ifdef TRIMLET_X86
#include <immintrin.h>
#endif

namespace trimlet {
namespace {

void reversePixelsPlain(std::uint8_t* __restrict dst, const std::uint8_t* __restrict src, int count)
{
    const std::uint8_t* p = src + std::size_t(count) * 3;
    for (int x = 0; x < count; ++x, dst += 3) {
        p -= 3;
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
    }
}

#ifdef TRIMLET_X86
// Reversing 16 pixels (48 bytes, three registers): output register r takes from input register k
// the bytes of masks[r][k]; -128 picks nothing.
using ShuffleMasks = std::array<std::array<std::array<std::int8_t, 16>, 3>, 3>;
constexpr ShuffleMasks makeReverseMasks()
{
    ShuffleMasks masks{};
    for (int r = 0; r < 3; ++r)
        for (int b = 0; b < 16; ++b) {
            const int out = r * 16 + b;
            const int in = (15 - out / 3) * 3 + out % 3;
            for (int k = 0; k < 3; ++k)
                masks[std::size_t(r)][std::size_t(k)][std::size_t(b)] = std::int8_t(in / 16 == k ? in % 16 : -128);
        }
    return masks;
}
constexpr ShuffleMasks kReverseMasks = makeReverseMasks();

[[gnu::target("ssse3")]] void reversePixelsSsse3(std::uint8_t* __restrict dst, const std::uint8_t* __restrict src,
                                                 int count)
{
    __m128i mask[3][3];
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k)
            mask[r][k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kReverseMasks[r][k].data()));
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const std::uint8_t* p = src + std::size_t(count - 16 - x) * 3;
        const __m128i in[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
        for (int r = 0; r < 3; ++r) {
            const __m128i out =
                _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], mask[r][0]), _mm_shuffle_epi8(in[1], mask[r][1])),
                             _mm_shuffle_epi8(in[2], mask[r][2]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + std::size_t(x) * 3 + 16 * r), out);
        }
    }
    reversePixelsPlain(dst + std::size_t(x) * 3, src, count - x);
}
#endif

// Fills dst with src's pixels in reverse order; the two must not overlap.
using ReversePixels = void (*)(std::uint8_t* dst, const std::uint8_t* src, int count);

ReversePixels pickReverse()
{
#ifdef TRIMLET_X86
    if (cpuLevel() >= CpuLevel::Ssse3)
        return reversePixelsSsse3;
#endif
    return reversePixelsPlain;
}

}  // namespace

Bitmap flipVertical(Bitmap picture)
{
    const std::size_t rowBytes = std::size_t(picture.width()) * 3;
    std::vector<std::uint8_t> spare(rowBytes);
    for (int top = 0, bottom = picture.height() - 1; top < bottom; ++top, --bottom) {
        std::memcpy(spare.data(), picture.row(top), rowBytes);
        std::memcpy(picture.row(top), picture.row(bottom), rowBytes);
        std::memcpy(picture.row(bottom), spare.data(), rowBytes);
    }
    return picture;
}

Bitmap flipHorizontal(Bitmap picture)
{
    const std::size_t rowBytes = std::size_t(picture.width()) * 3;
    std::vector<std::uint8_t> spare(rowBytes);
    const ReversePixels reversePixels = pickReverse();
    for (int y = 0; y < picture.height(); ++y) {
        reversePixels(spare.data(), picture.row(y), picture.width());
        std::memcpy(picture.row(y), spare.data(), rowBytes);
    }
    return picture;
}

}  // namespace trimlet
