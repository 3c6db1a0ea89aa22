#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/gif.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;
using Mask = std::vector<std::uint8_t>;

struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> pixels = {};  // indices, row by row
    std::vector<GifColorType> local = {};
    int transparent = NO_TRANSPARENT_COLOR;  // written as a graphic control block when set
    bool interlaced = false;
};

struct GifFixture {
    int screenWidth = 0, screenHeight = 0;
    std::vector<GifColorType> global;
    std::vector<GifFrame> frames;
};

int appendTo(GifFileType* gif, const GifByteType* data, int n)
{
    auto* out = static_cast<Bytes8*>(gif->UserData);
    out->insert(out->end(), data, data + n);
    return n;
}

ColorMapObject* makeMap(const std::vector<GifColorType>& colours)
{
    return colours.empty() ? nullptr : GifMakeMapObject(int(colours.size()), colours.data());
}

Bytes8 writeGif(const GifFixture& f)
{
    Bytes8 out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendTo, &error);
    EGifSetGifVersion(gif, true);
    ColorMapObject* global = makeMap(f.global);
    EXPECT_EQ(EGifPutScreenDesc(gif, f.screenWidth, f.screenHeight, 8, 0, global), GIF_OK);
    GifFreeMapObject(global);
    for (GifFrame frame : f.frames) {
        if (frame.transparent != NO_TRANSPARENT_COLOR) {
            GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 10, frame.transparent};
            GifByteType ext[4];
            EGifGCBToExtension(&gcb, ext);
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext);
        }
        ColorMapObject* local = makeMap(frame.local);
        EXPECT_EQ(EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced, local),
                  GIF_OK);
        GifFreeMapObject(local);
        std::vector<int> order;  // interlaced rows are stored 0, 8, ...; 4, 12, ...; 2, 6, ...; 1, 3, ...
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = frame.interlaced ? start[pass] : pass; y < frame.height && (frame.interlaced || pass == 0);
                 y += frame.interlaced ? step[pass] : 1)
                order.push_back(y);
        for (int y : order)
            EXPECT_EQ(EGifPutLine(gif, &frame.pixels[std::size_t(y) * frame.width], frame.width), GIF_OK);
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    return out;
}

const std::vector<GifColorType> kRgbw = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr std::uint32_t R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;

Mask maskOf(const std::vector<std::string>& rows)
{
    Mask mask;
    for (const auto& row : rows)
        for (char c : row)
            mask.push_back(c == '1');
    return mask;
}

TEST(GifDecode, RendersTheFirstImageOnItsScreen)
{
    struct Case {
        const char* name;
        GifFixture gif;
        std::vector<std::vector<std::uint32_t>> pixels;
        Mask mask;
    };
    const GifFrame offset{2, 1, 2, 2, {1, 3, 3, 2}, {}, 3};
    GifFrame opaqueOffset = offset;
    opaqueOffset.transparent = NO_TRANSPARENT_COLOR;
    const std::vector<Case> cases = {
        {"offset with a transparent index",
         {5, 4, kRgbw, {offset}},
         {{R, R, R, R, R}, {R, R, G, R, R}, {R, R, R, B, R}, {R, R, R, R, R}},
         maskOf({"11111", "11011", "11101", "11111"})},
        {"offset, opaque",
         {5, 4, kRgbw, {opaqueOffset}},
         {{R, R, R, R, R}, {R, R, G, W, R}, {R, R, W, B, R}, {R, R, R, R, R}},
         {}},
        {"clipped at the screen's edge",
         {4, 3, kRgbw, {{2, 1, 3, 3, {1, 2, 3, 3, 2, 1, 0, 0, 0}}}},
         {{R, R, R, R}, {R, R, G, B}, {R, R, W, B}},
         {}},
        {"whole screen keeps the transparent pixels' colours",
         {3, 2, kRgbw, {{0, 0, 3, 2, {0, 1, 2, 2, 3, 1}, {}, 2}}},
         {{R, G, B}, {B, W, G}},
         maskOf({"001", "100"})},
        {"local table wins",
         {2, 2, kRgbw, {{0, 0, 2, 2, {0, 1, 1, 0}, {{0, 0, 1}, {9, 8, 7}}}}},
         {{0x000001, 0x090807}, {0x090807, 0x000001}},
         {}},
        {"screen without area takes the image's reach",
         {0, 0, kRgbw, {{1, 2, 2, 1, {2, 1}, {}, 1}}},
         {{R, R, R}, {R, R, R}, {R, B, R}},
         maskOf({"111", "111", "101"})},
        {"only the first frame counts",
         {3, 1, kRgbw, {{0, 0, 3, 1, {0, 1, 2}}, {0, 0, 3, 1, {3, 3, 3}, {}, 3}}},
         {{R, G, B}},
         {}},
        // At the origin but not covering the screen: the rest is colour 0, never stale memory.
        {"at the origin, shorter than the screen",
         {3, 3, kRgbw, {{0, 0, 3, 2, {1, 2, 3, 3, 2, 1}}}},
         {{G, B, W}, {W, B, G}, {R, R, R}},
         {}},
        {"at the origin, narrower than the screen",
         {3, 2, kRgbw, {{0, 0, 2, 2, {1, 2, 3, 3}}}},
         {{G, B, R}, {W, W, R}},
         {}},
        {"at the origin, narrower, with a transparent index",
         {3, 2, kRgbw, {{0, 0, 2, 2, {1, 2, 3, 3}, {}, 2}}},
         {{G, R, R}, {W, W, R}},
         maskOf({"011", "001"})},
    };
    for (const Case& c : cases) {
        auto decoded = decodeGif(writeGif(c.gif));
        ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, test::bitmapFromRows(c.pixels)) << c.name;
        EXPECT_EQ(decoded.value().mask, c.mask) << c.name;
    }
}

