#include <gtest/gtest.h>

#include <climits>

#include "imaging/join.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::pixelAt;

// A 792 × 216 work area below a 100-pixel command band.
constexpr IntRect kWork{0, 100, 792, 216};

TEST(JoinSide, TrianglesBetweenTheDiagonals)
{
    EXPECT_EQ(joinSide({396, 110}, kWork), JoinSide::Top);
    EXPECT_EQ(joinSide({396, 310}, kWork), JoinSide::Bottom);
    EXPECT_EQ(joinSide({5, 208}, kWork), JoinSide::Left);
    EXPECT_EQ(joinSide({787, 208}, kWork), JoinSide::Right);
    // The exact centre of an even-sized work area lies on both diagonals: bottom.
    EXPECT_EQ(joinSide({396, 208}, kWork), JoinSide::Bottom);
    // Above the work area (on the page itself) is always top, below it always bottom.
    for (int x : {0, 1, 396, 791}) {
        EXPECT_EQ(joinSide({x, 99}, kWork), JoinSide::Top) << x;
        EXPECT_EQ(joinSide({x, 40}, kWork), JoinSide::Top) << x;
        EXPECT_EQ(joinSide({x, 316}, kWork), JoinSide::Bottom) << x;
    }
    // Products that pass 32 bits still pick the right triangle.
    const IntRect huge{0, 0, 100000, 100000};
    EXPECT_EQ(joinSide({99999, 50000}, huge), JoinSide::Right);
    EXPECT_EQ(joinSide({1, 50000}, huge), JoinSide::Left);
    // A work area without area divides by nothing.
    EXPECT_EQ(joinSide({3, 5}, IntRect{0, 10, 0, 0}), JoinSide::Top);
    EXPECT_EQ(joinSide({3, 15}, IntRect{0, 10, 0, 0}), JoinSide::Bottom);
}

// Editing 100 × 50, added 60 × 80.
JoinLayout layout100x50(JoinSide side, AlignH h, AlignV v) { return joinLayout(100, 50, 60, 80, side, h, v).value(); }

TEST(JoinLayout, AddedOnTopUnderEveryVerticalAlignment)
{
    const auto at = [](AlignV v) { return layout100x50(JoinSide::Top, AlignH::Trim, v); };
    EXPECT_EQ(at(AlignV::Trim), (JoinLayout{60, 130, {-20, 80}, {0, 0}, true}));
    EXPECT_EQ(at(AlignV::Left), (JoinLayout{100, 130, {0, 80}, {0, 0}, true}));
    EXPECT_EQ(at(AlignV::Centre), (JoinLayout{100, 130, {0, 80}, {20, 0}, true}));
    EXPECT_EQ(at(AlignV::None), at(AlignV::Centre));
    EXPECT_EQ(at(AlignV::Right), (JoinLayout{100, 130, {0, 80}, {40, 0}, true}));
    // Below: the editing picture stays at the top and is drawn first.
    EXPECT_EQ(layout100x50(JoinSide::Bottom, AlignH::Top, AlignV::Left),
              (JoinLayout{100, 130, {0, 0}, {0, 50}, false}));
}

TEST(JoinLayout, AddedBesideUnderEveryHorizontalAlignment)
{
    EXPECT_EQ(layout100x50(JoinSide::Left, AlignH::Bottom, AlignV::Trim),
              (JoinLayout{160, 80, {60, 30}, {0, 0}, true}));
    EXPECT_EQ(layout100x50(JoinSide::Right, AlignH::Top, AlignV::Left), (JoinLayout{160, 80, {0, 0}, {100, 0}, false}));
    EXPECT_EQ(layout100x50(JoinSide::Right, AlignH::Centre, AlignV::Left),
              (JoinLayout{160, 80, {0, 15}, {100, 0}, false}));
    EXPECT_EQ(layout100x50(JoinSide::Right, AlignH::None, AlignV::Left),
              layout100x50(JoinSide::Right, AlignH::Centre, AlignV::Left));
    EXPECT_EQ(layout100x50(JoinSide::Right, AlignH::Trim, AlignV::Left),
              (JoinLayout{160, 50, {0, 0}, {100, -15}, false}));
}

TEST(JoinLayout, OddDifferenceGoesToTheFarEnd)
{
    // Widths 15 and 10: trimming takes 2 columns on the left and 3 on the right;
    // centring leaves 2 on the left and 3 on the right.
    for (const auto& [sw, dw] : {std::pair{15, 10}, std::pair{10, 15}}) {
        const JoinLayout trim = joinLayout(sw, 4, dw, 4, JoinSide::Bottom, AlignH::None, AlignV::Trim).value();
        const JoinLayout centre = joinLayout(sw, 4, dw, 4, JoinSide::Bottom, AlignH::None, AlignV::Centre).value();
        const int trimmedWide = sw > dw ? trim.editing.x : trim.added.x;
        const int centredNarrow = sw > dw ? centre.added.x : centre.editing.x;
        EXPECT_EQ(trim.width, 10);
        EXPECT_EQ(trimmedWide, -2);
        EXPECT_EQ(centre.width, 15);
        EXPECT_EQ(centredNarrow, 2);
    }
    // The same across a horizontal join, in rows.
    EXPECT_EQ(joinLayout(3, 15, 3, 10, JoinSide::Left, AlignH::Trim, AlignV::None).value().editing.y, -2);
    EXPECT_EQ(joinLayout(3, 15, 3, 10, JoinSide::Left, AlignH::Centre, AlignV::None).value().added.y, 2);
}

