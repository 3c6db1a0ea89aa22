#include "imaging/reduce.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <type_traits>
#include <vector>

#include "base/cpu.h"
#include "base/parallel.h"
#include "imaging/region.h"

#ifdef TRIMLET_X86
#include <immintrin.h>
#endif

namespace trimlet {
namespace {

// Along one axis, output i covers [i·total, (i+1)·total) in units where a source pixel is
// `whole` units wide (total / whole is the ratio in lowest terms). Every overlap is then a whole
// number and one output's weights sum to exactly `total`, so sums stay exact.
struct Span {
    int first;
    int last;  // pixels strictly between first and last weigh `whole`
    std::uint32_t firstWeight;
    std::uint32_t lastWeight;  // 0 when first == last
};

struct Axis {
    std::uint32_t total;
    std::uint32_t whole;
    std::vector<Span> spans;
};

Axis makeAxis(int srcLen, int dstLen)
{
    const int g = std::gcd(srcLen, dstLen);
    Axis axis{std::uint32_t(srcLen / g), std::uint32_t(dstLen / g), std::vector<Span>(std::size_t(dstLen))};
    const std::int64_t a = axis.total;
    const std::int64_t b = axis.whole;
    for (int i = 0; i < dstLen; ++i) {
        const std::int64_t begin = i * a;
        const std::int64_t end = begin + a;
        const std::int64_t first = begin / b;
        const std::int64_t last = (end - 1) / b;
        Span& s = axis.spans[std::size_t(i)];
        s.first = int(first);
        s.last = int(last);
        s.firstWeight = std::uint32_t(std::min((first + 1) * b, end) - begin);
        s.lastWeight = last > first ? std::uint32_t(end - last * b) : 0;
    }
    return axis;
}

// Round-to-nearest division by a fixed d through one multiply. Sums never exceed 255·d, so
// n < 256·d; with 2^shift ≥ 256·d² the rounded-up reciprocal's error stays below 1/d and the
// quotient is exact. Wide must hold n · mul < 2^(shift + 9): 64 bits while d < 2^23.
template <class Sum, class Wide>
struct Divider {
    explicit Divider(std::uint64_t d) : half(Sum(d / 2)), shift(8 + 2 * int(std::bit_width(d)))
    {
        mul = ((Wide(1) << shift) + Wide(d - 1)) / Wide(d);
    }
    std::uint8_t operator()(Sum sum) const { return std::uint8_t((Wide(sum + half) * mul) >> shift); }

