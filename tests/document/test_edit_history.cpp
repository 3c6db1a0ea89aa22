// The undo history's memory bound, which the window tests reach only with huge pictures, and
// the turns it keeps as operations. Order, the redo side and the step bound are tested through
// the window.

#include <gtest/gtest.h>

#include <random>

#include "document/edit_history.h"
#include "tests/support/test_support.h"

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

constexpr Transform kTransforms[] = {Transform::TurnRight, Transform::TurnLeft, Transform::HalfTurn,
                                     Transform::FlipVertical, Transform::FlipHorizontal};

// A photo as its file gives it, unedited: a JPEG keeps the file's bytes.
EditState loadedPhoto(int w, int h, const std::string& document, PictureKind kind = PictureKind::Jpeg)
{
    DecodedImage image{.bitmap = test::photoLike(w, h, 3)};
    Picture picture(kind, std::move(image), std::vector<std::uint8_t>(300, 7));
    return {std::move(picture), document, {w / 2, h / 2}, 50, false};
}

// state turned or flipped as the window does it: a new bitmap picture, edited.
EditState transformed(EditState state, Transform mode)
{
    state.picture = Picture(transformPicture(state.picture.bitmap(), mode, [](int) {}));
    state.edited = true;
    return state;
}

bool sameState(const EditState& a, const EditState& b)
{
    const Picture &p = a.picture, &q = b.picture;
    return p.bitmap() == q.bitmap() && p.kind() == q.kind() && p.mask() == q.mask() && p.fileBytes() == q.fileBytes() &&
           a.document == b.document && a.frameCentre == b.frameCentre && a.rate == b.rate && a.edited == b.edited;
}

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

// Turns and flips mixed with picture edits, loads over edited pictures and a file's picture
// brought back from a slot: every state along the way comes back exactly, kind, mask and file
// bytes included, all the way back and forward again.
TEST(EditHistory, TurnsKeptAsOperationsGiveBackEveryStateExactly)
{
    DecodedImage parked{.bitmap = test::photoLike(9, 14, 5), .mask = std::vector<std::uint8_t>(9 * 14, 0)};
    parked.mask[4] = 1;
    const Picture slot(PictureKind::Gif, std::move(parked), std::vector<std::uint8_t>(40, 2));
    std::mt19937 random(29);
    EditHistory h;
    h.setLimits(200, EditHistory::kMaxBytes);
    std::vector<EditState> states{loadedPhoto(23, 17, "a.jpg")};
    for (int i = 0; i < 120; ++i) {
        const EditState& before = states.back();
        EditState next;
        const auto kind = before.edited ? random() % 9 : random() % 5;  // a file's picture is turned first
        if (kind < 5) {
            next = transformed(before, kTransforms[kind]);
            h.record("turn", before, kTransforms[kind]);
        } else if (kind == 8) {
            next = loadedPhoto(11 + i % 7, 8, "b.png", PictureKind::Png);
            h.recordLoad("load", before);
        } else {
            next = before;
            next.picture = kind == 5 ? slot : Picture(test::photoLike(1 + random() % 20, 1 + random() % 20, i));
            next.edited = true;
            h.record("edit", before);
        }
        next.frameCentre = {i, -i};
        next.rate = 1 + i;
        states.push_back(std::move(next));
    }
    ASSERT_EQ(h.undoCount(), states.size() - 1);

    EditState current = states.back();
    for (std::size_t i = states.size() - 1; i-- > 0;) {
        EditState back = h.undoState(current);
        ASSERT_TRUE(sameState(back, states[i])) << "undo to state " << i;
        h.stepBack(std::move(current));
        current = std::move(back);
    }
    EXPECT_EQ(h.undoStep(), nullptr);
    EXPECT_TRUE(h.undoState(current).picture.isEmpty());
    for (std::size_t i = 1; i < states.size(); ++i) {
        EditState forward = h.redoState(current);
        ASSERT_TRUE(sameState(forward, states[i])) << "redo to state " << i;
        h.stepForward(std::move(current));
        current = std::move(forward);
    }
    EXPECT_EQ(h.redoStep(), nullptr);
}

// Thirty turns and flips of a large photo hold the photo as loaded and nothing more, going back
// and forward too.
TEST(EditHistory, TurnsOfALargePhotoHoldOnePicture)
{
    const EditState photo = loadedPhoto(2400, 1600, "big.jpg");
    const std::int64_t one = std::int64_t(photo.picture.bitmap().byteCount() + photo.picture.fileBytes().size());
    EditHistory h;
    EditState current = photo;
    for (int i = 0; i < 30; ++i) {
        EditState next = transformed(current, kTransforms[i % 5]);
        h.record("turn", std::move(current), kTransforms[i % 5]);
        current = std::move(next);
        ASSERT_EQ(h.bytes(), i < int(EditHistory::kMaxSteps) ? one : 0) << i;
    }
    while (h.undoStep()) {
        EditState back = h.undoState(current);
        h.stepBack(std::move(current));
        current = std::move(back);
        ASSERT_EQ(h.bytes(), 0);
    }
    h.stepForward(current);
    EXPECT_LE(h.bytes(), one);
}