TEST(JoinLayout, RefusesCanvasesPastTheCap)
{
    EXPECT_FALSE(joinLayout(30000, 30000, 30000, 30000, JoinSide::Bottom, AlignH::None, AlignV::None));
    // Sizes whose sum passes INT_MAX must not wrap into a small canvas.
    EXPECT_FALSE(joinLayout(1, INT_MAX, 1, INT_MAX, JoinSide::Top, AlignH::None, AlignV::None));
    EXPECT_FALSE(joinLayout(INT_MAX, 1, 2, 1, JoinSide::Right, AlignH::None, AlignV::None));
    // Trimming keeps the smaller size, so a wide strip joins onto a narrow picture.
    EXPECT_TRUE(joinLayout(2000000000, 1, 1, 1, JoinSide::Top, AlignH::None, AlignV::Trim));
}

// Columns numbered by their red value, so trimmed columns show which ones survived.
Bitmap columns(int w, int h, std::uint32_t base)
{
    std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(h));
    for (auto& row : rows)
        for (int x = 0; x < w; ++x)
            row.push_back(base + (std::uint32_t(x) << 16));
    return test::bitmapFromRows(rows);
}

TEST(JoinPictures, DrawsBothAtNaturalSizeOnTheBackground)
{
    const Rgb bg{0x12, 0x34, 0x56};
    const Picture s(columns(15, 2, 0x0000AA)), d(columns(10, 3, 0x0000BB));

    const Bitmap centre = joinPictures(s, d, JoinSide::Top, AlignH::None, AlignV::Centre, bg);
    ASSERT_EQ(centre.width(), 15);
    ASSERT_EQ(centre.height(), 5);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(pixelAt(centre, 1, y), 0x123456u);
        EXPECT_EQ(pixelAt(centre, 2, y), 0x0000BBu);
        EXPECT_EQ(pixelAt(centre, 11, y), 0x0900BBu);
        EXPECT_EQ(pixelAt(centre, 12, y), 0x123456u);
    }
    EXPECT_EQ(pixelAt(centre, 0, 3), 0x0000AAu);
    EXPECT_EQ(pixelAt(centre, 14, 4), 0x0E00AAu);

    const Bitmap trim = joinPictures(s, d, JoinSide::Bottom, AlignH::None, AlignV::Trim, bg);
    ASSERT_EQ(trim.width(), 10);
    ASSERT_EQ(trim.height(), 5);
    EXPECT_EQ(pixelAt(trim, 0, 0), 0x0200AAu);
    EXPECT_EQ(pixelAt(trim, 9, 1), 0x0B00AAu);
    EXPECT_EQ(pixelAt(trim, 0, 2), 0x0000BBu);
    EXPECT_EQ(pixelAt(trim, 9, 4), 0x0900BBu);

    const Bitmap beside = joinPictures(s, d, JoinSide::Right, AlignH::Bottom, AlignV::None, bg);
    ASSERT_EQ(beside.width(), 25);
    ASSERT_EQ(beside.height(), 3);
    EXPECT_EQ(pixelAt(beside, 0, 0), 0x123456u);
    EXPECT_EQ(pixelAt(beside, 14, 0), 0x123456u);
    EXPECT_EQ(pixelAt(beside, 0, 1), 0x0000AAu);
    EXPECT_EQ(pixelAt(beside, 15, 0), 0x0000BBu);
}

TEST(JoinPictures, TransparentPixelsShowTheBackground)
{
    DecodedImage image{columns(2, 2, 0x0000CC), {1, 0, 0, 1}};
    const Picture png(PictureKind::Png, std::move(image));
    const Picture s(columns(2, 2, 0x0000AA));
    const Rgb bg{0xFE, 0xDC, 0xBA};

    const Bitmap joined = joinPictures(s, png, JoinSide::Left, AlignH::Top, AlignV::None, bg);
    ASSERT_EQ(joined.width(), 4);
    EXPECT_EQ(pixelAt(joined, 0, 0), 0xFEDCBAu);
    EXPECT_EQ(pixelAt(joined, 1, 0), 0x0100CCu);
    EXPECT_EQ(pixelAt(joined, 0, 1), 0x0000CCu);
    EXPECT_EQ(pixelAt(joined, 1, 1), 0xFEDCBAu);
    EXPECT_EQ(pixelAt(joined, 2, 1), 0x0000AAu);
    // The editing picture's own transparency counts too.
    const Bitmap other = joinPictures(png, s, JoinSide::Right, AlignH::Top, AlignV::None, bg);
    EXPECT_EQ(pixelAt(other, 0, 0), 0xFEDCBAu);
    EXPECT_EQ(pixelAt(other, 3, 0), 0x0100AAu);
}

TEST(JoinPictures, NoAreaGivesAnEmptyBitmap)
{
    EXPECT_TRUE(joinPictures(Picture(), Picture(), JoinSide::Top, AlignH::None, AlignV::None, {}).empty());
    EXPECT_TRUE(
        joinPictures(Picture(columns(3, 3, 0)), Picture(), JoinSide::Top, AlignH::None, AlignV::Trim, {}).empty());
}

}  // namespace
}  // namespace trimlet
