#include <gtest/gtest.h>

#include <random>

#include "imaging/cut_geometry.h"

namespace trimlet {
namespace {

// A 792-pixel-wide client with a 100-pixel command band leaves a 792 × 216 work area.
constexpr int kAvailW = 792, kAvailH = 216, kBand = 100;

TEST(FitPicture, ShrinksKeepingProportionsAndCentres)
{
    EXPECT_EQ(fitPicture(1600, 1200, kAvailW, kAvailH, kBand), (IntRect{252, 100, 288, 216}));
    EXPECT_EQ(fitPicture(200, 150, kAvailW, kAvailH, kBand), (IntRect{296, 133, 200, 150}));
    EXPECT_EQ(fitPicture(1000, 100, kAvailW, kAvailH, kBand), (IntRect{0, 168, 792, 79}));
    EXPECT_EQ(fitPicture(792, 216, kAvailW, kAvailH, kBand), (IntRect{0, 100, 792, 216}));
    // A sliver of a picture may shrink to nothing in one direction; nothing divides by it.
    EXPECT_EQ(fitPicture(909091, 11, kAvailW, kAvailH, kBand).h, 0);
}

TEST(StretchPicture, EnlargesOrShrinksToTheBoxTruncatingAndCentres)
{
    EXPECT_EQ(stretchPicture(2000, 100, 82, 42), (IntRect{0, 19, 82, 4}));
    EXPECT_EQ(stretchPicture(10, 10, 82, 42), (IntRect{20, 0, 42, 42}));
    EXPECT_EQ(stretchPicture(82, 42, 82, 42), (IntRect{0, 0, 82, 42}));
    EXPECT_EQ(stretchPicture(100, 1, 82, 42), (IntRect{0, 20, 82, 1}));  // never thinner than a line
    EXPECT_EQ(stretchPicture(1, 100000, 82, 42), (IntRect{40, 0, 1, 42}));
    EXPECT_EQ(stretchPicture(0, 0, 82, 42), IntRect{});
}

TEST(MinimumRate, SmallestRateWhoseRegionFitsOneWayAtLeast)
{
    EXPECT_EQ(minimumRate(1600, 1200, 240, 320), 15);
    EXPECT_EQ(minimumRate(1000, 1000, 240, 320), 24);
    EXPECT_EQ(minimumRate(200, 200, 240, 320), 100);
    EXPECT_EQ(minimumRate(240, 320, 240, 320), 100);
    EXPECT_EQ(minimumRate(24000, 32000, 240, 320), 1);
    EXPECT_EQ(minimumRate(1000, 100, 240, 320), 24);
}

TEST(FitRate, LowestRateWhoseWholeRegionTheWindowTakes)
{
    // Checked against the frame sizing itself, on the display the window would show: at the fit
    // rate nothing is clipped and the piece is the full cut size; a rate lower clips, or is
    // below the minimum rate.
    std::mt19937 random(20261209);
    const auto in = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int i = 0; i < 20000; ++i) {
        const int W = in(24, 4096), H = in(32, 4096);
        // Pictures about the region of some rate, so that the edges are often just met or missed.
        const int at = in(1, 100);
        const auto near = [&](int size) { return std::max(1, size * 100 / at + in(-2, 2) * (i % 3)); };
        const int pw = i % 4 == 0 ? in(1, 30000) : near(W), ph = i % 4 == 1 ? in(1, 30000) : near(H);
        const IntRect display = fitPicture(pw, ph, in(1, 2000), in(1, 1200), kBand);
        const auto sized = [&](int R) {
            return resizeCutFrame(placeCutFrame(true, display, pw, ph, {}), display, pw, ph, W, H, R);
        };
        const auto fits = [&](int R) {
            const FrameSizing s = sized(R);
            return !s.clippedWidth && !s.clippedHeight;
        };
        const int R = fitRate(pw, ph, W, H);
        SCOPED_TRACE(::testing::Message() << W << "x" << H << " of " << pw << "x" << ph << " at " << R);
        ASSERT_GE(R, minimumRate(pw, ph, W, H));
        ASSERT_EQ(fits(R), W <= pw && H <= ph);
        if (fits(R)) {
            ASSERT_EQ(sized(R).reducedWidth, W);
            ASSERT_EQ(sized(R).reducedHeight, H);
        }
        if (R > minimumRate(pw, ph, W, H)) {
            ASSERT_FALSE(fits(R - 1));
        }
    }
    EXPECT_EQ(fitRate(6000, 4000, 1920, 1080), 32);
    EXPECT_EQ(fitRate(4000, 6000, 1920, 1080), 48);
    EXPECT_EQ(fitRate(1000, 500, 1920, 1080), 100);
    EXPECT_EQ(fitRate(5489, 9156, 2141, 3571), 40);  // the region fits at 39, below the minimum
    EXPECT_EQ(fitRate(0, 0, 1920, 1080), 100);
}

TEST(ResizeCutFrame, ExamplesAtEveryScale)
{
    const IntRect display = fitPicture(1600, 1200, kAvailW, kAvailH, kBand);
    const IntRect start = placeCutFrame(true, display, 1600, 1200, {});
    FrameSizing s = resizeCutFrame(start, display, 1600, 1200, 240, 320, 100);
    EXPECT_EQ(s.frame.w, 43);
    EXPECT_EQ(s.frame.h, 57);
    EXPECT_EQ(s.frame.x, 252 + 144 - 21);
    EXPECT_EQ(s.cutSrcWidth, 240);
    EXPECT_EQ(s.reducedWidth, 240);
    EXPECT_FALSE(s.clippedWidth || s.clippedHeight);

    // Unscaled display, rate 50 and an odd width: the region doubles and the label agrees.
    const IntRect big = fitPicture(2000, 2000, 4000, 4000, 0);
    s = resizeCutFrame(placeCutFrame(true, big, 2000, 2000, {}), big, 2000, 2000, 241, 320, 50);
    EXPECT_EQ(s.cutSrcWidth, 482);
    EXPECT_EQ(s.reducedWidth, 241);
    EXPECT_EQ(s.frame.w, 482);

    s = resizeCutFrame(placeCutFrame(true, big, 2000, 2000, {}), big, 2000, 2000, 100, 320, 30);
    EXPECT_EQ(s.cutSrcWidth, 333);
    EXPECT_EQ(s.reducedWidth, 100);  // ceil(99.9)

    // At the minimum rate of a 1000 × 1000 picture the region is exactly the picture's width.
    const IntRect square = fitPicture(1000, 1000, kAvailW, kAvailH, kBand);
    s = resizeCutFrame(placeCutFrame(true, square, 1000, 1000, {}), square, 1000, 1000, 240, 320, 24);
    EXPECT_EQ(s.cutSrcWidth, 1000);
    EXPECT_FALSE(s.clippedWidth);
}

TEST(ResizeCutFrame, ClipsToThePictureAndNeverPassesIt)
{
    const IntRect display = fitPicture(1000, 100, kAvailW, kAvailH, kBand);
    FrameSizing s = resizeCutFrame(placeCutFrame(true, display, 1000, 100, {}), display, 1000, 100, 240, 320, 100);
    EXPECT_TRUE(s.clippedHeight);
    EXPECT_EQ(s.cutSrcHeight, 100);
    EXPECT_EQ(s.cutSrcWidth, 240);
    EXPECT_EQ(s.frame.h, 79);
    EXPECT_EQ(s.frame.y, display.y);
    EXPECT_EQ(reducedSize(100, s.cutSrcHeight), 100);

    // 321 × 100 / 20 = 1605 passes a 1600-pixel picture while the truncated frame still fits
    // its 288-pixel display; the region is held to the picture.
    const IntRect shrunk = fitPicture(1600, 1200, kAvailW, kAvailH, kBand);
    s = resizeCutFrame(placeCutFrame(true, shrunk, 1600, 1200, {}), shrunk, 1600, 1200, 321, 32, 20);
    EXPECT_EQ(s.cutSrcWidth, 1600);
    EXPECT_TRUE(s.clippedWidth);
    const IntPoint o = cutOrigin(s.frame, shrunk, 1600, 1200, s.cutSrcWidth, s.cutSrcHeight);
    EXPECT_EQ(o.x, 0);
}

TEST(ClampCutFrame, StopsAtEveryEdgeAndPrefersLeftTop)
{
    const IntRect display{10, 100, 200, 150};
    const IntRect frame{0, 0, 50, 40};
    EXPECT_EQ(clampCutFrame(frame, -500, 120, display), (IntRect{10, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 500, 120, display), (IntRect{160, 120, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, -5, display), (IntRect{50, 100, 50, 40}));
    EXPECT_EQ(clampCutFrame(frame, 50, 999, display), (IntRect{50, 210, 50, 40}));
    EXPECT_EQ(clampCutFrame({0, 0, 300, 200}, 40, 40, display), (IntRect{10, 100, 300, 200}));
}

TEST(FrameCentre, RelayoutsDoNotDrift)
{
    const int pw = 1603, ph = 1201;
    IntRect display = fitPicture(pw, ph, kAvailW, kAvailH, kBand);
    FrameSizing s = resizeCutFrame(placeCutFrame(true, display, pw, ph, {}), display, pw, ph, 240, 320, 100);
    s.frame = clampCutFrame(s.frame, display.x + 17, display.y + 9, display);
    const IntPoint centre = storeFrameCentre(s.frame, display, pw, ph);
    IntRect first;
    for (int round = 0; round < 20; ++round) {
        const int availW = 792 + (round % 5) * 37, availH = 216 + (round % 3) * 51;
        display = fitPicture(pw, ph, availW, availH, kBand);
        s = resizeCutFrame(placeCutFrame(false, display, pw, ph, centre), display, pw, ph, 240, 320, 100);
        if (round == 0)
            first = s.frame;
        if (availW == 792 && availH == 216) {
            EXPECT_EQ(s.frame, first);
        }
    }
}

TEST(CutOrigin, MapsTheCornerAndPullsTheRegionBackInside)
{
    const IntRect display = fitPicture(1000, 800, kAvailW, kAvailH, kBand);
    const IntRect topLeft{display.x, display.y, 10, 10};
    EXPECT_EQ(cutOrigin(topLeft, display, 1000, 800, 240, 320), (IntPoint{0, 0}));
    const IntRect bottomRight{display.x + display.w - 1, display.y + display.h - 1, 10, 10};
    EXPECT_EQ(cutOrigin(bottomRight, display, 1000, 800, 240, 320), (IntPoint{760, 480}));
    EXPECT_TRUE(cutsRegion(1000, 100, 240, 320));
    EXPECT_FALSE(cutsRegion(200, 150, 240, 320));
}

}  // namespace
}  // namespace trimlet
