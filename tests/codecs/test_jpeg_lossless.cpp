// Lossless JPEG pieces against jpegtran, the reference for block copies, and against the
// source's own decoded pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/exif.h"
#include "codecs/jpeg_lossless.h"
#include "imaging/plan.h"
#include "tests/codecs/libjpeg_writer.h"
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
// fails unless every edge the turn moves is whole, and cut to the piece's size, with optimised
// Huffman tables as ours.
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
               " && jpegtran -copy none -optimize -perfect " + jpegtranTransform(orientation) + " -crop " + size +
               " -outfile " + quoted(out) + " " + quoted(out + ".a"));
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
        {"grey-declared-2x2", "-grayscale -sample 2x2"},  // still coded a block an MCU
        {"grey-progressive-restart", "-grayscale -progressive -restart 1"},
        {"444", "-sample 1x1"},
        {"444-restart", "-sample 1x1 -restart 2B"},
        {"422-progressive", "-sample 2x1 -progressive"},
        {"422-restart", "-sample 2x1 -restart 1"},
        {"420", "-sample 2x2"},
        {"420-progressive-restart", "-sample 2x2 -progressive -restart 3B"},
        {"411", "-sample 4x1"},  // an iMCU 32 pixels wide
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
                EXPECT_TRUE(piece.value() == test::readBytes(theirs));
                EXPECT_TRUE(decoded("-dct float -nosmooth", ours) == shownPiece(own, o, r));
                ++checked;
            }
        }
    }
    EXPECT_EQ(checked, 10 * 8 * 2);
}

struct Marker {
    int code;
    Data payload;
};

// The markers of a file up to its first scan.
std::vector<Marker> headerMarkers(const Data& f)
{
    std::vector<Marker> out;
    for (std::size_t i = 2; i + 4 <= f.size() && f[i] == 0xFF;) {
        const std::size_t length = std::size_t(f[i + 2]) << 8 | f[i + 3];
        out.push_back({f[i + 1], Data(f.begin() + std::ptrdiff_t(i + 4), f.begin() + std::ptrdiff_t(i + 2 + length))});
        if (f[i + 1] == 0xDA)
            break;
        i += 2 + length;
    }
    return out;
}

Data withMarker(const Data& file, int code, const Data& payload)
{
    Data m = {0xFF, std::uint8_t(code), std::uint8_t((payload.size() + 2) >> 8), std::uint8_t(payload.size() + 2)};
    m.insert(m.end(), payload.begin(), payload.end());
    Data out = file;
    out.insert(out.begin() + 2, m.begin(), m.end());
    return out;
}

Data iccChunk(int number, int count, const Data& part)
{
    Data d = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0, std::uint8_t(number), std::uint8_t(count)};
    d.insert(d.end(), part.begin(), part.end());
    return d;
}

// EXIF (big-endian TIFF) holding only IFD0's orientation.
Data exifOrientation(int orientation)
{
    return {'E', 'x', 'i', 'f',  0,    0, 'M', 'M', 0, 42, 0, 0, 0,
            8,   0,   1,   0x01, 0x12, 0, 3,   0,   0, 0,  1, 0, std::uint8_t(orientation),
            0,   0,   0,   0,    0,    0};
}

std::string cjpeg(const test::TempDir& dir, const std::string& options, int w = 203, int h = 157)
{
    const std::string ppm = dir.file("in.ppm"), jpg = dir.file("in.jpg");
    test::writeBytes(ppm, test::toPpm(test::photoLike(w, h, 5)));
    EXPECT_TRUE(ran("cjpeg " + options + " -outfile " + quoted(jpg) + " " + quoted(ppm)));
    return jpg;
}

