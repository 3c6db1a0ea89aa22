// Turns and flips as the window runs them: properties of the results and the progress.

#include <gtest/gtest.h>

#include "document/picture_transform.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() && test::maxChannelDifference(a, b) == 0;
}

Bitmap run(const Bitmap& b, Transform mode, std::vector<int>* positions = nullptr)
{
    return transformPicture(b, mode, [positions](int p) {
        if (positions)
            positions->push_back(p);
    });
}

}  // namespace

TEST(PictureTransform, TurnsAndFlipsUndoThemselves)
{
    const Bitmap p = test::photoLike(37, 23, 5);
    EXPECT_TRUE(same(run(run(p, Transform::TurnRight), Transform::TurnLeft), p));
    EXPECT_TRUE(same(run(run(p, Transform::FlipVertical), Transform::FlipVertical), p));
    EXPECT_TRUE(same(run(run(p, Transform::FlipHorizontal), Transform::FlipHorizontal), p));
    EXPECT_TRUE(same(run(run(p, Transform::HalfTurn), Transform::HalfTurn), p));
    Bitmap r = p;
    for (int i = 0; i < 4; ++i)
        r = run(r, Transform::TurnRight);
    EXPECT_TRUE(same(r, p));
    // A half turn is both flips, and two right turns.
    EXPECT_TRUE(same(run(p, Transform::HalfTurn), run(run(p, Transform::FlipVertical), Transform::FlipHorizontal)));
    EXPECT_TRUE(same(run(p, Transform::HalfTurn), run(run(p, Transform::TurnRight), Transform::TurnRight)));
    const Bitmap right = run(p, Transform::TurnRight);
    EXPECT_EQ(right.width(), 23);
    EXPECT_EQ(right.height(), 37);
    // Right is clockwise: the top-left pixel goes to the top-right corner.
    EXPECT_EQ(test::pixelAt(right, 22, 0), test::pixelAt(p, 0, 0));
    EXPECT_EQ(test::pixelAt(run(p, Transform::FlipVertical), 0, 22), test::pixelAt(p, 0, 0));
    EXPECT_EQ(test::pixelAt(run(p, Transform::FlipHorizontal), 36, 0), test::pixelAt(p, 0, 0));
}

TEST(PictureTransform, ProgressRisesWithinTheBar)
{
    const Bitmap p = test::photoLike(64, 300, 2);
    for (Transform mode : {Transform::TurnRight, Transform::TurnLeft, Transform::FlipVertical,
                           Transform::FlipHorizontal, Transform::HalfTurn}) {
        std::vector<int> positions;
        run(p, mode, &positions);
        ASSERT_FALSE(positions.empty());
        for (std::size_t i = 0; i < positions.size(); ++i) {
            EXPECT_GE(positions[i], 0);
            EXPECT_LE(positions[i], 100);
            if (i > 0) {
                EXPECT_GE(positions[i], positions[i - 1]);
            }
        }
    }
}

TEST(PictureTransform, AFilesPictureKeepsItsOriginThroughTurnsAndFlips)
{
    // Stored as orientation 6 says: every placement composes on it, and four turns give it back.
    const JpegOrigin origin{"/photos/a.jpg", {1, 2, 3, 4}, 6};
    Picture p(test::photoLike(37, 23, 5), origin);
    p = transformedPicture(p, Transform::FlipHorizontal, [](int) {});
    EXPECT_EQ(p.jpegOrigin().orientation, 5);  // turned right, then mirrored: the transpose
    EXPECT_EQ(p.jpegOrigin().path, origin.path);
    for (int i = 0; i < 4; ++i)
        p = transformedPicture(p, Transform::TurnLeft, [](int) {});
    p = transformedPicture(p, Transform::FlipHorizontal, [](int) {});
    EXPECT_EQ(p.jpegOrigin().orientation, 6);
    EXPECT_TRUE(
        transformedPicture(Picture(test::photoLike(8, 8)), Transform::HalfTurn, [](int) {}).jpegOrigin().path.empty());
}
