#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

struct Region {
    int x, y, w, h;
};

Bitmap noise(int width, int height) { return test::noisePicture(width, height, 7); }

Bitmap flat(int width, int height, std::uint32_t rgb)
{
    Bitmap out(width, height, Bitmap::Init::Uninitialized);
    out.fill(std::uint8_t(rgb), std::uint8_t(rgb >> 8), std::uint8_t(rgb >> 16));
    return out;
}

// Counts channels that are not the area-weighted mean rounded to nearest. The reference weighs
// every source pixel by the area it shares with the output pixel, in doubles, one at a time; a
// mean within rounding noise of a half may go either way.
int countRoundingFaults(const Bitmap& src, Region r, const Bitmap& out)
{
    int faults = 0;
    for (int y = 0; y < out.height(); ++y) {
        const double top = double(y) * r.h / out.height(), bottom = double(y + 1) * r.h / out.height();
        for (int x = 0; x < out.width(); ++x) {
            const double left = double(x) * r.w / out.width(), right = double(x + 1) * r.w / out.width();
            double sum[3] = {};
            for (int j = int(top); j < r.h && j < bottom; ++j)
                for (int i = int(left); i < r.w && i < right; ++i) {
                    const double w = (std::min(j + 1.0, bottom) - std::max(double(j), top)) *
                                     (std::min(i + 1.0, right) - std::max(double(i), left));
                    for (int c = 0; c < 3; ++c)
                        sum[c] += w * src.row(r.y + j)[std::size_t(r.x + i) * 3 + c];
                }
            for (int c = 0; c < 3; ++c) {
                const double mean = sum[c] / ((right - left) * (bottom - top));
                const int got = out.row(y)[x * 3 + c];
                const bool tie = std::abs(mean - std::floor(mean) - 0.5) < 1e-6;
                faults += tie ? std::abs(got - mean) > 0.5 + 1e-6 : got != int(std::floor(mean + 0.5));
            }
        }
    }
    return faults;
}