// The piece holds the source's profile (split over two chunks, as large ones are), and nothing
// else of its metadata: no EXIF, no comment, no restart markers, one scan. The orientation the
// source's EXIF gives is the caller's to compose.
TEST(JpegLossless, CopiesTheProfileAloneAndLeavesTheOrientationToTheCaller)
{
    test::TempDir dir;
    const Data plain = test::readBytes(cjpeg(dir, "-sample 2x2 -progressive -restart 1"));
    Data profile(70000);
    for (std::size_t i = 0; i < profile.size(); ++i)
        profile[i] = std::uint8_t(i * 7 + i / 251);
    const Data head(profile.begin(), profile.begin() + 40000), tail(profile.begin() + 40000, profile.end());
    // Inserted after SOI each, so they come in reverse: EXIF, comment, chunk 1, chunk 2.
    Data file = withMarker(plain, 0xE2, iccChunk(2, 2, tail));
    file = withMarker(file, 0xE2, iccChunk(1, 2, head));
    file = withMarker(file, 0xFE, {'h', 'i'});
    file = withMarker(file, 0xE1, exifOrientation(6));
    auto blocks = probeJpegBlocks(file, file.size());
    ASSERT_TRUE(blocks) << blocks.error().message;
    EXPECT_EQ(blocks.value().orientation, 6);
    auto piece = cutJpegLossless(file, 1, {16, 32, 45, 20});
    ASSERT_TRUE(piece) << piece.error().message;
    auto again = cutJpegLossless(plain, 1, {16, 32, 45, 20});
    ASSERT_TRUE(again);

    Data joined;
    std::vector<int> codes;
    for (const Marker& m : headerMarkers(piece.value())) {
        codes.push_back(m.code);
        if (m.code == 0xE2) {
            ASSERT_GT(m.payload.size(), 14u);
            joined.insert(joined.end(), m.payload.begin() + 14, m.payload.end());
        }
        if (m.code == 0xC0) {  // baseline, and the region's size as given
            EXPECT_EQ((Data{m.payload.begin() + 1, m.payload.begin() + 5}), (Data{0, 20, 0, 45}));
        }
    }
    EXPECT_TRUE(joined == profile);
    for (int code : codes)
        EXPECT_TRUE(code == 0xE0 || code == 0xE2 || code == 0xDB || code == 0xC0 || code == 0xC4 || code == 0xDA)
            << std::hex << code;
    EXPECT_EQ(codes.front(), 0xE0);  // JFIF
    int scans = 0, restarts = 0;
    const Data& f = piece.value();
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        if (f[i] == 0xFF) {
            scans += f[i + 1] == 0xDA;
            restarts += f[i + 1] >= 0xD0 && f[i + 1] <= 0xD7;
        }
    EXPECT_EQ(scans, 1);
    EXPECT_EQ(restarts, 0);
    EXPECT_EQ((Data{f.end() - 2, f.end()}), (Data{0xFF, 0xD9}));
    // Without the metadata the same blocks make the same file, but for the profile.
    EXPECT_EQ(f.size(), again.value().size() + 4 + 2 * (2 + 14) + profile.size());
}

