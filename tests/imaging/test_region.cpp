#include <gtest/gtest.h>

#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

TEST(CopyRegion, CopiesExactlyAndClipsToTheSource)
{
    const Bitmap src = test::photoLike(7, 5);
    const Bitmap inner = copyRegion(src, 2, 1, 3, 3);
    ASSERT_EQ(inner.width(), 3);
    ASSERT_EQ(inner.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(test::pixelAt(inner, x, y), test::pixelAt(src, x + 2, y + 1));

    EXPECT_EQ(copyRegion(src, 0, 0, 7, 5), src);
    EXPECT_EQ(copyRegion(src, -3, -3, 100, 100), src);
    const Bitmap corner = copyRegion(src, 6, 4, 5, 5);
    EXPECT_EQ(corner.width(), 1);
    EXPECT_EQ(corner.height(), 1);
    EXPECT_TRUE(copyRegion(src, 7, 0, 1, 1).empty());
    EXPECT_TRUE(copyRegion(src, 0, 0, 0, 5).empty());
    EXPECT_TRUE(copyRegion(src, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX).empty());
}

}  // namespace
}  // namespace trimlet
