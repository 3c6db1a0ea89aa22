#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "imaging/quarter_turn.h"
#include "imaging/region.h"
#include "imaging/rotate.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

Bitmap noise(int width, int height) { return test::noisePicture(width, height, std::uint32_t(width * 31 + height)); }

// Flat 5 × 5 blocks: where all four neighbours are equal the blend lands within a rounding error
// of a whole number, so any change in how it is rounded shows after truncation.
Bitmap blocks(int width, int height)
{
    const Bitmap colours = noise(width / 5 + 1, height / 5 + 1);
    Bitmap out(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::copy_n(colours.row(y / 5) + x / 5 * 3, 3, out.row(y) + x * 3);
    return out;
}

constexpr Rgb kBackground{0x12, 0x34, 0x56};
constexpr std::uint32_t kBackgroundRgb = 0x123456;

// Written from the formula, pixel by pixel: angle negated in extended precision, cos and sin kept
// as doubles, inverse mapping about pixel (W ÷ 2, H ÷ 2), floor, the last row and column
// repeated, each channel blended in double, truncated and clamped.
Bitmap referenceRotation(const Bitmap& src, int degrees, Rgb background)
{
    const int w = src.width(), h = src.height();
    const long double t = -static_cast<long double>(degrees) * 3.14159265358979323846L / 180;
    const double c = double(cosl(t)), s = double(sinl(t));
    const int hw = w / 2, hh = h / 2;
    Bitmap out(w, h);
    for (int y = -hh; y <= h - 1 - hh; ++y)
        for (int x = -hw; x <= w - 1 - hw; ++x) {
            const double xc = x * c, ys = y * s, xs = x * s, yc = y * c;
            const double u = xc - ys, v = xs + yc;
            const int i = int(std::floor(u)), j = int(std::floor(v));
            const double fx = u - i, fy = v - j;
            std::uint8_t* o = out.row(y + hh) + (x + hw) * 3;
            const int px = i + hw, py = j + hh;
            if (px < 0 || px > w - 1 || py < 0 || py > h - 1) {
                o[0] = background.blue;
                o[1] = background.green;
                o[2] = background.red;
                continue;
            }
            const int px1 = std::min(px + 1, w - 1), py1 = std::min(py + 1, h - 1);
            for (int k = 0; k < 3; ++k) {
                const double p00 = src.row(py)[px * 3 + k], p10 = src.row(py)[px1 * 3 + k];
                const double p01 = src.row(py1)[px * 3 + k], p11 = src.row(py1)[px1 * 3 + k];
                const double value = (1 - fy) * ((1 - fx) * p00 + fx * p10) + fy * ((1 - fx) * p01 + fx * p11);
                o[k] = std::uint8_t(std::clamp(int(value), 0, 255));
            }
        }
    return out;
}

std::string describe(int w, int h, int degrees)
{
    return std::to_string(w) + "x" + std::to_string(h) + " at " + std::to_string(degrees);
}

TEST(RotateBilinear, MatchesTheFormulaExactly)
{
    // Odd and even sides, single rows and columns, more than one tile across, and a height
    // whose centre row is no multiple of 100 from the top.
    const std::vector<std::pair<int, int>> sizes = {{1, 1},   {2, 2},   {1, 9},   {9, 1},     {37, 23},
                                                    {40, 30}, {41, 30}, {40, 31}, {1100, 37}, {63, 251}};
    for (const auto& [w, h] : sizes)
        for (const Bitmap& src : {noise(w, h), blocks(w, h)})
            for (const int degrees : {1, 30, 90, -45, 359, 180, -90, -359}) {
                SCOPED_TRACE(describe(w, h, degrees));
                const Bitmap expected = referenceRotation(src, degrees, kBackground);
                for (const int threads : {1, 2, 3}) {
                    const auto got = rotateBilinear(src, degrees, kBackground, {}, threads);
                    ASSERT_TRUE(got);
                    EXPECT_EQ(test::maxChannelDifference(*got, expected), 0) << threads << " threads";
                }
            }
}

// The region's rotation, fed only the source box the rotation names (so a box too small reads
// past the part and shows, and the part's own edges must not count as the picture's), against the
// whole rotation's rectangle.
TEST(RotateBilinearRegion, EqualsTheWholeRotationsRectangleFromTheSourceBoxAlone)
{
    int emptyBoxes = 0;
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{37, 23}, {40, 30}, {1100, 41}, {1, 9}})
        for (const int degrees : {1, 30, 45, 89, 90, 135, 179, 180, 270, 359, -30}) {
            const Bitmap src = noise(w, h);
            const Bitmap whole = *rotateBilinear(src, degrees, kBackground);
            // Whole, corners and edges, the middle, a single pixel, and (at 45°) corners whose
            // source lies wholly outside the picture.
            const std::vector<IntRect> rects = {{0, 0, w, h},         {0, 0, 5, 4},     {w - 5, h - 4, 5, 4},
                                                {0, h - 4, w, 4},     {w - 1, 0, 1, h}, {w / 3, h / 3, w / 2, h / 2},
                                                {w / 2, h / 2, 1, 1}, {w - 3, 0, 3, 2}, {0, 0, 1, 1}};
            for (IntRect rect : rects) {
                rect.w = std::min(rect.w, w - std::max(rect.x, 0));
                rect.h = std::min(rect.h, h - std::max(rect.y, 0));
                rect.x = std::clamp(rect.x, 0, w - 1);
                rect.y = std::clamp(rect.y, 0, h - 1);
                SCOPED_TRACE(describe(w, h, degrees) + ", " + std::to_string(rect.x) + "," + std::to_string(rect.y) +
                             " " + std::to_string(rect.w) + "x" + std::to_string(rect.h));
                const IntRect box = rotationSourceBox(w, h, degrees, rect);
                emptyBoxes += box.w == 0;
                const Bitmap part = copyRegion(src, box.x, box.y, box.w, box.h);
                const Bitmap expected = copyRegion(whole, rect.x, rect.y, rect.w, rect.h);
                for (const int threads : {1, 2}) {
                    EXPECT_EQ(rotateBilinearRegion(part, {box.x, box.y}, w, h, degrees, kBackground, rect, threads),
                              expected)
                        << threads << " threads";
                }
                if (box.w > 1) {  // a part short of its box is refused, not read past
                    EXPECT_TRUE(rotateBilinearRegion(copyRegion(src, box.x + 1, box.y, box.w - 1, box.h),
                                                     {box.x + 1, box.y}, w, h, degrees, kBackground, rect)
                                    .empty());
                }
            }
        }
    EXPECT_GT(emptyBoxes, 0);
}