TEST(JpegLossless, RefusesWhatItCannotCopyExactly)
{
    test::TempDir dir;
    const Data file = test::readBytes(cjpeg(dir, "-sample 2x2"));
    auto blocks = probeJpegBlocks(file, file.size());
    ASSERT_TRUE(blocks);
    EXPECT_EQ(blocks.value().imcuWidth, 16);
    EXPECT_EQ(blocks.value().imcuHeight, 16);
    // Turned right, the stored bottom edge (157 = 9·16 + 13) becomes the shown left one.
    const LosslessGrid g = losslessGrid(blocks.value(), 6);
    EXPECT_EQ(g.offsetX, 13);
    EXPECT_EQ(g.offsetY, 0);
    auto off = cutJpegLossless(file, 6, {16, 0, 20, 20});
    ASSERT_FALSE(off);
    EXPECT_EQ(off.error().code, ErrorCode::Invalid);
    EXPECT_NE(off.error().message.find("left edge"), std::string::npos) << off.error().message;
    EXPECT_NE(off.error().message.find("13 + 16"), std::string::npos) << off.error().message;
    for (const auto& [o, r] : {std::pair{6, JpegRegion{13, 8, 20, 20}}, std::pair{6, JpegRegion{141, 0, 20, 20}},
                               std::pair{1, JpegRegion{0, 0, 0, 5}}, std::pair{0, JpegRegion{0, 0, 5, 5}}}) {
        auto refused = cutJpegLossless(file, o, r);
        ASSERT_FALSE(refused);
        EXPECT_EQ(refused.error().code, ErrorCode::Invalid) << refused.error().message;
    }

    // Snapping finds the nearest start that keeps the piece inside, as a search of every
    // pixel does, or none where the piece would have to touch the shown left edge.
    for (int at = -20; at < 200; at += 3) {
        JpegRegion r{at, 5, 30, 40};
        ASSERT_TRUE(snapToGrid(g, 157, 203, r));
        int best = -1;
        for (int x = 0; x + 30 <= 157; ++x)
            if ((x - 13) % 16 == 0 && (best < 0 || std::abs(x - at) < std::abs(best - at)))
                best = x;
        EXPECT_EQ(r.x, best) << at;
        EXPECT_EQ(r.y, 0);
    }
    JpegRegion whole{3, 0, 150, 20};
    EXPECT_FALSE(snapToGrid(g, 157, 203, whole));
    EXPECT_EQ(whole.x, 3);

    // Files whose blocks a cut cannot copy as they are, and a 12-bit and a lossless one
    // (headers relabelled: libjpeg refuses them before reading their data).
    Data twelveBit = file, lossless = file;
    for (std::size_t i = 2; i + 4 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            twelveBit[i + 4] = 12;
            lossless[i + 1] = 0xC3;
            break;
        }
    ASSERT_TRUE(ran("convert " + quoted(dir.file("in.ppm")) + " -colorspace CMYK " + quoted(dir.file("cmyk.jpg"))));
    const struct {
        const char* name;
        Data bytes;
        const char* says;
    } refused[] = {
        {"arithmetic", test::readBytes(cjpeg(dir, "-arithmetic")), "arithmetic"},
        {"12-bit", twelveBit, "12-bit"},
        {"lossless", lossless, "lossless"},
        {"CMYK", test::readBytes(dir.file("cmyk.jpg")), "YCbCr"},
        {"RGB", test::readBytes(cjpeg(dir, "-rgb")), "YCbCr"},
    };
    for (const auto& f : refused) {
        SCOPED_TRACE(f.name);
        auto probed = probeJpegBlocks(f.bytes, f.bytes.size());
        auto cut = cutJpegLossless(f.bytes, 1, {0, 0, 16, 16});
        ASSERT_FALSE(probed);
        ASSERT_FALSE(cut);
        EXPECT_EQ(probed.error().code, ErrorCode::Unsupported);
        EXPECT_EQ(cut.error().code, ErrorCode::Unsupported);
        EXPECT_NE(cut.error().message.find(f.says), std::string::npos) << cut.error().message;
    }
}