    Sum half;
    int shift;
    Wide mul;
};

// Source rows are weighed in blocks of a fixed count so that the compiler turns each block
// into vector code even where it only vectorises loops of a known trip count. W is the weight's
// type: 16 bits where it fits, which makes the products a cheap widening multiply.
constexpr std::size_t kBlock = 32;

// acc[k] = wa·a[k] + wb·b[k] + w·(the Mids rows at m)[k] for k in [begin, end).
template <int Mids, class V, class W>
inline void weighRange(V* __restrict acc, const std::uint8_t* __restrict a, W wa, const std::uint8_t* __restrict b,
                       W wb, const std::uint8_t* __restrict m0, const std::uint8_t* __restrict m1, W w,
                       std::size_t begin, std::size_t end)
{
    for (std::size_t k = begin; k < end; ++k) {
        V sum = V(V(wa) * V(W(a[k])) + V(wb) * V(W(b[k])));
        if constexpr (Mids == 1)
            sum = V(sum + V(w) * V(W(m0[k])));
        if constexpr (Mids == 2)
            sum = V(sum + V(w) * V(W(W(m0[k]) + W(m1[k]))));
        acc[k] = sum;
    }
}

// The first rows of an output row in one pass, so that acc is written only once.
template <int Mids, class V, class W>
void weighRows(V* acc, const std::uint8_t* a, W wa, const std::uint8_t* b, W wb, const std::uint8_t* const* m, W w,
               std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        weighRange<Mids>(acc, a, wa, b, wb, m[0], m[1], w, i, i + kBlock);
    weighRange<Mids>(acc, a, wa, b, wb, m[0], m[1], w, i, n);
}

template <class V, class W>
void addTwo(V* __restrict acc, const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, W w, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (std::size_t k = i; k < i + kBlock; ++k)
            acc[k] = V(acc[k] + V(w) * V(W(W(a[k]) + W(b[k]))));
    for (; i < n; ++i)
        acc[i] = V(acc[i] + V(w) * V(W(W(a[i]) + W(b[i]))));
}

template <class V, class W>
void addOne(V* __restrict acc, const std::uint8_t* __restrict a, W w, std::size_t n)
{
    std::size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (std::size_t k = i; k < i + kBlock; ++k)
            acc[k] = V(acc[k] + V(w) * V(W(a[k])));
    for (; i < n; ++i)
        acc[i] = V(acc[i] + V(w) * V(W(a[i])));
}

// The region a strip of output columns reads: source bytes from `offset` in rows from `top`.
struct Window {
    const Bitmap& src;
    int top;
    std::size_t offset;
    std::size_t count;  // values per row
    const std::uint8_t* row(int y) const { return src.row(top + y) + offset; }
};

// acc = the weighted sum of the source rows under one output row.
template <class V, class W>
void sumRowsWith(const Window& w, const Span& s, W whole, V* acc)
{
    const std::uint8_t* a = w.row(s.first);
    const std::uint8_t* b = w.row(s.last);
    const std::uint8_t* m[2] = {w.row(s.first + 1), w.row(std::min(s.first + 2, s.last))};
    const W wa = W(s.firstWeight), wb = W(s.lastWeight);
    const int mids = s.last - s.first - 1;
    if (mids <= 0)
        weighRows<0>(acc, a, wa, b, wb, m, whole, w.count);
    else if (mids == 1)
        weighRows<1>(acc, a, wa, b, wb, m, whole, w.count);
    else
        weighRows<2>(acc, a, wa, b, wb, m, whole, w.count);
    int y = s.first + 3;
    for (; y + 1 < s.last; y += 2)
        addTwo(acc, w.row(y), w.row(y + 1), whole, w.count);
    if (y < s.last)
        addOne(acc, w.row(y), whole, w.count);
}

template <class V>
void sumRows(const Window& w, const Span& s, std::uint32_t whole, V* acc)
{
    if (sizeof(V) > 2 && whole <= UINT16_MAX)
        sumRowsWith(w, s, std::uint16_t(whole), acc);
    else
        sumRowsWith(w, s, V(whole), acc);
}

// One output row's columns [x0, x1) from the row sums `acc`, which start at source column c0.
// With whole-number ratios (Unit) every weight is 1 and the sums need no multiplies.
template <bool Unit, class V, class Sum, class Wide>
void sumColumns(const V* acc, const Axis& h, int x0, int x1, const Divider<Sum, Wide>& divide, std::uint8_t* out)
{
    const int c0 = h.spans[std::size_t(x0)].first;
    const Sum whole = h.whole;
    for (int x = x0; x < x1; ++x, out += 3) {
        const Span& s = h.spans[std::size_t(x)];
        const V* p = acc + std::size_t(s.first - c0) * 3;
        const V* q = acc + std::size_t(s.last - c0) * 3;
        Sum m0 = 0, m1 = 0, m2 = 0;
        for (const V* k = Unit ? p : p + 3; Unit ? k <= q : k < q; k += 3) {
            m0 += k[0];
            m1 += k[1];
            m2 += k[2];
        }
        if constexpr (!Unit) {
            const Sum wp = s.firstWeight;
            const Sum wq = s.lastWeight;
            m0 = wp * p[0] + wq * q[0] + whole * m0;
            m1 = wp * p[1] + wq * q[1] + whole * m1;
            m2 = wp * p[2] + wq * q[2] + whole * m2;
        }
        out[0] = divide(m0);
        out[1] = divide(m1);
        out[2] = divide(m2);
    }
}

// Halving both sides, the commonest reduction (a rate of 50): every output value is a 2 × 2
// sum, which needs none of the general weighing. n output pixels from rows a and b.
void halvePlain(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b, std::uint8_t* __restrict out, int n)
{
    for (int x = 0; x < n; ++x, a += 6, b += 6, out += 3) {
        out[0] = std::uint8_t((a[0] + a[3] + b[0] + b[3] + 2) >> 2);
        out[1] = std::uint8_t((a[1] + a[4] + b[1] + b[4] + 2) >> 2);
        out[2] = std::uint8_t((a[2] + a[5] + b[2] + b[5] + 2) >> 2);
    }
}

#ifdef TRIMLET_X86
// Four pixels' pairs of horizontal neighbours side by side, summed by one multiply-add.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i pairSums(const std::uint8_t* a, const std::uint8_t* b,
                                                                     __m128i pairs)
{
    const __m128i ones = _mm_set1_epi8(1);
    const __m128i x =
        _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a)), pairs), ones);
    const __m128i y =
        _mm_maddubs_epi16(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b)), pairs), ones);
    return _mm_add_epi16(x, y);
}