TEST(ReduceArea, IsTheAreaWeightedMeanRoundedToNearest)
{
    const struct {
        const char* name;
        int srcW, srcH;
        Region region;
        int dstW, dstH;
    } cases[] = {
        {"same size", 23, 17, {0, 0, 23, 17}, 23, 17},
        {"same size, region", 23, 17, {5, 3, 13, 11}, 13, 11},
        {"one pixel", 1, 1, {0, 0, 1, 1}, 1, 1},
        {"one column", 1, 37, {0, 0, 1, 37}, 1, 5},
        {"one row", 41, 1, {0, 0, 41, 1}, 6, 1},
        {"padded rows", 7, 5, {0, 0, 7, 5}, 5, 3},
        {"13 to 5", 13, 13, {0, 0, 13, 13}, 5, 5},
        {"640 to 333", 640, 480, {0, 0, 640, 480}, 333, 101},
        {"whole factors", 48, 30, {0, 0, 48, 30}, 16, 10},
        {"halves", 64, 46, {0, 0, 64, 46}, 32, 23},
        {"halves a region at odd places", 97, 83, {7, 5, 62, 42}, 31, 21},
        {"across only", 50, 40, {0, 0, 50, 40}, 19, 40},
        {"down only", 50, 40, {0, 0, 50, 40}, 50, 13},
        {"to one pixel", 997, 3, {0, 0, 997, 3}, 1, 1},
        {"region at an offset", 97, 83, {11, 7, 64, 50}, 17, 9},
        {"region at the far corner", 97, 83, {30, 20, 67, 63}, 29, 62},
        {"strips of a wide picture", 20011, 3, {5, 1, 20001, 2}, 6007, 1},
        {"divisor past 2^23", 4099, 2053, {0, 0, 4099, 2053}, 7, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bitmap src = noise(c.srcW, c.srcH);
        const Region r = c.region;
        const Bitmap out = reduceArea(src, r.x, r.y, r.w, r.h, c.dstW, c.dstH);
        ASSERT_EQ(out.width(), c.dstW);
        ASSERT_EQ(out.height(), c.dstH);
        EXPECT_EQ(countRoundingFaults(src, r, out), 0);
        EXPECT_TRUE(out == reduceArea(copyRegion(src, r.x, r.y, r.w, r.h), c.dstW, c.dstH));
    }
}

// Along one axis, in units where an output pixel is srcLen wide and a source pixel dstLen wide:
// the source pixels under output i and how many units of it each covers.
struct Cover {
    int pixel;
    std::uint64_t units;
};
std::vector<std::vector<Cover>> covers(int srcLen, int dstLen)
{
    auto out = std::vector<std::vector<Cover>>(std::size_t(dstLen));
    for (int i = 0; i < dstLen; ++i) {
        const std::int64_t begin = std::int64_t(i) * srcLen, end = begin + srcLen;
        for (std::int64_t p = begin / dstLen; p * dstLen < end; ++p) {
            const std::int64_t from = std::max(begin, p * dstLen), to = std::min(end, (p + 1) * dstLen);
            out[std::size_t(i)].push_back({int(p), std::uint64_t(to - from)});
        }
    }
    return out;
}

// Each channel as the exact rational mean of the covered area, sum ÷ (srcW · srcH) in those
// units, rounded with halves up.
Bitmap exactReduction(const Bitmap& src, Region r, int dstW, int dstH)
{
    const auto across = covers(r.w, dstW), down = covers(r.h, dstH);
    const std::uint64_t area = std::uint64_t(r.w) * std::uint64_t(r.h);
    Bitmap out(dstW, dstH);
    for (int y = 0; y < dstH; ++y)
        for (int x = 0; x < dstW; ++x)
            for (int c = 0; c < 3; ++c) {
                std::uint64_t sum = 0;
                for (const Cover& row : down[std::size_t(y)]) {
                    const std::uint8_t* line = src.row(r.y + row.pixel) + std::size_t(r.x) * 3 + std::size_t(c);
                    std::uint64_t rowSum = 0;
                    for (const Cover& column : across[std::size_t(x)])
                        rowSum += column.units * line[std::size_t(column.pixel) * 3];
                    sum += row.units * rowSum;
                }
                out.row(y)[std::size_t(x) * 3 + std::size_t(c)] = std::uint8_t((2 * sum + area) / (2 * area));
            }
    return out;
}

std::string describe(int srcW, int srcH, Region r, int dstW, int dstH)
{
    return std::to_string(srcW) + "x" + std::to_string(srcH) + " region " + std::to_string(r.x) + "," +
           std::to_string(r.y) + " " + std::to_string(r.w) + "x" + std::to_string(r.h) + " to " + std::to_string(dstW) +
           "x" + std::to_string(dstH);
}

TEST(ReduceArea, EqualsTheExactRationalMeanRoundedHalfUp)
{
    struct Case {
        int srcW, srcH;
        Region r;
        int dstW, dstH;
    };
    std::vector<Case> cases;
    // Ratios near 1, halves (every other channel a tie), whole and awkward fractions, one-pixel
    // outputs and odd sizes, each lengths pair across once and down once.
    std::vector<std::pair<int, int>> lengths;
    for (const int n : {1, 2, 3, 5, 8, 13, 31, 64, 99, 100, 257})
        for (const int m : {1, 2, 3, n / 2, n / 3 + 1, n - 1, n})
            if (m >= 1 && m <= n && std::find(lengths.begin(), lengths.end(), std::pair{n, m}) == lengths.end())
                lengths.emplace_back(n, m);
    for (std::size_t k = 0; k < lengths.size(); ++k) {
        const auto [w, dw] = lengths[k];
        const auto [h, dh] = lengths[(k * 7 + 3) % lengths.size()];
        cases.push_back({w, h, {0, 0, w, h}, dw, dh});
        cases.push_back({h + 3, w + 2, {2, 1, h, w}, dh, dw});
    }
    // Random regions of random pictures.
    std::mt19937 random(20240611);
    const auto upTo = [&](int n) { return std::uniform_int_distribution<int>(1, n)(random); };
    for (int k = 0; k < 150; ++k) {
        const int srcW = upTo(300), srcH = upTo(200);
        const int w = upTo(srcW), h = upTo(srcH);
        cases.push_back({srcW, srcH, {upTo(srcW - w + 1) - 1, upTo(srcH - h + 1) - 1, w, h}, upTo(w), upTo(h)});
    }
    // Strips of a wide picture, an output column wider than a strip, a divisor past 2^23 with a
    // ratio near 1 across, and big ratios.
    cases.push_back({20011, 3, {5, 1, 20001, 2}, 20000, 1});
    cases.push_back({20011, 3, {0, 0, 20011, 3}, 2, 2});
    cases.push_back({4099, 2053, {0, 0, 4099, 2053}, 4098, 5});
    cases.push_back({997, 3, {0, 0, 997, 3}, 1, 1});
    cases.push_back({5000, 7, {0, 0, 5000, 7}, 3, 7});
    // Halving both ways, which has a path of its own: whole, and a region at odd places.
    cases.push_back({64, 46, {0, 0, 64, 46}, 32, 23});
    cases.push_back({97, 83, {7, 5, 62, 42}, 31, 21});

    for (const Case& c : cases) {
        const Bitmap src = test::noisePicture(c.srcW, c.srcH, std::uint32_t(c.srcW * 977 + c.srcH * 31 + c.dstW));
        const Bitmap out = reduceArea(src, c.r.x, c.r.y, c.r.w, c.r.h, c.dstW, c.dstH);
        const Bitmap expected = exactReduction(src, c.r, c.dstW, c.dstH);
        ASSERT_TRUE(out.width() == c.dstW && out.height() == c.dstH) << describe(c.srcW, c.srcH, c.r, c.dstW, c.dstH);
        EXPECT_EQ(test::maxChannelDifference(out, expected), 0) << describe(c.srcW, c.srcH, c.r, c.dstW, c.dstH);
    }
}

// Large enough for the rows to be shared out: each thread's share, seams included, is exact.
TEST(ReduceArea, SharedOutRowsAreExactToo)
{
    const Bitmap src = noise(2300, 1100);
    const Region r{3, 5, 2291, 1093};
    const Bitmap exact = exactReduction(src, r, 851, 407);
    for (const int threads : {2, 1}) {
        setThreadLimit(threads);
        EXPECT_TRUE(reduceArea(src, r.x, r.y, r.w, r.h, 851, 407) == exact) << threads << " threads";
    }
    setThreadLimit(0);
}

// Rows handed over in bands of any height give reduceArea's pixels, whatever the ratio.
TEST(RowReduction, GivesTheWholeReductionFromBandsOfRows)
{
    const Bitmap odd = noise(157, 211);
    const Bitmap even = noise(158, 212);
    const struct {
        const Bitmap& src;
        int dstW, dstH;
    } cases[] = {{odd, 157, 211}, {odd, 79, 106},  {odd, 52, 70},  {odd, 100, 3},
                 {odd, 1, 1},     {odd, 156, 210}, {odd, 20, 211}, {even, 79, 106}};
    for (const auto& c : cases)
        for (const int bandRows : {1, 2, 3, 7, 16, 211}) {
            RowReduction reduction(c.src.width(), c.src.height(), c.dstW, c.dstH);
            for (int first = 0; first < c.src.height(); first += bandRows) {
                const int count = std::min(bandRows, c.src.height() - first);
                EXPECT_TRUE(reduction.take().empty() || first == 0);
                reduction.addRows(copyRegion(c.src, 0, first, c.src.width(), count), count);
            }
            EXPECT_TRUE(reduction.take() == reduceArea(c.src, c.dstW, c.dstH))
                << c.src.width() << " to " << c.dstW << "x" << c.dstH << ", bands of " << bandRows;
        }
    RowReduction unfinished(10, 10, 5, 5);
    unfinished.addRows(noise(10, 9), 9);
    EXPECT_TRUE(unfinished.take().empty());
    RowReduction enlarging(10, 10, 11, 5);
    enlarging.addRows(noise(10, 10), 10);
    EXPECT_TRUE(enlarging.take().empty());
}

TEST(ReduceArea, FlatAreasStayExactlyFlat)
{
    // Blocks aligned to the ratio come out as the blocks' colours.
    for (const auto& [blockW, blockH] : {std::pair{3, 3}, std::pair{5, 2}, std::pair{1, 4}, std::pair{16, 1}}) {
        SCOPED_TRACE(std::to_string(blockW) + "x" + std::to_string(blockH));
        const auto colour = [](int bx, int by) {
            return (std::uint32_t(bx * 0x9E3779B1u + by * 0x85EBCA77u) >> 5) & 0xFFFFFF;
        };
        std::vector<std::vector<std::uint32_t>> rows(std::size_t(blockH) * 5,
                                                     std::vector<std::uint32_t>(std::size_t(blockW) * 6));
        for (std::size_t y = 0; y < rows.size(); ++y)
            for (std::size_t x = 0; x < rows[y].size(); ++x)
                rows[y][x] = colour(int(x) / blockW, int(y) / blockH);
        const Bitmap out = reduceArea(test::bitmapFromRows(rows), 6, 5);
        ASSERT_TRUE(out.width() == 6 && out.height() == 5);
        for (int by = 0; by < 5; ++by)
            for (int bx = 0; bx < 6; ++bx)
                EXPECT_EQ(test::pixelAt(out, bx, by), colour(bx, by)) << bx << "," << by;
    }
    // One colour at any ratio. In the last two, white's sums pass 2^32 on the way to the mean.
    const struct {
        int srcW, srcH, dstW, dstH;
        bool whiteOnly;
    } cases[] = {{7, 7, 3, 3, false},      {1000, 4, 999, 3, false},    {997, 2, 1, 1, false},
                 {4, 997, 3, 1, false},    {640, 480, 333, 101, false}, {6007, 4001, 1999, 1333, true},
                 {1, 16843013, 1, 3, true}};
    for (const auto& c : cases)
        for (const std::uint32_t rgb : {0xFFFFFFu, 0x000000u, 0x7F80FEu, 0x010203u}) {
            if (c.whiteOnly && rgb != 0xFFFFFF)
                break;
            EXPECT_TRUE(reduceArea(flat(c.srcW, c.srcH, rgb), c.dstW, c.dstH) == flat(c.dstW, c.dstH, rgb))
                << c.srcW << "x" << c.srcH << " colour " << std::hex << rgb;
        }
}

TEST(ReduceArea, InvalidRequestsGiveAnEmptyBitmap)
{
    const Bitmap src = noise(10, 8);
    const struct {
        Region r;
        int dstW, dstH;
    } cases[] = {
        {{-1, 0, 5, 5}, 1, 1},
        {{0, -1, 5, 5}, 1, 1},
        {{6, 0, 5, 5}, 1, 1},
        {{0, 4, 5, 5}, 1, 1},
        {{0, 0, 0, 5}, 1, 1},
        {{0, 0, 5, -5}, 1, 1},
        {{0, 0, 5, 5}, 0, 1},
        {{0, 0, 5, 5}, 1, -1},
        {{0, 0, 5, 5}, 6, 5},
        {{0, 0, 5, 5}, 5, 6},
        {{INT_MAX, 0, INT_MAX, 1}, 1, 1},
        {{0, INT_MAX, 1, INT_MAX}, 1, 1},
        {{INT_MIN, 0, INT_MAX, 1}, 1, 1},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(reduceArea(src, c.r.x, c.r.y, c.r.w, c.r.h, c.dstW, c.dstH).empty())
            << c.r.x << "," << c.r.y << " " << c.r.w << "x" << c.r.h << " to " << c.dstW << "x" << c.dstH;
    EXPECT_TRUE(reduceArea(Bitmap(), 1, 1).empty());
    EXPECT_TRUE(reduceArea(src, 11, 8).empty());
}

}  // namespace
}  // namespace trimlet
