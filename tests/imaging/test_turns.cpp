#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/parallel.h"
#include "imaging/flip.h"
#include "imaging/quarter_turn.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

Bitmap noise(int width, int height) { return test::noisePicture(width, height, std::uint32_t(width * 7919 + height)); }

bool paddingIsZero(const Bitmap& b)
{
    for (int y = 0; y < b.height(); ++y)
        for (int k = b.width() * 3; k < b.stride(); ++k)
            if (b.row(y)[k] != 0)
                return false;
    return true;
}

// Sizes with rows that need padding, single rows and columns, a part-filled last band of
// result rows, and blocks that leave odd columns and rows over.
const std::vector<std::pair<int, int>> kSizes = {{1, 1}, {1, 9},   {9, 1},   {2, 3},    {7, 5},
                                                 {5, 8}, {37, 29}, {64, 17}, {613, 21}, {21, 530}};

TEST(QuarterTurn, MovesEveryPixelWhereTheTransformPutsIt)
{
    for (const auto& [w, h] : kSizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Bitmap src = noise(w, h);
        const Bitmap right = turnRight(src), left = turnLeft(src), half = halfTurn(src);
        const Bitmap vertical = flipVertical(src), horizontal = flipHorizontal(src);
        ASSERT_EQ(right.width(), h);
        ASSERT_EQ(right.height(), w);
        ASSERT_EQ(left.width(), h);
        ASSERT_EQ(left.height(), w);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t p = test::pixelAt(src, x, y);
                wrong += test::pixelAt(right, h - 1 - y, x) != p;
                wrong += test::pixelAt(left, y, w - 1 - x) != p;
                wrong += test::pixelAt(half, w - 1 - x, h - 1 - y) != p;
                wrong += test::pixelAt(vertical, x, h - 1 - y) != p;
                wrong += test::pixelAt(horizontal, w - 1 - x, y) != p;
            }
        EXPECT_EQ(wrong, 0);
        for (const Bitmap* b : {&right, &left, &half, &horizontal})
            EXPECT_TRUE(paddingIsZero(*b));
    }
    EXPECT_TRUE(turnRight(Bitmap{}).empty());
    EXPECT_TRUE(halfTurn(Bitmap{}).empty());
    EXPECT_TRUE(flipVertical(Bitmap{}).empty());
    EXPECT_TRUE(flipHorizontal(Bitmap{}).empty());
}

TEST(QuarterTurn, TurnsAndFlipsUndoThemselves)
{
    for (const auto& [w, h] : kSizes) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Bitmap src = noise(w, h);
        EXPECT_EQ(turnRight(turnLeft(src)), src);
        EXPECT_EQ(turnLeft(turnRight(src)), src);
        EXPECT_EQ(halfTurn(halfTurn(src)), src);
        EXPECT_EQ(flipVertical(flipVertical(src)), src);
        EXPECT_EQ(flipHorizontal(flipHorizontal(src)), src);
        EXPECT_EQ(halfTurn(src), flipHorizontal(flipVertical(src)));
        EXPECT_EQ(halfTurn(src), turnRight(turnRight(src)));
    }
}

TEST(QuarterTurn, TellsProgressEveryHundredResultRows)
{
    std::vector<std::pair<int, int>> told;
    const auto record = [&](int done, int rows) { told.emplace_back(done, rows); };

    turnRight(noise(250, 3), record);
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 250}, {100, 250}, {200, 250}}));
    told.clear();
    turnLeft(noise(1201, 40), record);
    ASSERT_EQ(told.size(), 13u);
    for (std::size_t k = 0; k < told.size(); ++k)
        EXPECT_EQ(told[k], std::make_pair(int(k) * 100, 1201));
    told.clear();
    turnLeft(noise(1, 40), record);
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 1}}));

    EXPECT_EQ(turnProgressPosition(0, 1), 30);
    EXPECT_EQ(turnProgressPosition(0, 250), 30);
    EXPECT_EQ(turnProgressPosition(100, 201), 65);
    EXPECT_EQ(turnProgressPosition(200, 201), 100);
    EXPECT_EQ(turnProgressPosition(100, 250), 58);  // 7000 ÷ 249, truncated
}

// A picture large enough for each band to be shared out: the same pixels and the same
// progress steps, in order, as on one thread.
TEST(QuarterTurn, SharedOutBandsGiveTheSamePixelsAndSteps)
{
    const Bitmap src = noise(1151, 2003);
    std::vector<std::pair<int, int>> told[2];
    Bitmap turned[2][2];
    for (const int threads : {1, 2}) {
        setThreadLimit(threads);
        const auto record = [&](int done, int rows) { told[threads - 1].emplace_back(done, rows); };
        turned[threads - 1][0] = turnRight(src, record);
        turned[threads - 1][1] = turnLeft(src);
    }
    setThreadLimit(0);
    EXPECT_EQ(turned[1][0], turned[0][0]);
    EXPECT_EQ(turned[1][1], turned[0][1]);
    EXPECT_EQ(turnLeft(turned[1][0]), src);
    EXPECT_EQ(told[1], told[0]);
    EXPECT_EQ(told[1].size(), 12u);
}

}  // namespace
}  // namespace trimlet
