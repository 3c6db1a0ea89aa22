// The zoom's mapping against the plain definition: every picture pixel's device span maps back
// onto that pixel, at every step and scroll. The scale is per device pixel, so a pixel ratio of
// 2 changes only how many logical pixels the view has, not the mapping.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "document/zoom_view.h"

namespace trimlet {
namespace {

TEST(ZoomView, EveryDevicePixelMapsBackOntoThePicturePixelItShows)
{
    for (int percent : kZoomSteps) {
        for (double origin : {0.0, 3.0, 17.25}) {
            const ZoomView v{percent / 100.0, origin, origin * 2};
            for (int p = int(std::ceil(origin * 2)); p < int(origin * 2) + 40; ++p) {
                // The device pixels whose left edge lies inside picture pixel p.
                const long first = long(std::ceil(v.toDeviceY(p) - 1e-9));
                const long end = long(std::ceil(v.toDeviceY(p + 1) - 1e-9));
                for (long d = first; d < end; ++d) {
                    ASSERT_EQ(v.toPicture(0, double(d)).y, p) << percent << " " << origin;
                }
            }
            // 100 % is one picture pixel per device pixel whatever the logical ratio.
            if (percent == 100) {
                EXPECT_EQ(v.toDeviceX(origin + 5) - v.toDeviceX(origin), 5);
            }
        }
    }
}

TEST(ZoomView, StepsRunFromFitToTheLastAndNeverBelowFit)
{
    std::vector<int> in{0};
    for (int z = nextZoom(0, +1, 30.0); z != in.back(); z = nextZoom(z, +1, 30.0))
        in.push_back(z);
    EXPECT_EQ(in, (std::vector<int>{0, 33, 50, 67, 100, 150, 200, 300, 400, 600, 800}));
    EXPECT_EQ(nextZoom(33, -1, 30.0), 0);
    EXPECT_EQ(nextZoom(0, -1, 30.0), 0);
    EXPECT_EQ(nextZoom(400, -1, 30.0), 300);
    // A picture that fits unscaled starts its steps above 100 %.
    EXPECT_EQ(nextZoom(0, +1, 100.0), 150);
    EXPECT_EQ(nextZoom(150, -1, 100.0), 0);
}

TEST(ZoomView, ZoomKeepsTheAnchorAndScrollStaysOnThePicture)
{
    const int pw = 10000, ph = 10000, vw = 800, vh = 600;
    ZoomView v{0.5, 1000, 2000};
    const ZoomView z = zoomAbout(v, 8.0, 400, 300, vw, vh, pw, ph);
    EXPECT_NEAR(z.originX + 400 / 8.0, v.originX + 400 / 0.5, 1e-9);
    EXPECT_NEAR(z.originY + 300 / 8.0, v.originY + 300 / 0.5, 1e-9);
    // Scrolled past the end: pulled back; a picture narrower than the view: centred.
    EXPECT_DOUBLE_EQ(clampScroll({8.0, 1e6, -50}, vw, vh, pw, ph).originX, pw - vw / 8.0);
    EXPECT_DOUBLE_EQ(clampScroll({8.0, 1e6, -50}, vw, vh, pw, ph).originY, 0);
    EXPECT_DOUBLE_EQ(clampScroll({1.0, 7, 7}, vw, vh, 400, 300).originX, -200);
    // What is rendered at 800 % is the visible part only, however large the picture.
    const IntRect shown = visiblePixels(z, vw, vh, pw, ph);
    EXPECT_LE(shown.w, vw / 8 + 1);
    EXPECT_LE(shown.h, vh / 8 + 1);
    EXPECT_EQ(visiblePixels({1.0, -200, -150}, vw, vh, 400, 300), (IntRect{0, 0, 400, 300}));
}

}  // namespace
}  // namespace trimlet