// Every shorter start of a file fails, or (cut in its last bytes, where only the end marker
// is missing) gives the whole file's piece; read from the file, the same.
TEST(JpegLossless, CutShortOrHugeFilesFailCleanly)
{
    test::TempDir dir;
    for (const char* options : {"-sample 2x1 -restart 1", "-sample 2x2 -progressive"}) {
        SCOPED_TRACE(options);
        const Data file = test::readBytes(cjpeg(dir, options));
        const JpegRegion r{13, 16, 100, 50};  // turned right: on the grid of a 157-high picture
        auto whole = cutJpegLossless(file, 6, r);
        ASSERT_TRUE(whole) << whole.error().message;
        for (int i = 0; i < 97; ++i) {
            const std::size_t cut = file.size() * std::size_t(i) / 97;
            auto part = cutJpegLossless(Bytes(file.data(), cut), 6, r);
            if (part)
                EXPECT_TRUE(part.value() == whole.value()) << "made-up blocks from " << cut << " bytes";
            else
                EXPECT_EQ(part.error().code, ErrorCode::Corrupt) << cut << ": " << part.error().message;
        }
    }
    // Larger than the chunks the file is read in.
    const std::string big = cjpeg(dir, "-quality 98 -sample 1x1", 1000, 400);
    const Data bytes = test::readBytes(big);
    ASSERT_GT(bytes.size(), std::size_t{3} << 16);
    test::writeBytes(dir.file("short.jpg"), Data(bytes.begin(), bytes.end() - 3000));
    auto opened = RegularFile::open(big), shortened = RegularFile::open(dir.file("short.jpg"));
    ASSERT_TRUE(opened && shortened);
    auto fromFile = cutJpegLossless(opened.value(), 8, {0, 80, 300, 900});
    auto fromBytes = cutJpegLossless(bytes, 8, {0, 80, 300, 900});
    ASSERT_TRUE(fromFile && fromBytes) << (fromFile ? fromBytes : fromFile).error().message;
    EXPECT_TRUE(fromFile.value() == fromBytes.value());
    auto failed = cutJpegLossless(shortened.value(), 8, {0, 80, 300, 900});
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, ErrorCode::Corrupt);

    // The limit applies to the blocks the read keeps, 6 bytes a pixel at 4:4:4: a single-scan
    // read keeps the piece's, a progressive one all of them.
    DecodeLimits limits;
    limits.maxBitmapBytes = 1000 * 400 * 5;
    auto tooLarge = cutJpegLossless(bytes, 1, {0, 0, 1000, 400}, limits);
    ASSERT_FALSE(tooLarge);
    EXPECT_EQ(tooLarge.error().code, ErrorCode::TooLarge);
    EXPECT_TRUE(cutJpegLossless(bytes, 1, {0, 0, 16, 16}, limits));
    const Data progressive = test::readBytes(cjpeg(dir, "-quality 98 -sample 1x1 -progressive", 1000, 400));
    auto allKept = cutJpegLossless(progressive, 1, {0, 0, 16, 16}, limits);
    ASSERT_FALSE(allKept);
    EXPECT_EQ(allKept.error().code, ErrorCode::TooLarge);
}

// The failure a cut gives in a child that may take only budget bytes of address space more
// than it holds when it starts; "cut" when it succeeds.
std::string cutWithin(const Data& file, std::uint64_t budget)
{
    const auto text = test::textInChildWithin(budget, [&] {
        auto cut = cutJpegLossless(file, 1, {0, 0, 64, 64});
        return cut ? std::string("cut") : cut.error().message;
    });
    return text.value_or("child died");
}

// A small file declaring a huge picture is refused before its blocks are allocated: by its
// size, or, padded to pass that, by the memory its blocks would take (4:4:4 keeps twice the
// pixel decoders' bitmap) when it is progressive. A single-scan one keeps only the piece's
// blocks: it is read within the budget, to where its data ends.
TEST(JpegLossless, HugeDeclaredSizesAreRefusedWithin64MiB)
{
#ifdef TRIMLET_ASAN
    GTEST_SKIP() << "address-space limits do not work under AddressSanitizer";
#endif
    test::TempDir dir;
    const Data small = test::readBytes(cjpeg(dir, "-sample 1x1", 64, 64));
    const Data progressive = test::readBytes(cjpeg(dir, "-sample 2x2 -progressive", 64, 64));
    const Data progressive444 = test::readBytes(cjpeg(dir, "-sample 1x1 -progressive", 64, 64));
    const auto padded = [](const Data& jpeg) {
        Data out = test::withFrameSize(jpeg, 24000, 20000);
        out.resize(out.size() + (std::size_t{3} << 20));
        return out;
    };
    for (const Data& hostile : {test::withFrameSize(small, 20000, 14000),
                                test::withFrameSize(progressive, 20000, 14000), padded(progressive444)}) {
        const std::string text = cutWithin(hostile, std::uint64_t{64} << 20);
        EXPECT_TRUE(text.find("too small") != std::string::npos || text.find("too large") != std::string::npos) << text;
    }
    const std::string text = cutWithin(padded(small), std::uint64_t{64} << 20);
    EXPECT_NE(text.find("premature end"), std::string::npos) << text;
    EXPECT_EQ(cutWithin(small, std::uint64_t{64} << 20), "cut");
}

}  // namespace
}  // namespace trimlet
