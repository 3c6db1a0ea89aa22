// The cut frame and its region one pixel either side of the picture's edges.
#include <gtest/gtest.h>

#include "imaging/cut_geometry.h"

namespace trimlet {
namespace {

TEST(ClampCutFrame, OnePixelOutsideIsPulledBackOnEverySide)
{
    const IntRect display{10, 100, 200, 150};
    const IntRect frame{0, 0, 50, 40};
    EXPECT_EQ(clampCutFrame(frame, 9, 120, display), (IntRect{10, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 10, 120, display), (IntRect{10, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 161, 120, display), (IntRect{160, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 160, 120, display), (IntRect{160, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, 99, display), (IntRect{50, 100, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, 100, display), (IntRect{50, 100, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, 211, display), (IntRect{50, 210, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, 210, display), (IntRect{50, 210, 50, 40}));
}

TEST(CutOrigin, NeverLeavesThePictureEvenForARegionLargerThanIt)
{
    const IntRect display{0, 0, 100, 50};  // a 200 × 100 picture shown at half size
    // A frame starting above or left of the picture starts its region at the edge.
    EXPECT_EQ(cutOrigin({-3, 10, 10, 10}, display, 200, 100, 40, 40), (IntPoint{0, 20}));
    EXPECT_EQ(cutOrigin({10, -3, 10, 10}, display, 200, 100, 40, 40), (IntPoint{20, 0}));
    // A region larger than the picture one way starts at 0 that way.
    EXPECT_EQ(cutOrigin({30, 20, 10, 10}, display, 200, 100, 250, 40), (IntPoint{0, 40}));
    EXPECT_EQ(cutOrigin({30, 20, 10, 10}, display, 200, 100, 40, 130), (IntPoint{60, 0}));
    // Pulled back inside at the far edges.
    EXPECT_EQ(cutOrigin({99, 49, 10, 10}, display, 200, 100, 40, 30), (IntPoint{160, 70}));
}

}  // namespace
}  // namespace trimlet
