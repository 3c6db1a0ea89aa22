// The cut frame without a window: placing, sizing, dragging and remembering its centre.

#include <gtest/gtest.h>

#include "document/frame_state.h"

using namespace trimlet;

namespace {

bool inside(const IntRect& r, const IntRect& d)
{
    return r.x >= d.x && r.y >= d.y && r.x + r.w <= d.x + d.w && r.y + r.h <= d.y + d.h;
}

// A frame laid out as the window does it: placed, then sized for the cut.
FrameState laidOut(bool recentre, const IntRect& display, int pw, int ph, int W, int H, int R, FrameState f = {})
{
    f.place(recentre, display, pw, ph);
    f.resize(display, pw, ph, W, H, R, recentre);
    return f;
}

}  // namespace

TEST(FrameState, RecentredFrameSitsInTheMiddleAndStandsForTheCut)
{
    const IntRect display{0, 100, 1000, 500};  // a 2000 × 1000 picture at half size
    const FrameState f = laidOut(true, display, 2000, 1000, 240, 320, 100);
    EXPECT_EQ(f.cutSrcWidth, 240);
    EXPECT_EQ(f.cutSrcHeight, 320);
    EXPECT_EQ(f.rect.w, 120);
    EXPECT_EQ(f.rect.h, 160);
    EXPECT_TRUE(inside(f.rect, display));
    EXPECT_LE(std::abs(f.centre.x - 1000), 2);
    EXPECT_LE(std::abs(f.centre.y - 500), 2);
    EXPECT_FALSE(f.dragging);
}

TEST(FrameState, DragFollowsTheMouseAndStaysOnThePicture)
{
    const IntRect display{10, 100, 800, 600};
    FrameState f = laidOut(true, display, 800, 600, 200, 100, 100);
    const IntRect start = f.rect;

    EXPECT_FALSE(f.dragTo({50, 50}, display));  // no press, no move
    EXPECT_EQ(f.rect, start);

    f.beginDrag({5, 7});
    EXPECT_TRUE(f.dragTo({5 + 30, 7 - 20}, display));
    EXPECT_EQ(f.rect, (IntRect{start.x + 30, start.y - 20, start.w, start.h}));
    EXPECT_TRUE(f.dragTo({-5000, -5000}, display));  // far beyond the top-left corner
    EXPECT_EQ(f.rect, (IntRect{display.x, display.y, start.w, start.h}));
    EXPECT_TRUE(f.dragTo({5000, 5000}, display));
    EXPECT_EQ(f.rect.x + f.rect.w, display.x + display.w);
    EXPECT_EQ(f.rect.y + f.rect.h, display.y + display.h);

    f.endDrag(display, 800, 600);
    EXPECT_FALSE(f.dragging);
    EXPECT_EQ(f.centre, (IntPoint{700, 550}));  // the bottom-right 200 × 100 region's centre
    EXPECT_FALSE(f.dragTo({0, 0}, display));
}

TEST(FrameState, SizingEndsADragAndKeepsTheCentreUnlessAsked)
{
    const IntRect display{0, 100, 600, 400};
    FrameState f = laidOut(true, display, 1200, 800, 240, 320, 100);
    f.beginDrag({1, 1});
    f.dragTo({41, 1}, display);
    const IntPoint remembered = f.centre;  // not stored while dragging
    f.resize(display, 1200, 800, 240, 320, 50, false);
    EXPECT_FALSE(f.dragging);
    EXPECT_EQ(f.centre, remembered);
    EXPECT_EQ(f.cutSrcWidth, 480);  // half the rate: twice the picture pixels
    f.resize(display, 1200, 800, 240, 320, 50, true);
    EXPECT_GT(f.centre.x, remembered.x);
}

TEST(FrameState, RelayoutsAtOtherScalesComeBackToTheSameFrame)
{
    // A window enlarged and restored: the remembered centre is kept, so the frame returns to
    // the same place and size; at the larger scale its centre stays within a display pixel.
    const int pw = 1600, ph = 1200;
    const IntRect small{0, 100, 400, 300}, large{50, 100, 800, 600};
    FrameState f = laidOut(true, small, pw, ph, 320, 240, 100);
    f.beginDrag({0, 0});
    f.dragTo({-37, 23}, small);
    f.endDrag(small, pw, ph);
    const FrameState before = f;

    f = laidOut(false, large, pw, ph, 320, 240, 100, f);
    EXPECT_EQ(f.centre, before.centre);
    EXPECT_TRUE(inside(f.rect, large));
    const int cx = large.x + f.centre.x * large.w / pw, cy = large.y + f.centre.y * large.h / ph;
    EXPECT_LE(std::abs(f.rect.x + f.rect.w / 2 - cx), 1);
    EXPECT_LE(std::abs(f.rect.y + f.rect.h / 2 - cy), 1);

    f = laidOut(false, small, pw, ph, 320, 240, 100, f);
    EXPECT_EQ(f.rect, before.rect);
    EXPECT_EQ(f.centre, before.centre);
    EXPECT_EQ(f.cutSrcWidth, before.cutSrcWidth);
}

TEST(FrameState, CutOriginKeepsTheRegionInsideThePicture)
{
    const IntRect display{0, 100, 500, 400};
    const int pw = 1000, ph = 800;
    FrameState f = laidOut(true, display, pw, ph, 300, 200, 100);
    for (const IntPoint& to : {IntPoint{-900, -900}, IntPoint{900, 900}, IntPoint{13, -4}}) {
        f.beginDrag({0, 0});
        f.dragTo(to, display);
        const IntPoint o = f.cutOrigin(display, pw, ph);
        EXPECT_GE(o.x, 0);
        EXPECT_GE(o.y, 0);
        EXPECT_LE(o.x + f.cutSrcWidth, pw);
        EXPECT_LE(o.y + f.cutSrcHeight, ph);
    }
    f.beginDrag({0, 0});
    f.dragTo({-900, -900}, display);
    EXPECT_EQ(f.cutOrigin(display, pw, ph), (IntPoint{0, 0}));
}

TEST(FrameState, OnAGridTheCornerTakesOnlyGridPointsAtEveryScale)
{
    // Offsets as a mirrored picture's grid has them; displays from larger than the picture
    // down to a screen pixel covering 40 picture pixels.
    const LosslessGrid grid{16, 8, 5, 3};
    const int pw = 4005, ph = 3003;
    for (const IntRect display : {IntRect{0, 0, 4005, 3003}, IntRect{10, 40, 1001, 750}, IntRect{0, 0, 100, 75}}) {
        FrameState f = laidOut(true, display, pw, ph, 250, 170, 100);
        f.grid = grid;
        f.beginDrag({0, 0});
        f.dragTo({37, -23}, display);
        f.snap(display, pw, ph);
        IntPoint at = f.cutOrigin(display, pw, ph);
        EXPECT_EQ((at.x - 5) % 16, 0);
        EXPECT_EQ((at.y - 3) % 8, 0);
        // A key moves it by exactly one grid step, as far as the picture lets it.
        for (int i = 0; i < 300; ++i) {
            f.moveBy(1, 0, display, pw, ph);
            const IntPoint next = f.cutOrigin(display, pw, ph);
            ASSERT_TRUE(next.x == at.x + 16 || (next.x == at.x && at.x + 16 + 250 > pw)) << next.x << " " << at.x;
            EXPECT_EQ(next.y, at.y);
            at = next;
        }
        EXPECT_LE(at.x + 250, pw);
        f.moveBy(0, -1, display, pw, ph);
        EXPECT_EQ(f.cutOrigin(display, pw, ph).y, at.y - 8);
    }
}
