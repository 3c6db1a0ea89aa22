// The piece the frame cuts and the size of its file, without a window.

#include <gtest/gtest.h>

#include <algorithm>

#include "document/frame_state.h"
#include "document/piece.h"
#include "imaging/cut.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

PieceRequest whole(const Picture& source)
{
    PieceRequest r;
    r.source = source;
    return r;
}

PieceRequest region(const Picture& source, IntPoint origin, int cutW, int cutH, int rate)
{
    return {source, false, origin, cutW, cutH, rate};
}

std::uint64_t encodedBytes(const Bitmap& piece, OutputFormat format, int quality)
{
    auto bytes = encodeOutput(piece, format, quality);
    return bytes ? bytes.value().size() : 0;
}

}  // namespace

TEST(Piece, FramedRegionLiesAroundTheCentreAndIsCutAtTheAskedSize)
{
    // The frame placed on a centre and sized as a relayout does, over the picture shown at
    // several scales: its region keeps inside the picture around that centre (pushed in at
    // the edges) within the display's rounding, the piece is that region's area average at
    // exactly W × H, and shown unscaled it is the region the command line cuts there.
    const Picture source(test::noisePicture(1203, 907, 3));
    const Bitmap& src = source.bitmap();
    const int pw = src.width(), ph = src.height();
    const struct {
        int W, H, R;
    } cuts[] = {{240, 320, 100}, {240, 320, 50}, {333, 101, 37}, {101, 333, 37}, {640, 480, 70}, {1202, 906, 100}};
    const IntPoint centres[] = {{601, 453}, {0, 0}, {1202, 906}, {300, 700}, {1000, 120}, {7, 899}};
    for (const auto& [availW, availH] : {std::pair{2000, 1000}, {800, 600}, {500, 500}, {1000, 700}}) {
        const IntRect display = fitPicture(pw, ph, availW, availH, 100);
        const bool unscaled = display.w == pw;
        const int tolerance = 2 * ((pw + display.w - 1) / display.w) + 1;
        for (const auto& c : cuts)
            for (const IntPoint& centre : centres) {
                SCOPED_TRACE(testing::Message() << c.W << "x" << c.H << "@" << c.R << " at " << centre.x << ","
                                                << centre.y << " on " << display.w << "x" << display.h);
                FrameState f;
                f.centre = centre;
                f.place(false, display, pw, ph);
                f.resize(display, pw, ph, c.W, c.H, c.R, false);
                const int cw = f.cutSrcWidth, ch = f.cutSrcHeight;
                // The fewest picture pixels that reduce to W × H at the rate.
                EXPECT_TRUE(cw * c.R <= 100 * c.W && (cw + 1) * c.R > 100 * c.W);
                EXPECT_TRUE(ch * c.R <= 100 * c.H && (ch + 1) * c.R > 100 * c.H);
                const IntPoint o = f.cutOrigin(display, pw, ph);
                EXPECT_LE(std::abs(o.x - std::clamp(centre.x - cw / 2, 0, pw - cw)), tolerance);
                EXPECT_LE(std::abs(o.y - std::clamp(centre.y - ch / 2, 0, ph - ch)), tolerance);
                ASSERT_TRUE(o.x >= 0 && o.y >= 0 && o.x + cw <= pw && o.y + ch <= ph);

                const Bitmap piece = cutPiece(region(source, o, cw, ch, c.R));
                ASSERT_EQ(piece.width(), c.W);
                ASSERT_EQ(piece.height(), c.H);
                EXPECT_TRUE(piece == (c.R == 100 ? copyRegion(src, o.x, o.y, cw, ch)
                                                 : reduceArea(src, o.x, o.y, cw, ch, c.W, c.H)));
                if (unscaled) {
                    const auto cli = cutFrame(pw, ph, {c.W, c.H, c.R, true, centre});
                    ASSERT_TRUE(cli);
                    EXPECT_EQ(cli->origin, o);
                    EXPECT_EQ(cli->width, cw);
                    EXPECT_EQ(cli->height, ch);
                }
            }
    }
    EXPECT_TRUE(cutPiece(whole(source)) == src);
    EXPECT_TRUE(cutPiece(region(source, {pw - 100, 0}, 240, 320, 100)).empty());  // reaches past the edge
}

TEST(Piece, MeasuredSizeIsTheFileASaveWrites)
{
    const Picture source(test::photoLike(300, 200, 5));
    const PieceRequest framed = region(source, {37, 21}, 160, 120, 50);
    for (const PieceRequest& piece : {whole(source), framed})
        for (const OutputFormat format :
             {OutputFormat::Jpeg, OutputFormat::Bmp, OutputFormat::Png, OutputFormat::Webp}) {
            const LiveSizeResult r = measurePiece({piece, format, 77, 0});
            EXPECT_TRUE(r.ok && r.fits);
            EXPECT_EQ(r.bytes, encodedBytes(cutPiece(piece), format, 77));
            EXPECT_EQ(r.quality, 77);
        }

    // Under a limit, the highest quality whose file fits, and that file's size.
    const Bitmap piece = cutPiece(framed);
    const std::uint64_t limit = encodedBytes(piece, OutputFormat::Jpeg, 60);
    LiveSizeResult r = measurePiece({framed, OutputFormat::Jpeg, 90, limit});
    EXPECT_TRUE(r.ok && r.fits);
    EXPECT_GE(r.quality, 60);
    EXPECT_LT(r.quality, 90);
    EXPECT_EQ(r.bytes, encodedBytes(piece, OutputFormat::Jpeg, r.quality));
    EXPECT_LE(r.bytes, limit);
    EXPECT_GT(encodedBytes(piece, OutputFormat::Jpeg, r.quality + 1), limit);

    r = measurePiece({framed, OutputFormat::Jpeg, 90, 1});
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.fits);

    // A newer request abandons the search, and a region past the picture measures nothing.
    EXPECT_FALSE(measurePiece({framed, OutputFormat::Jpeg, 90, limit}, [] { return true; }).ok);
    EXPECT_FALSE(measurePiece({region(source, {200, 0}, 160, 120, 100), OutputFormat::Png, 90, 0}).ok);
}