// Four output pixels (12 bytes, the rest zero) from eight source pixels of each row.
[[gnu::target("ssse3"), gnu::always_inline]] inline __m128i fourHalved(const std::uint8_t* a, const std::uint8_t* b)
{
    const __m128i pairs = _mm_setr_epi8(0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -128, -128, -128, -128);
    const __m128i compact = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -128, -128, -128, -128);
    const __m128i two = _mm_set1_epi16(2);
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(pairSums(a, b, pairs), two), 2);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(pairSums(a + 12, b + 12, pairs), two), 2);
    return _mm_shuffle_epi8(_mm_packus_epi16(lo, hi), compact);
}

[[gnu::target("ssse3")]] void halveSsse3(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                                         std::uint8_t* __restrict out, int n)
{
    int x = 0;
    // Sixteen source pixels a step; its last load reads 4 bytes past them.
    for (; x + 9 <= n; x += 8, a += 48, b += 48, out += 24) {
        const __m128i first = fourHalved(a, b);
        const __m128i second = fourHalved(a + 24, b + 24);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(first, _mm_slli_si128(second, 12)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm_srli_si128(second, 4));
    }
    halvePlain(a, b, out, n - x);
}
#endif

using HalveRow = void (*)(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out, int n);

HalveRow pickHalve()
{
#ifdef TRIMLET_X86
    if (cpuLevel() >= CpuLevel::Ssse3)
        return halveSsse3;
#endif
    return halvePlain;
}

void halveRows(const Bitmap& src, int srcX, int srcY, Bitmap& dst, int y0, int y1)
{
    const HalveRow halve = pickHalve();
    for (int y = y0; y < y1; ++y)
        halve(src.row(srcY + 2 * y) + std::size_t(srcX) * 3, src.row(srcY + 2 * y + 1) + std::size_t(srcX) * 3,
              dst.row(y), dst.width());
}

bool halves(const Axis& a) { return a.total == 2 && a.whole == 1; }

// Wide sources are done in strips of output columns, so that the row sums stay in cache and
// scratch memory small (an output column wider than a strip gets a strip of its own).
constexpr int kStripColumns = 8192;