TEST(RotateBilinear, NinetyTurnsClockwiseAboutTheCentrePixelAndFillsTheStrips)
{
    const Bitmap square = noise(31, 31);
    EXPECT_EQ(*rotateBilinear(square, 90, kBackground), turnRight(square));
    EXPECT_EQ(*rotateBilinear(square, -90, kBackground), turnLeft(square));
    EXPECT_EQ(*rotateBilinear(square, 0, kBackground), square);
    EXPECT_TRUE(rotateBilinear(Bitmap{}, 30, kBackground)->empty());

    // 40 × 24: the source row for result column X is hw + hh − X, inside for X in 9..32 only.
    const int w = 40, h = 24, hw = 20, hh = 12;
    const Bitmap wide = noise(w, h);
    const Bitmap turned = *rotateBilinear(wide, 90, Rgb::fromColorRef(0x563412));
    int wrong = 0, strip = 0;
    for (int Y = 0; Y < h; ++Y)
        for (int X = 0; X < w; ++X) {
            const int sx = Y - hh + hw, sy = hw + hh - X;
            const bool inside = sy >= 0 && sy < h;
            strip += !inside;
            wrong += test::pixelAt(turned, X, Y) != (inside ? test::pixelAt(wide, sx, sy) : kBackgroundRgb);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(strip, (9 + 7) * h);
}

TEST(RotateBilinear, AsksEveryHundredRowsFromTheCentreAndStops)
{
    const Bitmap src = noise(30, 250);  // centre row 125: rows 25, 125, 225
    for (const int threads : {1, 2}) {
        std::vector<std::pair<int, int>> asked;
        const auto result = rotateBilinear(
            src, 30, kBackground,
            [&](int row, int percent) {
                asked.emplace_back(row, percent);
                return false;
            },
            threads);
        EXPECT_TRUE(result);
        EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{25, 50}, {125, 90}, {225, 100}}));

        asked.clear();
        const auto stopped = rotateBilinear(
            src, 30, kBackground,
            [&](int row, int percent) {
                asked.emplace_back(row, percent);
                return row == 125;
            },
            threads);
        EXPECT_FALSE(stopped);
        EXPECT_EQ(asked.size(), 2u);
        // The window's handler may throw; the helper threads must not be left running.
        EXPECT_THROW(rotateBilinear(
                         src, 30, kBackground, [](int, int) -> bool { throw std::runtime_error("x"); }, threads),
                     std::runtime_error);
    }
    std::vector<int> rows;
    rotateBilinear(noise(5, 400), 1, kBackground, [&](int row, int) {
        rows.push_back(row);
        return false;
    });
    EXPECT_EQ(rows, (std::vector<int>{0, 100, 200, 300}));
}

TEST(RotationPreview, CornersRoundHalvesToEven)
{
    EXPECT_EQ(previewCorners(7, 5, 0), (Parallelogram{{0, 0}, {7, 0}, {0, 5}}));
    EXPECT_EQ(previewCorners(7, 5, 180), (Parallelogram{{7, 5}, {0, 5}, {7, 0}}));
    // 3 × 4 at 90°: the corners land on 3.5, 0.5 and −0.5, which go to 4, 0 and 0.
    EXPECT_EQ(previewCorners(3, 4, 90), (Parallelogram{{4, 0}, {4, 4}, {0, 0}}));
    EXPECT_EQ(previewCorners(3, 4, -90), (Parallelogram{{0, 4}, {0, 0}, {4, 4}}));
}

