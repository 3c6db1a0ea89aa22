// The undo history's memory bound, which the window tests reach only with huge pictures. Order,
// the redo side and the step bound are tested through the window.

#include <gtest/gtest.h>

#include "document/edit_history.h"

using namespace trimlet;

namespace {

// A w × 1 picture whose first byte tells it apart; it holds strideFor(w) bytes.
EditState state(int tag, int w)
{
    Bitmap b(w, 1);
    b.data()[0] = std::uint8_t(tag);
    return {Picture(std::move(b)), "doc", {tag, 0}, 100};
}

int tagOf(const EditHistory::Step* step) { return step ? step->state.picture.bitmap().data()[0] : -1; }

}  // namespace

TEST(EditHistory, BytesCountEveryPictureOnceWithItsMaskAndFile)
{
    const std::int64_t one = Bitmap::strideFor(100);
    EditHistory h;
    h.setLimits(20, 3 * one);
    for (int i = 0; i < 5; ++i)
        h.record("edit", state(i, 100));
    EXPECT_EQ(h.undoCount(), 3u);
    EXPECT_EQ(tagOf(h.undoStep()), 4);

    // A slot loaded twice: one picture in two steps.
    const EditState shared = state(7, 100);
    h.clear();
    h.setLimits(20, one);
    h.record("a", shared);
    h.record("b", shared);
    EXPECT_EQ(h.undoCount(), 2u);
    EXPECT_EQ(h.bytes(), one);

    DecodedImage image{.bitmap = Bitmap(10, 10)};
    image.mask.assign(100, 0);
    image.mask[3] = 1;
    h.clear();
    h.setLimits(20, EditHistory::kMaxBytes);
    h.record("gif", {Picture(PictureKind::Gif, std::move(image), std::vector<std::uint8_t>(500, 1)), "", {}, 100});
    EXPECT_EQ(h.bytes(), Bitmap::strideFor(10) * 10 + 100 + 500);
}

// Keeping a picture larger than the whole bound would break it: that step goes too, and the
// history is empty rather than over its bound.
TEST(EditHistory, APictureLargerThanTheBoundIsNotKept)
{
    EditHistory h;
    h.setLimits(20, 1000);
    h.record("small", state(1, 10));
    h.record("huge", state(9, 1000));
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_EQ(h.bytes(), 0);

    // Going back from a huge picture loses only the way forward to it.
    h.record("small", state(2, 10));
    h.stepBack(state(9, 1000));
    EXPECT_EQ(h.redoStep(), nullptr);
    EXPECT_EQ(h.undoStep(), nullptr);

    // Going back from small pictures over the bound drops the oldest step first.
    h.setLimits(20, 3 * Bitmap::strideFor(100));
    for (int i = 0; i < 3; ++i)
        h.record("edit", state(i, 100));
    h.stepBack(state(3, 200));
    EXPECT_EQ(h.undoCount(), 1u);
    EXPECT_EQ(tagOf(h.undoStep()), 1);
    EXPECT_EQ(tagOf(h.redoStep()), 3);
}