GifFixture interlacedFixture()
{
    GifFrame frame{0, 0, 5, 11};
    for (int i = 0; i < 5 * 11; ++i)
        frame.pixels.push_back(std::uint8_t((i % 5 + 3 * (i / 5)) % 4));
    frame.interlaced = true;
    return {5, 11, kRgbw, {frame}};
}

TEST(GifDecode, InterlacedRowsComeOutInPlace)
{
    const GifFixture f = interlacedFixture();
    auto decoded = decodeGif(writeGif(f));
    ASSERT_TRUE(decoded);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 5; ++x) {
            const GifColorType c = kRgbw[f.frames[0].pixels[std::size_t(y) * 5 + x]];
            EXPECT_EQ(test::pixelAt(decoded.value().bitmap, x, y), std::uint32_t(c.Red << 16 | c.Green << 8 | c.Blue));
        }
}

TEST(GifDecode, FirstImageAtTheOriginSmallerThanTheScreen)
{
    // Narrower and shorter, interlaced (rows stored 0, 2, 1), index 2 transparent: the image's
    // transparent pixels and the rest of the screen show colour 0 and are marked.
    GifFrame corner{0, 0, 3, 3, {1, 2, 3, 3, 0, 1, 2, 2, 1}, {}, 2, true};
    auto decoded = decodeGif(writeGif({4, 5, kRgbw, {corner}}));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().bitmap,
              test::bitmapFromRows({{G, R, W, R}, {W, R, G, R}, {R, R, G, R}, {R, R, R, R}, {R, R, R, R}}));
    EXPECT_EQ(decoded.value().mask, maskOf({"0101", "0001", "1101", "1111", "1111"}));

    // Every combination of shorter, narrower or both, stored plainly or interlaced (heights that
    // reach every pass), opaque or with a transparent index.
    const struct {
        int imageW, imageH, screenW, screenH;
    } sizes[] = {{5, 9, 5, 13}, {3, 11, 7, 11}, {4, 10, 6, 17}, {1, 1, 2, 2}, {2, 1, 2, 3}, {1, 8, 3, 8}};
    for (const auto& z : sizes)
        for (const bool interlaced : {false, true})
            for (const int transparent : {NO_TRANSPARENT_COLOR, 3, 0}) {
                SCOPED_TRACE(std::to_string(z.imageW) + "x" + std::to_string(z.imageH) + " on " +
                             std::to_string(z.screenW) + "x" + std::to_string(z.screenH) +
                             (interlaced ? ", interlaced" : "") + ", transparent " + std::to_string(transparent));
                GifFrame frame{0, 0, z.imageW, z.imageH, {}, {}, transparent, interlaced};
                std::vector<std::vector<std::uint32_t>> rows(std::size_t(z.screenH),
                                                             std::vector<std::uint32_t>(std::size_t(z.screenW), R));
                Mask mask(std::size_t(z.screenW) * std::size_t(z.screenH), 1);
                for (int y = 0; y < z.imageH; ++y)
                    for (int x = 0; x < z.imageW; ++x) {
                        const int index = (3 * x + 5 * y + 1) % 4;
                        frame.pixels.push_back(std::uint8_t(index));
                        const GifColorType c = kRgbw[std::size_t(index)];
                        const bool clear = index == transparent;
                        const std::uint32_t colour = std::uint32_t(c.Red << 16 | c.Green << 8 | c.Blue);
                        rows[std::size_t(y)][std::size_t(x)] = clear ? R : colour;
                        mask[std::size_t(y) * std::size_t(z.screenW) + std::size_t(x)] = clear;
                    }
                if (transparent == NO_TRANSPARENT_COLOR)
                    mask.clear();
                auto got = decodeGif(writeGif({z.screenW, z.screenH, kRgbw, {frame}}));
                ASSERT_TRUE(got) << got.error().message;
                EXPECT_EQ(got.value().bitmap, test::bitmapFromRows(rows));
                EXPECT_EQ(got.value().mask, mask);
            }
}