TEST(RotationPreview, QuarterAndHalfTurnsAreExactCopies)
{
    const Bitmap square = noise(33, 33), even = noise(20, 20), wide = noise(45, 18);
    EXPECT_EQ(rotationPreview(wide, 0, kBackground), wide);
    EXPECT_EQ(rotationPreview(wide, 180, kBackground), halfTurn(wide));
    EXPECT_EQ(rotationPreview(wide, -180, kBackground), halfTurn(wide));
    EXPECT_EQ(rotationPreview(square, 90, kBackground), turnRight(square));
    EXPECT_EQ(rotationPreview(even, 90, kBackground), turnRight(even));
    EXPECT_EQ(rotationPreview(square, -90, kBackground), turnLeft(square));
    EXPECT_EQ(rotationPreview(square, 270, kBackground), turnLeft(square));

    const Bitmap tilted = rotationPreview(wide, 45, kBackground);
    EXPECT_EQ(test::pixelAt(tilted, 0, 0), kBackgroundRgb);
    EXPECT_EQ(test::pixelAt(tilted, 44, 17), kBackgroundRgb);
    EXPECT_EQ(test::pixelAt(tilted, 22, 9), test::pixelAt(wide, 22, 9));
}

// The definition, one pixel at a time: the centre of result pixel (X, Y) is P0 + s·e1 + t·e2;
// it is covered for s, t in [0, 1) and takes the source pixel (⌊s·W⌋, ⌊t·H⌋).
Bitmap referenceCopy(const Bitmap& src, const Parallelogram& p, Bitmap dst)
{
    const std::int64_t e1x = p.topRight.x - p.topLeft.x, e1y = p.topRight.y - p.topLeft.y;
    const std::int64_t e2x = p.bottomLeft.x - p.topLeft.x, e2y = p.bottomLeft.y - p.topLeft.y;
    const std::int64_t det = e1x * e2y - e1y * e2x;
    auto floorDiv = [](std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); };
    for (int Y = 0; Y < dst.height(); ++Y)
        for (int X = 0; X < dst.width(); ++X) {
            const std::int64_t dx = 2 * X + 1 - 2 * p.topLeft.x, dy = 2 * Y + 1 - 2 * p.topLeft.y;
            std::int64_t s = dx * e2y - dy * e2x, t = e1x * dy - e1y * dx, d = 2 * det;
            if (d < 0)
                s = -s, t = -t, d = -d;
            if (s < 0 || s >= d || t < 0 || t >= d)
                continue;
            const std::int64_t col = floorDiv(s * src.width(), d), row = floorDiv(t * src.height(), d);
            std::copy_n(src.row(int(row)) + col * 3, 3, dst.row(Y) + X * 3);
        }
    return dst;
}

TEST(RotationPreview, CopiesOntoAnyParallelogramAsDefined)
{
    const Bitmap src = noise(13, 7);
    Bitmap canvas(40, 30);
    canvas.fill(1, 2, 3);
    for (const Parallelogram& p : std::vector<Parallelogram>{
             {{5, 3}, {30, 9}, {1, 20}},      // inside, slanted
             {{-7, 25}, {33, -4}, {10, 41}},  // reaching out on every side
             {{30, 2}, {4, 6}, {36, 27}},     // mirrored
             {{3, 3}, {9, 3}, {3, 4}},        // shrunk below the source's size
             {{0, 0}, {39, 0}, {0, 29}},
         }) {
        Bitmap got = canvas;
        copyOntoParallelogram(src, p, got);
        EXPECT_EQ(got, referenceCopy(src, p, canvas));
    }

    // Nothing to cover leaves the canvas alone; corners at the ends of the int range put the
    // canvas near the middle of the source.
    for (const Parallelogram& p : std::vector<Parallelogram>{{{4, 4}, {4, 4}, {4, 4}}, {{1, 1}, {5, 5}, {9, 9}}}) {
        Bitmap got = canvas;
        copyOntoParallelogram(src, p, got);
        EXPECT_EQ(got, canvas);
    }
    Bitmap huge = canvas;
    copyOntoParallelogram(src, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MIN, INT_MAX}}, huge);
    Bitmap middle(40, 30);
    const std::uint32_t centre = test::pixelAt(src, 6, 3);
    middle.fill(std::uint8_t(centre), std::uint8_t(centre >> 8), std::uint8_t(centre >> 16));
    EXPECT_EQ(huge, middle);
    EXPECT_TRUE(rotationPreview(Bitmap{}, 30, kBackground).empty());
    EXPECT_EQ(rotationPreview(noise(1, 1), 45, kBackground).width(), 1);
}

}  // namespace
}  // namespace trimlet