// Output rows [y0, y1). V holds one column's vertical sum (up to 255 · v.total); uint8_t:
// rows are used as they are.
template <class V, class Sum, class Wide>
void reduceRows(const Bitmap& src, int srcX, int srcY, const Axis& h, const Axis& v, Bitmap& dst, int y0, int y1)
{
    const Divider<Sum, Wide> divide(std::uint64_t(h.total) * v.total);
    std::vector<V> acc;
    for (int x0 = 0, x1 = 0; x0 < dst.width(); x0 = x1) {
        const int c0 = h.spans[std::size_t(x0)].first;
        for (x1 = x0 + 1; x1 < dst.width() && h.spans[std::size_t(x1)].last - c0 < kStripColumns;)
            ++x1;
        const Window window{src, srcY, std::size_t(srcX + c0) * 3,
                            std::size_t(h.spans[std::size_t(x1 - 1)].last - c0 + 1) * 3};
        if constexpr (!std::is_same_v<V, std::uint8_t>)
            acc.resize(window.count);
        for (int y = y0; y < y1; ++y) {
            const Span& s = v.spans[std::size_t(y)];
            const V* sums = nullptr;
            if constexpr (std::is_same_v<V, std::uint8_t>) {
                sums = window.row(s.first);
            } else {
                sumRows(window, s, v.whole, acc.data());
                sums = acc.data();
            }
            std::uint8_t* out = dst.row(y) + std::size_t(x0) * 3;
            if (h.whole == 1)
                sumColumns<true>(sums, h, x0, x1, divide, out);
            else
                sumColumns<false>(sums, h, x0, x1, divide, out);
        }
    }
}

// Output rows [y0, y1): every output row depends on its own source rows only, so the rows are
// shared out.
template <class V, class Sum, class Wide>
void reduceWith(const Bitmap& src, int srcX, int srcY, const Axis& h, const Axis& v, Bitmap& dst, int y0, int y1,
                int threads)
{
    if (halves(h) && halves(v))
        parallelFor(y1 - y0, threads, [&](int a, int b) { halveRows(src, srcX, srcY, dst, y0 + a, y0 + b); });
    else
        parallelFor(y1 - y0, threads,
                    [&](int a, int b) { reduceRows<V, Sum, Wide>(src, srcX, srcY, h, v, dst, y0 + a, y0 + b); });
}

template <class Sum, class Wide>
void reduceSummingIn(const Bitmap& src, int srcX, int srcY, const Axis& h, const Axis& v, Bitmap& dst, int y0, int y1,
                     int threads)
{
    const std::uint64_t columnMax = 255 * std::uint64_t(v.total);
    if (v.total == 1)
        reduceWith<std::uint8_t, Sum, Wide>(src, srcX, srcY, h, v, dst, y0, y1, threads);
    else if (columnMax <= UINT16_MAX)
        reduceWith<std::uint16_t, Sum, Wide>(src, srcX, srcY, h, v, dst, y0, y1, threads);
    else if (sizeof(Sum) < 8 || columnMax <= UINT32_MAX)
        reduceWith<std::uint32_t, Sum, Wide>(src, srcX, srcY, h, v, dst, y0, y1, threads);
    else if constexpr (sizeof(Sum) == 8)
        reduceWith<std::uint64_t, Sum, Wide>(src, srcX, srcY, h, v, dst, y0, y1, threads);
}

// Output rows [y0, y1) from the source whose row 0 is src's row srcY (which may lie above src
// when src holds only a band of the source).
void reduceRange(const Bitmap& src, int srcX, int srcY, const Axis& h, const Axis& v, Bitmap& dst, int y0, int y1,
                 int threads)
{
    // Below 2^23 the divisor's reciprocal trick fits 64 bits and every sum fits 32.
    if (std::uint64_t(h.total) * v.total < (std::uint64_t{1} << 23))
        reduceSummingIn<std::uint32_t, std::uint64_t>(src, srcX, srcY, h, v, dst, y0, y1, threads);
    else
        reduceSummingIn<std::uint64_t, unsigned __int128>(src, srcX, srcY, h, v, dst, y0, y1, threads);
}

bool validRequest(const Bitmap& src, int srcX, int srcY, int srcW, int srcH, int dstW, int dstH)
{
    return srcX >= 0 && srcY >= 0 && srcW >= 1 && srcH >= 1 && std::int64_t(srcX) + srcW <= src.width() &&
           std::int64_t(srcY) + srcH <= src.height() && dstW >= 1 && dstW <= srcW && dstH >= 1 && dstH <= srcH;
}

}  // namespace

