#include "imaging/quarter_turn.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "base/cpu.h"
#include "base/parallel.h"
#include "imaging/flip.h"

#ifdef TRIMLET_X86
#include <immintrin.h>
#endif

namespace trimlet {
namespace {

// The result is made in bands of whole result rows (source columns) and, inside a band, in
// blocks of result columns (source rows): a band this wide reads long runs of each source row
// and keeps the rows it writes in cache. Measured on 6000 × 4000: 100-row bands cost half as much
// again.
constexpr int kBandRows = 500;  // a multiple of 100, for the progress steps
constexpr int kBlockColumns = 16;

// Plain values rather than the bitmaps: byte stores may alias anything reached through a
// reference, which would make the compiler reload every field for every pixel.
struct Turn {
    const std::uint8_t* src;
    std::ptrdiff_t srcStride;
    int srcW, srcH;
    std::uint8_t* dst;
    std::ptrdiff_t dstStride;
    bool clockwise;

    // The source pixel that lands at result column c, row i.
    const std::uint8_t* from(int c, int i) const
    {
        return clockwise ? src + (srcH - 1 - c) * srcStride + std::ptrdiff_t(i) * 3
                         : src + c * srcStride + std::ptrdiff_t(srcW - 1 - i) * 3;
    }
    std::uint8_t* to(int c, int i) const { return dst + i * dstStride + std::ptrdiff_t(c) * 3; }
};

// Result rows [i0, i1) × columns [c0, c1), one source row (result column) at a time.
void copyPlain(const Turn t, int i0, int i1, int c0, int c1)
{
    const std::ptrdiff_t step = t.clockwise ? 3 : -3;
    for (int c = c0; c < c1; ++c) {
        const std::uint8_t* s = t.from(c, i0);
        std::uint8_t* d = t.to(c, i0);
        for (int i = i0; i < i1; ++i, s += step, d += t.dstStride)
            std::memcpy(d, s, 3);
    }
}

#ifdef TRIMLET_X86
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i loadPixels(const std::uint8_t* p, __m128i widen)
{
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), widen);
}

[[gnu::target("ssse3"), gnu::always_inline]] inline void storePixels(std::uint8_t* p, __m128i lanes, __m128i narrow)
{
    const __m128i packed = _mm_shuffle_epi8(lanes, narrow);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), packed);
    const std::uint32_t tail = std::uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8)));
    std::memcpy(p + 8, &tail, 4);
}

// 4 × 4 pixels at a time: widen each source row's four pixels to 32-bit lanes, transpose the
// lanes, narrow again. A 16-byte load must stay inside its source row, so the last columns of a
// row are left to copyPlain.
template <bool Clockwise>
[[gnu::target("ssse3")]] void copySsse3(const Turn t, int i0, int i1, int c0, int c1)
{
    const __m128i widen = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i narrow = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const int lastWideColumn = int((t.srcStride - 16) / 3);              // lowest column of a load that fits
    const std::ptrdiff_t down = Clockwise ? -t.srcStride : t.srcStride;  // to the next result column
    const std::ptrdiff_t next = Clockwise ? t.dstStride : -t.dstStride;  // to the next source column
    // Source columns [pBegin, pEnd) make the result rows [i0, i1); they are read upwards in
    // memory either way.
    const int pBegin = Clockwise ? i0 : t.srcW - i1, pEnd = Clockwise ? i1 : t.srcW - i0;
    int c = c0;
    for (; c + 4 <= c1; c += 4) {
        const std::uint8_t* source = Clockwise ? t.src + (t.srcH - 1 - c) * t.srcStride : t.src + c * t.srcStride;
        int p = pBegin;
        for (; p + 4 <= pEnd && p <= lastWideColumn; p += 4) {
            const std::uint8_t* from = source + std::ptrdiff_t(p) * 3;
            const __m128i r0 = loadPixels(from, widen), r1 = loadPixels(from + down, widen);
            const __m128i r2 = loadPixels(from + 2 * down, widen), r3 = loadPixels(from + 3 * down, widen);
            const __m128i lo01 = _mm_unpacklo_epi32(r0, r1), hi01 = _mm_unpackhi_epi32(r0, r1);
            const __m128i lo23 = _mm_unpacklo_epi32(r2, r3), hi23 = _mm_unpackhi_epi32(r2, r3);
            std::uint8_t* q = t.to(c, Clockwise ? p : t.srcW - 1 - p);  // where column p goes
            storePixels(q, _mm_unpacklo_epi64(lo01, lo23), narrow);
            storePixels(q + next, _mm_unpackhi_epi64(lo01, lo23), narrow);
            storePixels(q + 2 * next, _mm_unpacklo_epi64(hi01, hi23), narrow);
            storePixels(q + 3 * next, _mm_unpackhi_epi64(hi01, hi23), narrow);
        }
        if (Clockwise)
            copyPlain(t, p, pEnd, c, c + 4);
        else
            copyPlain(t, t.srcW - pEnd, t.srcW - p, c, c + 4);
    }
    copyPlain(t, i0, i1, c, c1);
}
#endif

using CopyBlock = void (*)(Turn, int, int, int, int);

CopyBlock pickCopy(bool clockwise)
{
#ifdef TRIMLET_X86
    if (cpuLevel() >= CpuLevel::Ssse3)
        return clockwise ? copySsse3<true> : copySsse3<false>;
#endif
    return copyPlain;
}

Bitmap turnQuarter(const Bitmap& src, bool clockwise, const TurnProgress& progress)
{
    if (src.empty() || !Bitmap::sizeAllowed(src.height(), src.width()))
        return {};
    Bitmap dst(src.height(), src.width(), Bitmap::Init::Uninitialized);
    const Turn turn{src.data(), src.stride(), src.width(), src.height(), dst.data(), dst.stride(), clockwise};
    const CopyBlock copy = pickCopy(clockwise);
    const int rows = dst.height();
    const int columns = dst.width();
    const int threads = threadsFor(std::int64_t(rows) * columns);
    for (int i0 = 0; i0 < rows; i0 += kBandRows) {
        const int i1 = std::min(rows, i0 + kBandRows);
        int report = i0;
        // Rows of a band are finished together, so a step is told once its share of the band's
        // pixels is written.
        auto tell = [&](std::int64_t done) {
            for (; progress && report < i1 && std::int64_t(report - i0) * columns <= done; report += 100)
                progress(report, rows);
        };
        if (threads > 1) {
            // The band's blocks shared out; told once they are all written.
            tell(0);
            parallelFor(
                columns, threads,
                [&](int c0, int c1) {
                    for (int c = c0; c < c1; c += kBlockColumns)
                        copy(turn, i0, i1, c, std::min(c1, c + kBlockColumns));
                },
                kBlockColumns);
        } else {
            for (int c0 = 0; c0 < columns; c0 += kBlockColumns) {
                tell(std::int64_t(c0) * (i1 - i0));
                copy(turn, i0, i1, c0, std::min(columns, c0 + kBlockColumns));
            }
        }
        tell(std::int64_t(columns) * (i1 - i0));
    }
    return dst;
}

}  // namespace

Bitmap turnRight(const Bitmap& src, const TurnProgress& progress) { return turnQuarter(src, true, progress); }

Bitmap turnLeft(const Bitmap& src, const TurnProgress& progress) { return turnQuarter(src, false, progress); }

Bitmap halfTurn(Bitmap picture) { return flipHorizontal(flipVertical(std::move(picture))); }

int turnProgressPosition(int done, int rows)
{
    if (rows <= 1)
        return 30;
    return int(30 + std::int64_t(done) * 70 / (rows - 1));
}

}  // namespace trimlet