// Rewrites the global table of a file written with kRgbw to its first `keep` entries (0:
// no table), leaving the image's LZW code size as it was.
Bytes8 shrinkGlobalTable(Bytes8 gif, int keep)
{
    gif[10] = keep ? std::uint8_t((gif[10] & 0xF8) | (keep == 2 ? 0 : 1)) : std::uint8_t(gif[10] & 0x7F);
    gif.erase(gif.begin() + 13 + 3 * keep, gif.begin() + 13 + 12);
    return gif;
}

TEST(GifDecode, IndicesWithoutAColourAreBlack)
{
    const Bytes8 file = writeGif({4, 1, kRgbw, {{0, 0, 4, 1, {0, 1, 2, 3}}}});
    auto twoColours = decodeGif(shrinkGlobalTable(file, 2));
    ASSERT_TRUE(twoColours);
    EXPECT_EQ(twoColours.value().bitmap, test::bitmapFromRows({{R, G, 0, 0}}));
    auto noTable = decodeGif(shrinkGlobalTable(file, 0));
    ASSERT_TRUE(noTable);
    EXPECT_EQ(noTable.value().bitmap, test::bitmapFromRows({{0, 0, 0, 0}}));
}

TEST(GifDecode, ControlBlockBeforePlainTextIsNotTheImages)
{
    Bytes8 file = writeGif({2, 1, kRgbw, {{0, 0, 2, 1, {0, 1}, {}, 1}}});
    ASSERT_EQ(file[25], 0x21);  // the control block follows the screen's four-colour table
    const Bytes8 text = {0x21, 0x01, 12, 0, 0, 0, 0, 2, 0, 1, 0, 1, 1, 0, 1, 1, 'A', 0};
    file.insert(file.begin() + 25 + 8, text.begin(), text.end());
    auto decoded = decodeGif(file);
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded.value().mask.empty());
}

TEST(GifDecode, AgreesWithImageMagick)
{
    if (!test::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    test::TempDir dir;
    GifFrame local{0, 0, 3, 2, {0, 1, 1, 0, 1, 0}, {{10, 20, 30}, {200, 100, 0}}};
    for (const GifFixture& f : {interlacedFixture(), GifFixture{3, 2, kRgbw, {local}}}) {
        const std::string path = dir.file("fixture.gif");
        test::writeBytes(path, writeGif(f));
        const auto converted = test::runCommand("convert '" + path + "[0]' ppm:-");
        ASSERT_EQ(converted.exitCode, 0);
        auto decoded = decodeGif(test::readBytes(path));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded.value().bitmap, test::fromPnm({converted.out.begin(), converted.out.end()}));
    }
}

// Where the first image's data starts: after the screen, its table, the extensions and the
// first descriptor with its table.
std::size_t firstImageData(const Bytes8& gif)
{
    auto tableBytes = [](std::uint8_t flags) { return (flags & 0x80) ? std::size_t(3) << ((flags & 7) + 1) : 0; };
    std::size_t pos = 13 + tableBytes(gif[10]);
    while (gif[pos] == 0x21) {
        for (pos += 2; gif[pos] != 0; pos += gif[pos] + 1u) {}
        ++pos;
    }
    return pos + 10 + tableBytes(gif[pos + 9]);
}

TEST(GifProbe, GivesTheDecodersSizeFromTheDescriptors)
{
    const GifFixture fixtures[] = {
        interlacedFixture(),
        {5, 4, kRgbw, {{2, 1, 2, 2, {1, 3, 3, 2}, {}, 3}}},
        {0, 0, kRgbw, {{1, 2, 2, 1, {2, 1}, {}, 1}}},
        {3, 3, kRgbw, {{0, 0, 3, 2, {1, 2, 3, 3, 2, 1}}}},
    };
    for (const GifFixture& f : fixtures) {
        const Bytes8 file = writeGif(f);
        auto decoded = decodeGif(file);
        ASSERT_TRUE(decoded);
        const PictureSize size{decoded.value().bitmap.width(), decoded.value().bitmap.height()};
        // The screen, its table and the first descriptor; no pixel data at all.
        const HeaderProbe probe = probeGif(Bytes(file.data(), firstImageData(file) + 1));  // + LZW code size
        ASSERT_TRUE(probe.size) << probe.size.error().message;
        EXPECT_EQ(probe.size.value(), size);
        const HeaderProbe cut = probeGif(Bytes(file.data(), 15));
        EXPECT_FALSE(cut.size);
        EXPECT_TRUE(cut.needsMore);
    }
}

