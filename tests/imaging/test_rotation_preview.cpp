#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "imaging/reduce.h"
#include "imaging/rotation_preview.h"

namespace trimlet {
namespace {

// Sides within one pixel of the picture's proportions: |w × ph − h × pw| below the longer side.
bool keepsProportions(PreviewSize s, int pw, int ph)
{
    const std::int64_t cross = std::int64_t(s.width) * ph - std::int64_t(s.height) * pw;
    return std::llabs(cross) < std::max(pw, ph);
}

TEST(RotationPreviewSize, PicturesThatFitKeepTheirSize)
{
    EXPECT_EQ(rotationPreviewSize(1, 1, 1, 1), (PreviewSize{1, 1}));
    EXPECT_EQ(rotationPreviewSize(800, 263, 800, 263), (PreviewSize{800, 263}));
    EXPECT_EQ(rotationPreviewSize(31, 17, 800, 263), (PreviewSize{31, 17}));
}

TEST(RotationPreviewSize, ShrinksByTheSideThatLimits)
{
    // Width first, truncated.
    EXPECT_EQ(rotationPreviewSize(1000, 150, 500, 263), (PreviewSize{500, 75}));
    EXPECT_EQ(rotationPreviewSize(1001, 150, 500, 263), (PreviewSize{500, 74}));
    // Still too tall after the width: the height decides, from the shrunk sides.
    EXPECT_EQ(rotationPreviewSize(1000, 1000, 800, 263), (PreviewSize{263, 263}));
    EXPECT_EQ(rotationPreviewSize(3000, 2000, 800, 263), (PreviewSize{394, 263}));
    // Too tall only.
    EXPECT_EQ(rotationPreviewSize(100, 1000, 800, 263), (PreviewSize{26, 263}));
}

TEST(RotationPreviewSize, ThinPicturesKeepOnePixel)
{
    EXPECT_EQ(rotationPreviewSize(100000, 3, 800, 263), (PreviewSize{800, 1}));
    EXPECT_EQ(rotationPreviewSize(3, 100000, 800, 263), (PreviewSize{1, 263}));
}

TEST(RotationPreviewSize, AnAreaWithoutRoomStillGivesAPixel)
{
    // A wide picture whose height shrinks to 0 before the height of an area without room is
    // compared with it: no division by that 0.
    EXPECT_EQ(rotationPreviewSize(1000, 1, 10, -5), (PreviewSize{1, 1}));
    EXPECT_EQ(rotationPreviewSize(1000, 1, 0, 0), (PreviewSize{1, 1}));
    EXPECT_EQ(rotationPreviewSize(1000, 1, -3, 7), (PreviewSize{1, 1}));
    EXPECT_EQ(rotationPreviewSize(1000, 1, 10, 0), (PreviewSize{10, 1}));
    EXPECT_EQ(rotationPreviewSize(40, 30, 0, 100), (PreviewSize{1, 1}));
}

TEST(RotationPreviewSize, HugePicturesDoNotOverflow)
{
    EXPECT_EQ(rotationPreviewSize(2000000000, 2000000000, 1920, 1080), (PreviewSize{1080, 1080}));
    EXPECT_EQ(rotationPreviewSize(2000000000, 1000000000, 1920, 1080), (PreviewSize{1920, 960}));
}

TEST(RotationPreviewSize, FitsNeverGrowsNeverVanishesAndKeepsProportions)
{
    std::mt19937 random(20261208);
    auto side = [&](int most) {
        // Mostly ordinary sizes, some extreme ones.
        return std::uniform_int_distribution<int>(1, random() % 8 == 0 ? most : 3000)(random);
    };
    for (int i = 0; i < 20000; ++i) {
        const int pw = side(200000), ph = side(200000);
        const int aw = side(4000), ah = side(4000);
        const PreviewSize s = rotationPreviewSize(pw, ph, aw, ah);
        SCOPED_TRACE(testing::Message() << pw << "x" << ph << " in " << aw << "x" << ah << " -> " << s.width << "x"
                                        << s.height);
        ASSERT_GE(s.width, 1);
        ASSERT_GE(s.height, 1);
        ASSERT_LE(s.width, std::min(pw, aw));
        ASSERT_LE(s.height, std::min(ph, ah));
        ASSERT_TRUE(keepsProportions(s, pw, ph));
        if (pw <= aw && ph <= ah) {
            ASSERT_EQ(s, (PreviewSize{pw, ph}));
        } else {  // shrunk as far as the area asks, no further
            ASSERT_TRUE(s.width == aw || s.height == ah);
        }
    }
}

TEST(RotationPreviewBase, ReducesToTheScreenPixelsButNeverEnlarges)
{
    Bitmap picture(7, 5);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width() * 3; ++x)
            picture.row(y)[x] = std::uint8_t(x * 37 + y * 11);
    EXPECT_EQ(rotationPreviewBase(picture, 3, 2), reduceArea(picture, 3, 2));
    // A side the screen has more pixels for keeps the picture's own.
    EXPECT_EQ(rotationPreviewBase(picture, 14, 2), reduceArea(picture, 7, 2));
    EXPECT_EQ(rotationPreviewBase(picture, 3, 10), reduceArea(picture, 3, 5));
    EXPECT_EQ(rotationPreviewBase(picture, 7, 5), picture);
    EXPECT_EQ(rotationPreviewBase(picture, 14, 10), picture);
}

}  // namespace
}  // namespace trimlet
