#include <gtest/gtest.h>

#include "codecs/picture.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::bitmapFromRows;
using test::pixelAt;

TEST(Bitmap, RowsArePaddedToFourBytesAndPaddingStaysZero)
{
    for (int w : {1, 2, 3, 4, 5, 7}) {
        Bitmap b(w, 3, Bitmap::Init::Uninitialized);
        EXPECT_EQ(b.stride() % 4, 0);
        EXPECT_GE(b.stride(), w * 3);
        b.fill(1, 2, 3);
        for (int y = 0; y < 3; ++y)
            for (int i = w * 3; i < b.stride(); ++i)
                EXPECT_EQ(b.row(y)[i], 0) << "w=" << w;
    }
}

TEST(Bitmap, SizeCapRefusesRenderingsOverTwoGibibytes)
{
    EXPECT_TRUE(Bitmap::sizeAllowed(0, 0));
    EXPECT_TRUE(Bitmap::sizeAllowed(6000, 4000));
    EXPECT_TRUE(Bitmap::sizeAllowed(16384, 43690));  // 49152 × 43690 bytes, just under 2 GiB
    EXPECT_FALSE(Bitmap::sizeAllowed(65535, 65535));
    EXPECT_FALSE(Bitmap::sizeAllowed(-1, 10));
    EXPECT_FALSE(Bitmap::sizeAllowed(INT32_MAX, 1));
    EXPECT_THROW(Bitmap(70000, 70000), std::length_error);
}

TEST(Bitmap, EqualityIgnoresPadding)
{
    Bitmap a(1, 2), b(1, 2);
    a.fill(9, 8, 7);
    b.fill(9, 8, 7);
    b.row(0)[3] = 0xEE;  // padding byte
    EXPECT_EQ(a, b);
    b.row(1)[0] = 0;
    EXPECT_FALSE(a == b);
}

TEST(Picture, EmptyAndKinds)
{
    Picture none;
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(none.kind(), PictureKind::Empty);
    EXPECT_EQ(none.width() + none.height(), 0);
    EXPECT_TRUE(Picture(Bitmap()).isEmpty());

    Bitmap b(4, 2);
    const Picture bmp(b);
    EXPECT_EQ(bmp.kind(), PictureKind::Bitmap);
    EXPECT_EQ(bmp.width(), 4);
    EXPECT_EQ(bmp.height(), 2);

    const std::vector<std::uint8_t> file{0xFF, 0xD8};
    const Picture jpeg(PictureKind::Jpeg, DecodedImage{.bitmap = b, .mask = {}}, file);
    const Picture copy = jpeg;  // a copy keeps the kind and the file bytes
    EXPECT_EQ(copy.kind(), PictureKind::Jpeg);
    EXPECT_EQ(copy.fileBytes(), file);
    EXPECT_TRUE(Picture(PictureKind::Png, DecodedImage{.bitmap = b, .mask = {}}, file).fileBytes().empty());
}

TEST(Picture, AllOpaqueMaskIsDropped)
{
    Bitmap b(2, 1);
    EXPECT_FALSE(Picture(PictureKind::Png, DecodedImage{.bitmap = b, .mask = {0, 0}}).hasTransparency());
    EXPECT_TRUE(Picture(PictureKind::Png, DecodedImage{.bitmap = b, .mask = {0, 1}}).hasTransparency());
    // A mask of the wrong size cannot be trusted and is not used.
    EXPECT_FALSE(Picture(PictureKind::Png, DecodedImage{.bitmap = b, .mask = {1}}).hasTransparency());
}

TEST(DrawPicture, ClipsOnEverySideAndHonoursTransparency)
{
    const Bitmap src = bitmapFromRows({{0x010101, 0x020202}, {0x030303, 0x040404}});
    const Picture opaque(src);
    const Picture holed(PictureKind::Gif, DecodedImage{.bitmap = src, .mask = {0, 1, 1, 0}});

    struct Case {
        int x, y;
        std::vector<std::vector<std::uint32_t>> expected;
    };
    const std::uint32_t W = 0xFFFFFF;
    const std::vector<Case> cases{
        {0, 0, {{1 * 0x010101, 2 * 0x010101, W}, {3 * 0x010101, 4 * 0x010101, W}, {W, W, W}}},
        {-1, -1, {{4 * 0x010101, W, W}, {W, W, W}, {W, W, W}}},
        {2, 2, {{W, W, W}, {W, W, W}, {W, W, 1 * 0x010101}}},
        {3, 0, {{W, W, W}, {W, W, W}, {W, W, W}}},
        {INT32_MIN, INT32_MAX, {{W, W, W}, {W, W, W}, {W, W, W}}},
    };
    for (const Case& c : cases) {
        Bitmap canvas(3, 3);
        canvas.fill(0xFF, 0xFF, 0xFF);
        drawPicture(opaque, canvas, c.x, c.y);
        EXPECT_EQ(canvas, bitmapFromRows(c.expected)) << c.x << "," << c.y;
    }

    Bitmap canvas(2, 2);
    canvas.fill(0xFF, 0xFF, 0xFF);
    drawPicture(holed, canvas, 0, 0);
    EXPECT_EQ(canvas, bitmapFromRows({{0x010101, W}, {W, 0x040404}}));
    drawPicture(Picture(), canvas, 0, 0);  // nothing to draw
    EXPECT_EQ(pixelAt(canvas, 1, 0), W);
}

}  // namespace
}  // namespace trimlet
