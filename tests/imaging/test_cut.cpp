// Cutting: a region taken whole or reduced, and the frame a cut request places on a picture.
#include <gtest/gtest.h>

#include <array>

#include "imaging/cut.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

Bitmap noise(int width, int height) { return test::noisePicture(width, height, 11); }

CutRequest request(int width, int height, int rate)
{
    CutRequest r;
    r.width = width;
    r.height = height;
    r.rate = rate;
    return r;
}

CutRequest request(int width, int height, int rate, IntPoint centre)
{
    CutRequest r = request(width, height, rate);
    r.centreGiven = true;
    r.centre = centre;
    return r;
}

TEST(CutRegion, TakesOnlyRegionsInsideThePicture)
{
    const Bitmap src = noise(50, 40);
    // Exactly at the right and bottom edges: the region is copied pixel for pixel.
    EXPECT_EQ(cutRegion(src, {26, 8}, 24, 32, 100), copyRegion(src, 26, 8, 24, 32));
    EXPECT_EQ(cutRegion(src, {0, 0}, 50, 40, 100), src);
    // One pixel past any edge, a negative corner, a bad rate or size: nothing.
    const std::array<int, 5> outside[] = {
        {27, 8, 24, 32, 100}, {26, 9, 24, 32, 100}, {-1, 0, 24, 32, 100}, {0, -1, 24, 32, 100}, {0, 0, 51, 40, 100},
        {0, 0, 50, 41, 50},   {0, 0, 24, 32, 0},    {0, 0, 24, 32, 101},  {0, 0, 0, 32, 100},   {0, 0, 24, 0, 100},
    };
    for (const auto& [x, y, w, h, rate] : outside)
        EXPECT_TRUE(cutRegion(src, {x, y}, w, h, rate).empty()) << x << "," << y << " " << w << "x" << h << "@" << rate;
}

TEST(CutRegion, ReducedRegionsRoundTheirSizeUp)
{
    Bitmap src(60, 45);
    src.fill(10, 20, 30);
    // 33 × 45 at 50 %: 16.5 × 22.5 becomes 17 × 23, and a flat region stays flat.
    const Bitmap out = cutRegion(src, {27, 0}, 33, 45, 50);
    ASSERT_EQ(out.width(), 17);
    ASSERT_EQ(out.height(), 23);
    Bitmap want(17, 23);
    want.fill(10, 20, 30);
    EXPECT_EQ(out, want);
}

TEST(CutPicture, RaisesARateBelowThePicturesMinimum)
{
    const Bitmap src = noise(100, 100);
    // 48 × 64 at 1 % would need a region of 4800 × 6400; the least rate at which the region
    // fits one way is 48 %, where it is 100 × 133 clipped to 100 × 100: 48 × 48 pixels.
    const Bitmap low = cutPicture(src, request(48, 64, 1));
    EXPECT_EQ(low.width(), 48);
    EXPECT_EQ(low.height(), 48);
    EXPECT_EQ(low, cutPicture(src, request(48, 64, 48)));
}

TEST(CutPicture, TakesSmallPicturesWholeAndCentresTheFrame)
{
    const Bitmap small = noise(30, 20);
    EXPECT_EQ(cutPicture(small, request(48, 64, 50)), small);
    EXPECT_TRUE(cutPicture(Bitmap{}, request(48, 64, 100)).empty());

    // At 100 % the region is the cut size around the middle, or the centre given, kept inside.
    const Bitmap src = noise(200, 100);
    EXPECT_EQ(cutPicture(src, request(48, 64, 100)), copyRegion(src, 76, 18, 48, 64));
    EXPECT_EQ(cutPicture(src, request(48, 64, 100, {0, 0})), copyRegion(src, 0, 0, 48, 64));
    EXPECT_EQ(cutPicture(src, request(48, 64, 100, {500, 500})), copyRegion(src, 152, 36, 48, 64));
}

TEST(CutPicture, AReducedCutIsMadeFromTheRegionTheRateCalls)
{
    // W × H at R % comes from the W × 100 / R by H × 100 / R region around the middle of a
    // 400 × 300 picture, truncated: 96 × 128 at 50 %, 64 × 85 at 75 %.
    const Bitmap src = noise(400, 300);
    EXPECT_EQ(cutPicture(src, request(48, 64, 50)), reduceArea(src, 152, 86, 96, 128, 48, 64));
    EXPECT_EQ(cutPicture(src, request(48, 64, 75)), reduceArea(src, 168, 108, 64, 85, 48, 64));
}

}  // namespace
}  // namespace trimlet