// --- Hostile input ---

// A square screen with a two-entry table and one 4 x 4 image of the given LZW data.
Bytes8 handMadeGif(int screenSide, int codeSize, Bytes8 lzw)
{
    lzw.insert(lzw.begin(), std::uint8_t(lzw.size()));
    lzw.insert(lzw.end(), {0, 0x3B});
    Bytes8 gif = {'G',
                  'I',
                  'F',
                  '8',
                  '9',
                  'a',
                  std::uint8_t(screenSide),
                  std::uint8_t(screenSide >> 8),
                  std::uint8_t(screenSide),
                  std::uint8_t(screenSide >> 8),
                  0x80,
                  0,
                  0,
                  0,
                  0,
                  0,
                  255,
                  255,
                  255,
                  0x2C,
                  0,
                  0,
                  0,
                  0,
                  4,
                  0,
                  4,
                  0,
                  0,
                  std::uint8_t(codeSize)};
    for (std::uint8_t b : lzw)
        gif.push_back(b);
    return gif;
}

// A 6727 x 65351 screen whose first image has the given size and no data.
Bytes8 zeroSized(int width, int height)
{
    return {'G',
            'I',
            'F',
            '8',
            '9',
            'a',
            0x47,
            0x1A,
            0x47,
            0xFF,
            0,
            0,
            0,
            0x2C,
            0,
            0,
            0,
            0,
            std::uint8_t(width),
            0,
            std::uint8_t(height),
            0,
            0,
            2,
            0,
            0x3B};
}

TEST(GifHostile, RefusedCleanly)
{
    const struct {
        const char* name;
        Bytes8 file;
        ErrorCode code;
    } cases[] = {
        {"screen of 65535 x 65535", handMadeGif(65535, 2, {0x2C}), ErrorCode::TooLarge},
        {"end code before the last pixel", handMadeGif(4, 2, {0x2C}), ErrorCode::Corrupt},
        {"LZW code size past 8 bits", handMadeGif(4, 12, {0xFF, 0xFF}), ErrorCode::Corrupt},
        {"no image", {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, ErrorCode::Corrupt},
        {"first image 0 pixels wide", zeroSized(0, 7), ErrorCode::Corrupt},
        {"first image 0 pixels high", zeroSized(7, 0), ErrorCode::Corrupt},
        {"not a GIF", {'G', 'I', 'G', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B}, ErrorCode::Corrupt},
    };
    for (const auto& c : cases) {
        auto decoded = decodeGif(c.file);
        ASSERT_FALSE(decoded) << c.name;
        EXPECT_EQ(decoded.error().code, c.code) << c.name << ": " << decoded.error().message;
    }
}

TEST(GifHostile, TruncatedFilesFailOrDecodeWhole)
{
    const GifFrame offset{1, 1, 3, 2, {0, 1, 2, 3, 3, 1}, {}, 3};
    for (const GifFixture& f : {interlacedFixture(), GifFixture{5, 4, kRgbw, {offset, offset}}}) {
        const Bytes8 file = writeGif(f);
        auto full = decodeGif(file);
        ASSERT_TRUE(full);
        for (std::size_t n = 0; n < file.size(); ++n)
            if (auto r = decodeGif(Bytes(file.data(), n))) {
                EXPECT_EQ(r.value().bitmap, full.value().bitmap) << "prefix " << n;
                EXPECT_EQ(r.value().mask, full.value().mask) << "prefix " << n;
            }
    }
}

TEST(GifHostile, DamagedBytesNeverCrash)
{
    const GifFrame offset{1, 1, 3, 2, {0, 1, 2, 3, 3, 1}, {{1, 2, 3}, {4, 5, 6}}, 3};
    for (const GifFixture& f : {interlacedFixture(), GifFixture{5, 4, kRgbw, {offset}}}) {
        const Bytes8 file = writeGif(f);
        for (std::size_t i = 0; i < file.size(); ++i)
            for (std::uint8_t flip : {0x01, 0x10, 0x80, 0xFF}) {
                Bytes8 damaged = file;
                damaged[i] ^= flip;
                if (auto r = decodeGif(damaged)) {
                    const auto& image = r.value();
                    EXPECT_TRUE(image.mask.empty() ||
                                image.mask.size() == std::size_t(image.bitmap.width()) * image.bitmap.height());
                }
            }
    }
}

}  // namespace
}  // namespace trimlet
