#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "imaging/enlarge.h"
#include "imaging/reduce.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::pixelAt;

TEST(EnlargeNearest, WholeFactorsMakeBlocksThatAveragesGiveBack)
{
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{1, 1}, {5, 3}, {7, 1}, {1, 9}, {13, 11}}) {
        const Bitmap src = test::noisePicture(w, h, 3);
        for (int k : {1, 2, 3}) {
            const Bitmap big = enlargeNearest(src, w * k, h * k);
            ASSERT_EQ(big.width(), w * k);
            for (int y = 0; y < h * k; ++y)
                for (int x = 0; x < w * k; ++x)
                    ASSERT_EQ(pixelAt(big, x, y), pixelAt(src, x / k, y / k)) << w << "x" << h << " k" << k;
            EXPECT_EQ(reduceArea(big, w, h), src);
        }
    }
}

TEST(EnlargeNearest, FractionalFactorsKeepEverySourcePixelInOrderWithEvenBlocks)
{
    // 1.25 and 1.5 as on fractional screens, and sizes that are not a multiple of anything.
    const Bitmap src = test::noisePicture(8, 6, 5);
    for (const auto& [dw, dh] : std::vector<std::pair<int, int>>{{10, 9}, {12, 7}, {8, 15}, {11, 6}}) {
        const Bitmap big = enlargeNearest(src, dw, dh);
        ASSERT_EQ(big.width(), dw);
        ASSERT_EQ(big.height(), dh);
        // Along the top row, runs of one source pixel: all present, left to right, their widths
        // differing by at most one.
        std::vector<int> runs(8, 0);
        int source = 0;
        for (int x = 0; x < dw; ++x) {
            while (source < 8 && pixelAt(big, x, 0) != pixelAt(src, source, 0))
                ++source;
            ASSERT_LT(source, 8) << "pixel " << x << " of " << dw << " is no source pixel in order";
            ++runs[std::size_t(source)];
        }
        const auto [shortest, longest] = std::minmax_element(runs.begin(), runs.end());
        EXPECT_GE(*shortest, 1);
        EXPECT_LE(*longest - *shortest, 1);
        // Each column repeats one source column all the way down, rows likewise.
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                ASSERT_EQ(pixelAt(big, x, y), pixelAt(src, (2 * x + 1) * 8 / (2 * dw), (2 * y + 1) * 6 / (2 * dh)));
    }
}

TEST(EnlargeNearest, RefusesShrinkingAndEmptyPictures)
{
    const Bitmap src = test::noisePicture(4, 4, 1);
    EXPECT_TRUE(enlargeNearest(src, 3, 4).empty());
    EXPECT_TRUE(enlargeNearest(src, 4, 3).empty());
    EXPECT_TRUE(enlargeNearest(Bitmap(), 4, 4).empty());
    EXPECT_EQ(enlargeNearest(src, 4, 4), src);
}

}  // namespace
}  // namespace trimlet
