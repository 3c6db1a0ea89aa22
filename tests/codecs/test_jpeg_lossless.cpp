// Lossless JPEG pieces against jpegtran, the reference for block copies, and against the
// source's own decoded pixels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/exif.h"
#include "codecs/jpeg_lossless.h"
#include "imaging/plan.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;
using test::quoted;
using test::ran;

Bitmap decoded(const std::string& options, const std::string& path)
{
    const test::CommandResult r = test::runCommand("djpeg " + options + " " + quoted(path));
    return test::fromPnm({r.out.begin(), r.out.end()});
}

// jpegtran's name for showing the stored picture as orientation does.
const char* jpegtranTransform(int orientation)
{
    const char* names[] = {"",           "-flip horizontal", "-rotate 180", "-flip vertical",
                           "-transpose", "-rotate 90",       "-transverse", "-rotate 270"};
    return names[orientation - 1];
}

// The stored picture's pixels placed as orientation shows them, then the piece cut out.
Bitmap shownPiece(const Bitmap& stored, int orientation, JpegRegion r)
{
    Bitmap out(r.width, r.height);
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x) {
            const IntPoint q = orientedPoint(orientation, stored.width(), stored.height(), {x, y});
            if (q.x >= r.x && q.x < r.x + r.width && q.y >= r.y && q.y < r.y + r.height)
                std::copy_n(stored.row(y) + 3 * x, 3, out.row(q.y - r.y) + 3 * (q.x - r.x));
        }
    return out;
}

// The piece as jpegtran makes it: the stored blocks the piece comes from cut out from the
// iMCU at or before its stored start to its stored end, then turned with -perfect, which
// fails unless every edge the turn moves is whole, and cut to the piece's size.
bool jpegtranPiece(const std::string& source, const JpegBlocks& b, int orientation, JpegRegion r,
                   const std::string& out)
{
    const CutPlan plan = planCut(b.width, b.height, orientation, {{r.x, r.y}, r.width, r.height, 100});
    const int x0 = plan.stored.x / b.imcuWidth * b.imcuWidth, y0 = plan.stored.y / b.imcuHeight * b.imcuHeight;
    const std::string crop = std::to_string(plan.stored.x + plan.stored.w - x0) + "x" +
                             std::to_string(plan.stored.y + plan.stored.h - y0) + "+" + std::to_string(x0) + "+" +
                             std::to_string(y0);
    const std::string size = std::to_string(r.width) + "x" + std::to_string(r.height) + "+0+0";
    return ran("jpegtran -copy none -crop " + crop + " -outfile " + quoted(out + ".a") + " " + quoted(source) +
               " && jpegtran -copy none -perfect " + jpegtranTransform(orientation) + " -crop " + size + " -outfile " +
               quoted(out) + " " + quoted(out + ".a"));
}

struct Source {
    std::string name, options;
};

TEST(JpegLossless, MatchesJpegtranAndTheSourcePixels)
{
    ASSERT_TRUE(test::haveTools({"cjpeg", "djpeg", "jpegtran"}));
    test::TempDir dir;
    const int w = 203, h = 157;  // no side a whole number of iMCUs
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(w, h, 11)));
    const Source sources[] = {
        {"grey", "-grayscale"},
        {"grey-progressive-restart", "-grayscale -progressive -restart 1"},
        {"444", "-sample 1x1"},
        {"444-restart", "-sample 1x1 -restart 2B"},
        {"422-progressive", "-sample 2x1 -progressive"},
        {"422-restart", "-sample 2x1 -restart 1"},
        {"420", "-sample 2x2"},
        {"420-progressive-restart", "-sample 2x2 -progressive -restart 3B"},
    };
    int checked = 0;
    for (const Source& s : sources) {
        SCOPED_TRACE(s.name);
        const std::string jpg = dir.file(s.name + ".jpg");
        ASSERT_TRUE(
            ran("cjpeg -quality 92 " + s.options + " -outfile " + quoted(jpg) + " " + quoted(dir.file("src.ppm"))));
        const Data file = test::readBytes(jpg);
        auto blocks = probeJpegBlocks(file, file.size());
        ASSERT_TRUE(blocks) << blocks.error().message;
        const Bitmap own = decoded("-dct float -nosmooth", jpg);
        for (int o = 1; o <= 8; ++o) {
            SCOPED_TRACE(o);
            const int shownW = swapsSides(o) ? h : w, shownH = swapsSides(o) ? w : h;
            const LosslessGrid g = losslessGrid(blocks.value(), o);
            // One piece near the grid's start, one reaching the far edges; sizes end mid-block.
            JpegRegion nearStart{g.offsetX + g.stepX, g.offsetY, 37, 29};
            JpegRegion farEdges{shownW - 61, shownH - 45, 61, 45};
            ASSERT_TRUE(snapToGrid(g, shownW, shownH, nearStart) && snapToGrid(g, shownW, shownH, farEdges));
            farEdges.width = shownW - farEdges.x, farEdges.height = shownH - farEdges.y;
            for (const JpegRegion r : {nearStart, farEdges}) {
                SCOPED_TRACE(std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) +
                             "+" + std::to_string(r.y));
                auto piece = cutJpegLossless(file, o, r);
                ASSERT_TRUE(piece) << piece.error().message;
                const std::string ours = dir.file("piece.jpg"), theirs = dir.file("ref.jpg");
                test::writeBytes(ours, piece.value());
                ASSERT_TRUE(jpegtranPiece(jpg, blocks.value(), o, r, theirs));
                const Bitmap got = decoded("", ours);
                ASSERT_EQ(got.width(), r.width);
                ASSERT_EQ(got.height(), r.height);
                EXPECT_TRUE(got == decoded("", theirs));
                EXPECT_TRUE(decoded("-dct float -nosmooth", ours) == shownPiece(own, o, r));
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 8 * 8 * 2);
}

}  // namespace
}  // namespace trimlet
