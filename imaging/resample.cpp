#include "imaging/resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace trimlet {

namespace {

// Weights in units of 2^-24: a row of them times 255 still fits 32 bits, and rounding them costs
// far less than a level even over a span of thousands of pixels.
constexpr int kWeightBits = 24;
constexpr std::int64_t kWeightOne = std::int64_t{1} << kWeightBits;
// The horizontal pass keeps this many bits below a level for the vertical one.
constexpr int kCarryBits = 12;

// The source pixels and weights of every output pixel along one axis.
struct Taps {
    std::vector<int> first;              // per output: its first source pixel
    std::vector<int> count;              // per output: how many
    std::vector<int> offset;             // per output: where its weights start
    std::vector<std::uint32_t> weights;  // summing to kWeightOne per output
};

void addOutput(Taps& taps, int first, std::vector<double>& raw)
{
    // Zero weights at either end are dropped, so a span never reads past what it covers.
    std::size_t lo = 0, hi = raw.size();
    while (lo + 1 < hi && raw[lo] <= 0)
        ++lo;
    while (hi > lo + 1 && raw[hi - 1] <= 0)
        --hi;
    double sum = 0;
    for (std::size_t i = lo; i < hi; ++i)
        sum += raw[i];
    taps.first.push_back(first + int(lo));
    taps.count.push_back(int(hi - lo));
    taps.offset.push_back(int(taps.weights.size()));
    std::int64_t total = 0;
    std::size_t largest = taps.weights.size();
    for (std::size_t i = lo; i < hi; ++i) {
        const auto q = sum > 0 ? std::int64_t(std::llround(raw[i] / sum * double(kWeightOne))) : kWeightOne;
        if (taps.weights.size() == largest || q > std::int64_t(taps.weights[largest]))
            largest = taps.weights.size();
        taps.weights.push_back(std::uint32_t(q));
        total += q;
    }
    // The largest weight takes up the rounding, so that a flat area stays exactly flat.
    taps.weights[largest] = std::uint32_t(std::int64_t(taps.weights[largest]) + kWeightOne - total);
}

// Along an axis of srcLen pixels, the span [start, start + length) made n pixels.
Taps makeTaps(double start, double length, int n, int srcLen)
{
    Taps taps;
    taps.first.reserve(std::size_t(n));
    taps.count.reserve(std::size_t(n));
    taps.offset.reserve(std::size_t(n));
    const int lo = std::clamp(int(std::floor(start)), 0, srcLen - 1);
    const int hi = std::clamp(int(std::ceil(start + length)) - 1, lo, srcLen - 1);
    const double scale = length / n;
    std::vector<double> raw;
    for (int k = 0; k < n; ++k) {
        raw.clear();
        if (double(n) <= length) {
            const double a = start + k * scale;
            const double b = std::min(start + (k + 1) * scale, start + length);
            const int first = std::clamp(int(std::floor(a)), lo, hi);
            const int last = std::clamp(int(std::ceil(b)) - 1, first, hi);
            for (int j = first; j <= last; ++j)
                raw.push_back(std::max(0.0, std::min(b, j + 1.0) - std::max(a, double(j))));
            addOutput(taps, first, raw);
        } else {
            const double s = start + (k + 0.5) * scale - 0.5;
            const double base = std::floor(s);
            const double f = s - base;
            const int i0 = std::clamp(int(base), lo, hi);
            const int i1 = std::clamp(int(base) + 1, lo, hi);
            if (i0 == i1)
                raw.push_back(1.0);
            else
                raw.insert(raw.end(), {1.0 - f, f});
            addOutput(taps, i0, raw);
        }
    }
    return taps;
}

// Source row y through the horizontal taps, in units of 2^-kCarryBits of a level.
void filterRow(const std::uint8_t* src, const Taps& tx, int dstW, std::uint32_t* out)
{
    for (int c = 0; c < dstW; ++c) {
        const std::uint8_t* p = src + std::size_t(tx.first[std::size_t(c)]) * 3;
        const std::uint32_t* w = tx.weights.data() + tx.offset[std::size_t(c)];
        const int count = tx.count[std::size_t(c)];
        std::uint32_t b = 0, g = 0, r = 0;
        for (int i = 0; i < count; ++i, p += 3) {
            b += w[i] * p[0];
            g += w[i] * p[1];
            r += w[i] * p[2];
        }
        constexpr int shift = kWeightBits - kCarryBits;
        constexpr std::uint32_t half = std::uint32_t{1} << (shift - 1);
        out[3 * c] = (b + half) >> shift;
        out[3 * c + 1] = (g + half) >> shift;
        out[3 * c + 2] = (r + half) >> shift;
    }
}

}  // namespace

Bitmap resampleRegion(const Bitmap& src, double x, double y, double w, double h, int dstW, int dstH)
{
    constexpr double kSlack = 1e-6;
    if (src.empty() || dstW < 1 || dstH < 1 || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(w) ||
        !std::isfinite(h) || !(w > 0) || !(h > 0) || x < -kSlack || y < -kSlack || x + w > src.width() + kSlack ||
        y + h > src.height() + kSlack || !Bitmap::sizeAllowed(dstW, dstH))
        return {};
    const double x0 = std::max(0.0, x), y0 = std::max(0.0, y);
    const double w0 = std::min(w, src.width() - x0), h0 = std::min(h, src.height() - y0);
    if (!(w0 > 0) || !(h0 > 0))
        return {};
    const Taps tx = makeTaps(x0, w0, dstW, src.width());
    const Taps ty = makeTaps(y0, h0, dstH, src.height());

    Bitmap out(dstW, dstH, Bitmap::Init::Uninitialized);
    const std::size_t rowValues = std::size_t(dstW) * 3;
    // Consecutive output rows share at most their neighbouring source rows, so two filtered rows
    // kept in hand mean every source row is filtered once.
    std::vector<std::uint32_t> filtered(rowValues * 2);
    int held[2] = {-1, -1};
    std::vector<std::uint64_t> sum(rowValues);
    constexpr int shift = kWeightBits + kCarryBits;
    constexpr std::uint64_t half = std::uint64_t{1} << (shift - 1);
    for (int k = 0; k < dstH; ++k) {
        std::fill(sum.begin(), sum.end(), 0);
        const std::uint32_t* wy = ty.weights.data() + ty.offset[std::size_t(k)];
        for (int i = 0; i < ty.count[std::size_t(k)]; ++i) {
            const int row = ty.first[std::size_t(k)] + i;
            int slot = held[0] == row ? 0 : held[1] == row ? 1 : -1;
            if (slot < 0) {
                slot = held[0] < held[1] ? 0 : 1;
                filterRow(src.row(row), tx, dstW, filtered.data() + rowValues * std::size_t(slot));
                held[slot] = row;
            }
            const std::uint32_t* f = filtered.data() + rowValues * std::size_t(slot);
            const std::uint64_t weight = wy[i];
            for (std::size_t v = 0; v < rowValues; ++v)
                sum[v] += weight * f[v];
        }
        std::uint8_t* o = out.row(k);
        for (std::size_t v = 0; v < rowValues; ++v)
            o[v] = std::uint8_t(std::min<std::uint64_t>((sum[v] + half) >> shift, 255));
        std::fill(o + rowValues, o + out.stride(), std::uint8_t{0});
    }
    return out;
}

}  // namespace trimlet
