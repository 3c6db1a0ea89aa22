#include <gtest/gtest.h>

#include "imaging/orientation.h"
#include "imaging/plan.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

// The kernels themselves are the reference: placing twice is placing once by the composition,
// and every pixel lands where orientedPoint says.
TEST(CutPlan, OrientationsComposeAsTheKernelsPlacePixels)
{
    const Bitmap picture = test::noisePicture(5, 3, 11);
    for (int first = 1; first <= 8; ++first) {
        const Bitmap once = orientBitmap(picture, first);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) {
                const IntPoint p = orientedPoint(first, 5, 3, {x, y});
                ASSERT_EQ(test::pixelAt(once, p.x, p.y), test::pixelAt(picture, x, y)) << first;
            }
        for (int then = 1; then <= 8; ++then)
            EXPECT_TRUE(orientBitmap(once, then) == orientBitmap(picture, composeOrientations(first, then)))
                << first << " then " << then;
    }
}

// Cutting the stored region and placing it after gives the cut of the placed picture, for all
// eight placements, frames at the edges and inside, at full size and reduced.
TEST(CutPlan, CutFirstGivesTheCutOfThePlacedPicture)
{
    const Bitmap stored = test::noisePicture(97, 61, 5);
    const CutFrame frames[] = {{{0, 0}, 24, 32, 100},
                               {{3, 5}, 40, 33, 100},
                               {{7, 2}, 50, 45, 37},
                               {{0, 0}, 61, 61, 71},
                               {{11, 19}, 41, 36, 50}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const Bitmap shown = orientBitmap(stored, orientation);
        for (CutFrame f : frames) {
            f.origin.x = std::min(f.origin.x, shown.width() - f.width);
            f.origin.y = std::min(f.origin.y, shown.height() - f.height);
            const CutPlan plan = planCut(stored.width(), stored.height(), orientation, f);
            const Bitmap region = copyRegion(stored, plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h);
            EXPECT_TRUE(cutStoredRegion(region, plan) == cutRegion(shown, f.origin, f.width, f.height, f.rate))
                << "orientation " << orientation << " frame " << f.origin.x << "," << f.origin.y << " " << f.width
                << "x" << f.height << "@" << f.rate;
        }
    }
    const CutPlan plan = planCut(97, 61, 6, {{0, 0}, 24, 32, 100});
    EXPECT_TRUE(cutStoredRegion(Bitmap(3, 3), plan).empty());
}

// Bands of any height, placed as they come, fill the target as the whole picture's placement.
TEST(CutPlan, PlacedBandsMakeThePlacedPicture)
{
    for (const auto& [w, h] : {std::pair{37, 23}, std::pair{1, 9}, std::pair{9, 1}})
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const Bitmap stored = test::noisePicture(w, h, 3);
            const Bitmap expected = orientBitmap(stored, orientation);
            Bitmap placed(expected.width(), expected.height());
            for (int first = 0, count = 1; first < h; first += count, count = count % 5 + 3) {
                count = std::min(count, h - first);
                placeRows(copyRegion(stored, 0, first, w, count), first, count, w, h, orientation, placed);
            }
            EXPECT_TRUE(placed == expected) << w << "x" << h << " orientation " << orientation;
        }
}

}  // namespace
}  // namespace trimlet
