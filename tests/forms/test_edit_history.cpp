// The undo history without a window: order, the redo side, and its bounds in steps and bytes.

#include <gtest/gtest.h>

#include "forms/edit_history.h"

using namespace trimlet;

namespace {

// A w × 1 picture whose first pixel tells it apart; its store is strideFor(w) bytes.
Picture tagged(int tag, int w = 4)
{
    Bitmap b(w, 1);
    b.data()[0] = std::uint8_t(tag);
    return Picture(std::move(b));
}

int tagOf(const Picture& p) { return p.bitmap().data()[0]; }

EditState state(int tag, int w = 4) { return {tagged(tag, w), "doc", {tag, tag}, 100}; }

// Records edits 1..n over pictures tagged 0..n-1 and returns the picture the window ends on.
EditState recordEdits(EditHistory& h, int n, int w = 4)
{
    for (int i = 0; i < n; ++i)
        h.record("edit " + std::to_string(i + 1), state(i, w));
    return state(n, w);
}

// Undoes as a window does: takes the step's state, leaves its own for a redo.
EditState undo(EditHistory& h, EditState current)
{
    EditState back = h.undoStep()->state;
    h.stepBack(std::move(current));
    return back;
}

EditState redo(EditHistory& h, EditState current)
{
    EditState forward = h.redoStep()->state;
    h.stepForward(std::move(current));
    return forward;
}

}  // namespace

TEST(EditHistory, UndoAndRedoWalkTheEditsInOrder)
{
    EditHistory h;
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.redoStep(), nullptr);
    EditState now = recordEdits(h, 3);

    for (int expected = 2; expected >= 0; --expected) {
        EXPECT_EQ(h.undoStep()->name, "edit " + std::to_string(expected + 1));
        now = undo(h, now);
        EXPECT_EQ(tagOf(now.picture), expected);
        EXPECT_EQ(now.frameCentre, (IntPoint{expected, expected}));
    }
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.redoCount(), 3u);

    for (int expected = 1; expected <= 3; ++expected) {
        EXPECT_EQ(h.redoStep()->name, "edit " + std::to_string(expected));
        now = redo(h, now);
        EXPECT_EQ(tagOf(now.picture), expected);
    }
    EXPECT_EQ(h.redoStep(), nullptr);
    EXPECT_EQ(h.undoCount(), 3u);
    // Misplaced calls change nothing.
    h.stepForward(state(9));
    EXPECT_EQ(h.undoCount(), 3u);
}

TEST(EditHistory, ANewEditDropsTheRedoSideAndClearDropsAll)
{
    EditHistory h;
    EditState now = recordEdits(h, 3);
    now = undo(h, now);
    now = undo(h, now);
    ASSERT_EQ(h.redoCount(), 2u);
    h.record("other", now);
    EXPECT_EQ(h.redoStep(), nullptr);
    EXPECT_EQ(h.undoCount(), 2u);
    EXPECT_EQ(h.undoStep()->name, "other");
    EXPECT_EQ(tagOf(h.undoStep()->state.picture), 1);

    h.clear();
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.bytes(), 0);
}

TEST(EditHistory, TwentyStepsKeepTheNewest)
{
    EditHistory h;
    EditState now = recordEdits(h, 25);
    EXPECT_EQ(h.undoCount(), EditHistory::kMaxSteps);
    for (int i = 0; i < 20; ++i)
        now = undo(h, now);
    EXPECT_EQ(tagOf(now.picture), 5);  // edits 1 to 5 were the oldest
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.redoCount(), 20u);
}

TEST(EditHistory, BytesBoundDropsTheOldestAndCountsSharedPicturesOnce)
{
    const std::int64_t one = Bitmap::strideFor(100);  // a 100 × 1 picture
    EditHistory h;
    h.setLimits(20, 3 * one);
    EditState now = recordEdits(h, 5, 100);
    EXPECT_EQ(h.undoCount(), 3u);
    EXPECT_EQ(h.bytes(), 3 * one);
    EXPECT_EQ(tagOf(h.undoStep()->state.picture), 4);

    // Undoing moves the window's picture into the history: the bound still holds, the step
    // farthest back goes.
    now = undo(h, now);
    EXPECT_EQ(h.undoCount() + h.redoCount(), 3u);
    EXPECT_EQ(h.redoCount(), 1u);
    EXPECT_EQ(tagOf(now.picture), 4);

    // The same picture in two steps (a slot loaded twice) holds its memory once.
    EditHistory shared;
    shared.setLimits(20, one);
    const Picture p = tagged(7, 100);
    shared.record("a", {p, "", {}, 100});
    shared.record("b", {p, "", {}, 100});
    EXPECT_EQ(shared.undoCount(), 2u);
    EXPECT_EQ(shared.bytes(), one);
}

TEST(EditHistory, BytesCountMaskAndFileBytes)
{
    DecodedImage image;
    image.bitmap = Bitmap(10, 10);
    image.mask.assign(100, 0);
    image.mask[3] = 1;
    const Picture gif(PictureKind::Gif, std::move(image), std::vector<std::uint8_t>(500, 1));
    EditHistory h;
    h.record("gif", {gif, "a.gif", {}, 100});
    EXPECT_EQ(h.bytes(), Bitmap::strideFor(10) * 10 + 100 + 500);
    EXPECT_EQ(h.undoStep()->state.picture.kind(), PictureKind::Gif);
}

// A picture larger than the whole bound cannot be kept without breaking it: its step goes,
// with every older one, and the history is empty rather than over its bound.
TEST(EditHistory, APictureLargerThanTheBoundIsNotKept)
{
    EditHistory h;
    h.setLimits(20, 1000);
    recordEdits(h, 2, 10);
    ASSERT_EQ(h.undoCount(), 2u);
    h.record("huge", state(9, 1000));
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.bytes(), 0);

    // Small steps after it are kept again.
    h.record("small", state(1, 10));
    EXPECT_EQ(h.undoCount(), 1u);

    // Undoing from a huge picture loses only the way forward to it.
    EditState now = undo(h, state(9, 1000));
    EXPECT_EQ(tagOf(now.picture), 1);
    EXPECT_EQ(h.redoStep(), nullptr);
}

TEST(EditHistory, LoweredLimitsApplyAtOnce)
{
    EditHistory h;
    recordEdits(h, 6);
    h.setLimits(2, EditHistory::kMaxBytes);
    EXPECT_EQ(h.undoCount(), 2u);
    EXPECT_EQ(tagOf(h.undoStep()->state.picture), 5);
}