Bitmap reduceArea(const Bitmap& src, int srcX, int srcY, int srcW, int srcH, int dstW, int dstH)
{
    if (!validRequest(src, srcX, srcY, srcW, srcH, dstW, dstH))
        return {};
    if (dstW == srcW && dstH == srcH)
        return copyRegion(src, srcX, srcY, srcW, srcH);
    const Axis h = makeAxis(srcW, dstW);
    const Axis v = makeAxis(srcH, dstH);
    Bitmap dst(dstW, dstH, Bitmap::Init::Uninitialized);
    reduceRange(src, srcX, srcY, h, v, dst, 0, dstH, threadsFor(std::int64_t(srcW) * srcH));
    return dst;
}

Bitmap reduceArea(const Bitmap& src, int dstW, int dstH)
{
    return reduceArea(src, 0, 0, src.width(), src.height(), dstW, dstH);
}

// Rows in order, reduced as soon as an output row's last source row is in.
struct RowReduction::State {
    Axis h, v;
    Bitmap held;   // source rows base .. next − 1 in its first rows
    int base = 0;  // the source row in held's first row
    int next = 0;  // the next source row to come
    int done = 0;  // output rows made
    Bitmap dst;

    void add(const Bitmap& band, int count)
    {
        const std::size_t rowBytes = std::size_t(band.width()) * 3;
        const int dstH = dst.height();
        for (int i = 0; i < count && done < dstH; ++i) {
            // While nothing is held, the output rows lying wholly in the rest of the band are
            // made from it directly, so that rows pass through `held` only at a band's edges.
            if (next == base) {
                const int end = next + count - i;
                int ready = done;
                while (ready < dstH && v.spans[std::size_t(ready)].last < end)
                    ++ready;
                if (ready > done) {
                    reduceRange(band, 0, i - next, h, v, dst, done, ready, 1);
                    done = ready;
                    const int used = (done < dstH ? v.spans[std::size_t(done)].first : end) - next;
                    next += used;
                    base = next;
                    i += used - 1;
                    continue;
                }
            }
            std::memcpy(held.row(next - base), band.row(i), rowBytes);
            ++next;
            int ready = done;
            while (ready < dstH && v.spans[std::size_t(ready)].last < next)
                ++ready;
            if (ready == done)
                continue;
            reduceRange(held, 0, -base, h, v, dst, done, ready, 1);
            done = ready;
            // The rows no later output row covers make room; at most the one shared row is kept.
            const int keep = done < dstH ? v.spans[std::size_t(done)].first : next;
            for (int y = keep; y < next && keep > base; ++y)
                std::memmove(held.row(y - keep), held.row(y - base), rowBytes);
            base = keep;
        }
    }
};

RowReduction::RowReduction(int srcW, int srcH, int dstW, int dstH)
{
    if (srcW < 1 || srcH < 1 || dstW < 1 || dstW > srcW || dstH < 1 || dstH > srcH)
        return;
    state_ = std::make_unique<State>(State{makeAxis(srcW, dstW), makeAxis(srcH, dstH), {}, 0, 0, 0, {}});
    int span = 1;
    for (const Span& s : state_->v.spans)
        span = std::max(span, s.last - s.first + 1);
    state_->held = Bitmap(srcW, span, Bitmap::Init::Uninitialized);
    state_->dst = Bitmap(dstW, dstH, Bitmap::Init::Uninitialized);
}

RowReduction::~RowReduction() = default;

void RowReduction::addRows(const Bitmap& band, int count)
{
    if (!state_ || band.width() != state_->held.width())
        return;
    state_->add(band, count);
}

Bitmap RowReduction::take()
{
    if (!state_ || state_->done < state_->dst.height())
        return {};
    Bitmap out = std::move(state_->dst);
    state_.reset();
    return out;
}

}  // namespace trimlet
