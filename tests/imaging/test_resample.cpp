// The resampling of fractional regions against a reference that weighs every source pixel in
// doubles, and against the exact area reduction where both apply.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "imaging/reduce.h"
#include "imaging/resample.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

// Every source pixel's weight for output k along an axis: the share of the output's span it
// covers when shrinking, the triangle around the output's centre (held to the region's pixels)
// when enlarging.
std::vector<double> referenceWeights(double start, double length, int n, int srcLen, int k)
{
    std::vector<double> w(std::size_t(srcLen), 0.0);
    if (n <= length) {
        const double a = start + k * length / n, b = start + (k + 1) * length / n;
        for (int j = 0; j < srcLen; ++j)
            w[std::size_t(j)] = std::max(0.0, std::min(b, j + 1.0) - std::max(a, double(j))) / (b - a);
        return w;
    }
    const double lo = std::floor(start), hi = std::min(std::ceil(start + length) - 1, srcLen - 1.0);
    const double s = std::clamp(start + (k + 0.5) * length / n - 0.5, lo, hi);
    for (int j = 0; j < srcLen; ++j)
        w[std::size_t(j)] = std::max(0.0, 1 - std::abs(s - j));
    return w;
}

// The largest distance of a channel from the reference's unrounded value.
double distanceFromReference(const Bitmap& src, double x, double y, double w, double h, const Bitmap& out)
{
    double worst = 0;
    std::vector<double> across(std::size_t(src.height()) * 3);
    for (int c = 0; c < out.width(); ++c) {
        const auto wx = referenceWeights(x, w, out.width(), src.width(), c);
        for (int j = 0; j < src.height(); ++j)
            for (int ch = 0; ch < 3; ++ch) {
                double sum = 0;
                for (int i = 0; i < src.width(); ++i)
                    sum += wx[std::size_t(i)] * src.row(j)[3 * i + ch];
                across[std::size_t(j) * 3 + ch] = sum;
            }
        for (int k = 0; k < out.height(); ++k) {
            const auto wy = referenceWeights(y, h, out.height(), src.height(), k);
            for (int ch = 0; ch < 3; ++ch) {
                double sum = 0;
                for (int j = 0; j < src.height(); ++j)
                    sum += wy[std::size_t(j)] * across[std::size_t(j) * 3 + ch];
                worst = std::max(worst, std::abs(out.row(k)[3 * c + ch] - sum));
            }
        }
    }
    return worst;
}

}  // namespace

TEST(Resample, MatchesTheAreaAndTriangleReferenceOnFractionalRegions)
{
    std::mt19937 random(3);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const auto unit = [&] { return std::uniform_real_distribution<double>(0, 1)(random); };
    for (int round = 0; round < 300; ++round) {
        const Bitmap src = test::noisePicture(pick(1, 50), pick(1, 50), std::uint32_t(round + 1));
        const double x = unit() * src.width() * 0.7, y = unit() * src.height() * 0.7;
        const double w = std::max(0.01, unit() * (src.width() - x)), h = std::max(0.01, unit() * (src.height() - y));
        const int dstW = pick(1, 90), dstH = pick(1, 90);
        SCOPED_TRACE(testing::Message() << src.width() << "x" << src.height() << " (" << x << ", " << y << ") " << w
                                        << "x" << h << " to " << dstW << "x" << dstH);
        const Bitmap out = resampleRegion(src, x, y, w, h, dstW, dstH);
        ASSERT_EQ(out.width(), dstW);
        ASSERT_EQ(out.height(), dstH);
        ASSERT_LE(distanceFromReference(src, x, y, w, h, out), 0.51);
    }
    // A long span into one pixel keeps its mean.
    const Bitmap wide = test::noisePicture(4000, 2, 9);
    const Bitmap one = resampleRegion(wide, 0.3, 0, 3999.5, 2, 1, 1);
    EXPECT_LE(distanceFromReference(wide, 0.3, 0, 3999.5, 2, one), 0.51);
    // A flat picture stays exactly flat, whatever the weights' rounding.
    Bitmap flat(37, 23);
    flat.fill(255, 1, 254);
    const Bitmap flatOut = resampleRegion(flat, 0.37, 1.9, 33.3, 20.01, 71, 9);
    Bitmap expected(71, 9);
    expected.fill(255, 1, 254);
    EXPECT_TRUE(flatOut == expected);
}

TEST(Resample, AWholePixelShrinkIsTheAreaReduction)
{
    std::mt19937 random(4);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const Bitmap src = test::photoLike(300, 200, 5);
    for (int round = 0; round < 200; ++round) {
        const int x = pick(0, 299), y = pick(0, 199);
        const int w = pick(1, 300 - x), h = pick(1, 200 - y);
        const int dstW = pick(1, w), dstH = pick(1, h);
        const Bitmap reduced = reduceArea(src, x, y, w, h, dstW, dstH);
        const Bitmap out = resampleRegion(src, x, y, w, h, dstW, dstH);
        ASSERT_EQ(out.width(), dstW);
        ASSERT_LE(test::maxChannelDifference(out, reduced), 1) << x << "," << y << " " << w << "x" << h;
    }
    EXPECT_TRUE(resampleRegion(src, 7, 9, 40, 30, 40, 30) == reduceArea(src, 7, 9, 40, 30, 40, 30));  // a copy
}

TEST(Resample, RegionsPastThePictureGiveNothing)
{
    const Bitmap src = test::noisePicture(20, 10, 1);
    EXPECT_EQ(resampleRegion(src, -1e-7, 0, 20 + 1e-7, 10 + 1e-7, 5, 5).width(), 5);  // within rounding
    for (const auto& [x, y, w, h] : std::vector<std::array<double, 4>>{
             {-1e-5, 0, 10, 5}, {0, 0, 20.001, 5}, {0, 5, 5, 5.01}, {0, 0, 0, 5}, {0, 0, 5, -1}, {NAN, 0, 5, 5}})
        EXPECT_TRUE(resampleRegion(src, x, y, w, h, 5, 5).empty()) << x << " " << y << " " << w << " " << h;
    EXPECT_TRUE(resampleRegion(src, 0, 0, 5, 5, 0, 5).empty());
    EXPECT_TRUE(resampleRegion(Bitmap(), 0, 0, 0, 0, 5, 5).empty());
    EXPECT_TRUE(resampleRegion(src, 0, 0, 5, 5, 1 << 30, 1 << 30).empty());
}

}  // namespace trimlet
