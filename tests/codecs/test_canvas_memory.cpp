// Canvases filled around a first frame (a GIF's screen, an animated WebP's canvas) and lossless
// WebP headers: a few bytes may declare any size, so memory must follow what the file holds,
// while real files with canvases larger than their first frame render as they always have.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/canvas.h"
#include "codecs/gif.h"
#include "codecs/picture_file.h"
#include "codecs/webp.h"
#include "tests/support/address_limit_test.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

void put16le(Bytes8& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void put24le(Bytes8& b, unsigned v)
{
    b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
}
void put32le(Bytes8& b, std::uint32_t v) { put16le(b, v & 0xFFFF), put16le(b, v >> 16); }

Bytes8 riffChunk(const char* fourcc, const Bytes8& data)
{
    Bytes8 c(fourcc, fourcc + 4);
    put32le(c, std::uint32_t(data.size()));
    c.insert(c.end(), data.begin(), data.end());
    if (data.size() % 2)
        c.push_back(0);
    return c;
}

Bytes8 riffWebp(const Bytes8& chunks)
{
    Bytes8 d = {'R', 'I', 'F', 'F'};
    put32le(d, std::uint32_t(chunks.size() + 4));
    d.insert(d.end(), {'W', 'E', 'B', 'P'});
    d.insert(d.end(), chunks.begin(), chunks.end());
    return d;
}

// An animation of one lossless 1 x 1 frame at the origin of a side x side canvas: 92 bytes.
Bytes8 animatedCanvas(int side)
{
    const Bytes8 onePixel = {0x2f, 0, 0, 0, 0, 0x07, 0x10, 0xfd, 0x8f, 0xfe, 0x07, 0x22, 0xa2, 0xff, 0x01};
    Bytes8 vp8x = {0x12, 0, 0, 0};  // animation, alpha
    put24le(vp8x, unsigned(side - 1)), put24le(vp8x, unsigned(side - 1));
    Bytes8 frame;
    for (unsigned v : {0u, 0u, 0u, 0u, 100u})  // offsets, size less one, duration
        put24le(frame, v);
    frame.push_back(0);
    const Bytes8 image = riffChunk("VP8L", onePixel);
    frame.insert(frame.end(), image.begin(), image.end());
    Bytes8 chunks = riffChunk("VP8X", vp8x);
    for (const Bytes8& c : {riffChunk("ANIM", Bytes8(6, 0)), riffChunk("ANMF", frame)})
        chunks.insert(chunks.end(), c.begin(), c.end());
    return riffWebp(chunks);
}

// A still lossless header of width x height and five bytes of nothing: 30 bytes.
Bytes8 losslessHeader(int width, int height)
{
    Bytes8 data = {0x2f};
    put32le(data, std::uint32_t(width - 1) | std::uint32_t(height - 1) << 14);
    data.resize(data.size() + 5);
    return riffWebp(riffChunk("VP8L", data));
}

// A screen of width x height with a two-colour table, and one 1 x 1 image at the origin: 35 bytes.
Bytes8 gifScreen(int width, int height)
{
    Bytes8 g = {'G', 'I', 'F', '8', '9', 'a'};
    put16le(g, unsigned(width)), put16le(g, unsigned(height));
    g.insert(g.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255, 0x2C});
    put16le(g, 0), put16le(g, 0), put16le(g, 1), put16le(g, 1);
    g.insert(g.end(), {0, 2, 2, 0x44, 0x01, 0, 0x3B});  // clear, index 0, end
    return g;
}

TEST(CanvasRule, TheLargestOfFloorFileAndFrameTermsHolds)
{
    const PictureSize pixel{1, 1};
    // 64 MiB: a 4096 x 4096 rendering with its mask, whatever the file.
    EXPECT_TRUE(checkCanvas(1, {4096, 4096}, pixel, "canvas", "frame"));
    EXPECT_FALSE(checkCanvas(1, {4096, 4097}, pixel, "canvas", "frame"));
    // 1 MiB a byte of file: four times its 65536 pixels with their masks.
    EXPECT_TRUE(checkCanvas(100, {5120, 5120}, pixel, "canvas", "frame"));
    EXPECT_FALSE(checkCanvas(99, {5120, 5120}, pixel, "canvas", "frame"));
    // Twice the frame.
    EXPECT_TRUE(checkCanvas(1, {12000, 8000}, {12000, 4000}, "canvas", "frame"));
    const Status refused = checkCanvas(1, {12000, 8000}, {12000, 3999}, "WebP canvas", "frame");
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::TooLarge);
    EXPECT_EQ(refused.error().message,
              "WebP canvas of 12000 x 8000 pixels is too large for the memory its file allows around a first frame "
              "of 12000 x 3999");
    // Canvases a bitmap can hold, from files of any size.
    EXPECT_TRUE(checkCanvas(~std::uint64_t{0}, {26754, 26754}, pixel, "canvas", "frame"));
}

// In the process, at sizes whose allocation would not hurt: refused before the canvas, the
// limit named; data too short for a lossless header's picture is damage.
TEST(CanvasRule, DecodersApplyItAndProveLosslessData)
{
    const Bytes8 screen = gifScreen(4500, 4500);
    ASSERT_EQ(screen.size(), 35u);
    const PictureRegion corner{0, 0, 100, 100};
    auto gif = decodeGif(screen);
    ASSERT_FALSE(gif);
    EXPECT_EQ(gif.error().code, ErrorCode::TooLarge);
    EXPECT_EQ(gif.error().message,
              "GIF screen of 4500 x 4500 pixels is too large for the memory its file allows "
              "around a first image of 1 x 1");
    EXPECT_EQ(decodeGif(gifScreen(4000, 4000)).value().bitmap.width(), 4000);  // within 64 MiB

    const Bytes8 canvas = animatedCanvas(5200);  // past the 92 MiB its 92 bytes allow
    ASSERT_EQ(canvas.size(), 92u);
    for (const auto& decoded : {decodeWebp(canvas), decodeWebpRegion(canvas, corner)}) {
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error().code, ErrorCode::TooLarge);
        EXPECT_NE(decoded.error().message.find("WebP canvas of 5200 x 5200"), std::string::npos);
    }
    auto small = decodeWebpRegion(animatedCanvas(4000), corner);
    ASSERT_TRUE(small) << small.error().message;
    Bytes8 clear(10000, 1);
    clear[0] = 0;  // the frame's one opaque red pixel
    EXPECT_EQ(small.value().mask, clear);
    EXPECT_EQ(test::pixelAt(small.value().bitmap, 0, 0), 0xFF0000u);
    EXPECT_EQ(test::pixelAt(small.value().bitmap, 1, 0), 0u);

    const Bytes8 lossless = losslessHeader(2000, 2000);
    ASSERT_EQ(lossless.size(), 30u);
    for (const auto& decoded : {decodeWebp(lossless), decodeWebpRegion(lossless, corner)}) {
        ASSERT_FALSE(decoded);
        EXPECT_EQ(decoded.error().code, ErrorCode::Corrupt);
        EXPECT_NE(decoded.error().message.find("too small for its image size"), std::string::npos);
    }
}

class CanvasMemory : public test::AddressLimitTest {};

// "L" and the size when it worked, else the error's code and message; "died" when the child
// did not come back within budget.
std::string withinBudget(std::uint64_t budget, const std::function<std::string()>& work)
{
    const auto text = test::textInChildWithin(budget, [&] {
        try {
            return work();
        } catch (const std::exception& e) {
            return std::string("escaped: ") + e.what();
        }
    });
    return text ? *text : "died";
}

std::string outcome(const Result<DecodedImage>& r)
{
    if (r)
        return "L" + std::to_string(r.value().bitmap.width()) + "x" + std::to_string(r.value().bitmap.height());
    return std::to_string(int(r.error().code)) + " " + r.error().message;
}

// The three files first found costing gigabytes: the whole picture and a 100 x 100 cut each
// within 256 MiB, refused with their limit named, and info on each within 10 MiB.
TEST_F(CanvasMemory, TinyFilesDeclaringHugeCanvasesOrLosslessPicturesStayWithinTheirLimits)
{
    const struct {
        const char* name;
        Bytes8 bytes;
        int side;
        const char* refusal;
        ErrorCode code;
    } cases[] = {
        {"canvas.webp", animatedCanvas(23170), 23170, "WebP canvas of 23170 x 23170 pixels is too large for the memory",
         ErrorCode::TooLarge},
        {"screen.gif", gifScreen(26754, 26754), 26754, "GIF screen of 26754 x 26754 pixels is too large for the memory",
         ErrorCode::TooLarge},
        {"lossless.webp", losslessHeader(16383, 16383), 16383, "damaged WebP: file too small for its image size",
         ErrorCode::Corrupt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        test::writeBytes(path, c.bytes);
        const std::string refused = std::to_string(int(c.code)) + " " + path + ": " + c.refusal;
        const std::string whole = withinBudget(256 * kMiB, [&] {
            auto picture = loadPictureAsStored(path);
            return picture ? std::string("L")
                           : std::to_string(int(picture.error().code)) + " " + picture.error().message;
        });
        EXPECT_EQ(whole.substr(0, refused.size()), refused);
        const std::string cut = withinBudget(256 * kMiB, [&] {
            return outcome(loadRegionAsStored(path, {0, 0, 100, 100}));
        });
        EXPECT_EQ(cut.substr(0, refused.size()), refused);
        const std::string info = withinBudget(10 * kMiB, [&] {
            auto probed = probePictureFile(path);
            return probed ? std::to_string(probed.value().size.width) + "x" + std::to_string(probed.value().size.height)
                          : probed.error().message;
        });
        EXPECT_EQ(info, std::to_string(c.side) + "x" + std::to_string(c.side));
    }
}

int appendTo(GifFileType* gif, const GifByteType* data, int n)
{
    static_cast<Bytes8*>(gif->UserData)->insert(static_cast<Bytes8*>(gif->UserData)->end(), data, data + n);
    return n;
}

// A real GIF's first image smaller than its screen, whose rendering passes 64 MiB: drawn at its
// offset on colour 0, its transparent index and the screen around it masked, as always.
TEST(CanvasRendering, AGifScreenLargerThanItsImageRendersAsBefore)
{
    const int sw = 5000, sh = 3600, iw = 256, ih = 128, left = 4000, top = 3000, clear = 7;
    std::vector<GifColorType> colours(16);
    for (int i = 0; i < 16; ++i)
        colours[std::size_t(i)] = {GifByteType(i * 16), GifByteType(255 - i * 9), GifByteType(i * 5)};
    Bytes8 indices(std::size_t(iw) * ih);
    std::uint32_t state = 5;
    for (auto& index : indices) {
        state = state * 1664525u + 1013904223u;
        index = std::uint8_t(state >> 28);
    }
    Bytes8 file;
    int error = 0;
    GifFileType* out = EGifOpen(&file, appendTo, &error);
    ASSERT_NE(out, nullptr);
    EGifSetGifVersion(out, true);
    ColorMapObject* map = GifMakeMapObject(16, colours.data());
    EGifPutScreenDesc(out, sw, sh, 8, 0, map);
    const GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 10, clear};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(out, GRAPHICS_EXT_FUNC_CODE, 4, ext);
    EGifPutImageDesc(out, left, top, iw, ih, false, nullptr);
    for (int y = 0; y < ih; ++y)
        ASSERT_EQ(EGifPutLine(out, &indices[std::size_t(y) * iw], iw), GIF_OK);
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(out, &error), GIF_OK);
    ASSERT_GT(canvasBytes(sw, sh), 64 * kMiB);

    auto decoded = decodeGif(file);
    ASSERT_TRUE(decoded) << decoded.error().message;
    Bitmap expected(sw, sh);
    expected.fill(colours[0].Blue, colours[0].Green, colours[0].Red);
    Bytes8 mask(std::size_t(sw) * sh, 1);
    for (int y = 0; y < ih; ++y)
        for (int x = 0; x < iw; ++x) {
            const int index = indices[std::size_t(y) * iw + std::size_t(x)];
            if (index == clear)
                continue;
            std::uint8_t* p = expected.row(top + y) + std::size_t(left + x) * 3;
            p[0] = colours[std::size_t(index)].Blue, p[1] = colours[std::size_t(index)].Green,
            p[2] = colours[std::size_t(index)].Red;
            mask[std::size_t(top + y) * sw + std::size_t(left + x)] = 0;
        }
    EXPECT_TRUE(decoded.value().bitmap == expected);
    EXPECT_TRUE(decoded.value().mask == mask);
}

// A real animation's first frame smaller than its canvas: the whole decode is the frame as
// dwebp renders it on a black, clear canvas, and a region, which no longer holds the canvas,
// is exactly the whole decode's there, inside, across and outside the frame.
TEST(CanvasRendering, AWebpCanvasLargerThanItsFirstFrameRendersAsBeforeInWholeAndInRegions)
{
    for (const char* tool : {"cwebp", "dwebp", "webpmux"})
        ASSERT_TRUE(test::haveProgram(tool)) << tool;
    const test::TempDir dir;
    const int cw = 3000, ch = 2000, fw = 301, fh = 203, left = 1000, top = 600;
    test::writeBytes(dir.file("f1.ppm"), test::toPpm(test::photoLike(fw, fh, 3)));
    test::writeBytes(dir.file("f2.ppm"), test::toPpm(test::photoLike(cw, ch, 4)));
    const std::string d = dir.path() + "/";
    ASSERT_EQ(test::runCommand("cwebp -quiet -q 70 " + d + "f1.ppm -o " + d + "f1.webp && cwebp -quiet -q 50 " + d +
                               "f2.ppm -o " + d + "f2.webp && webpmux -frame " + d + "f1.webp +100+" +
                               std::to_string(left) + "+" + std::to_string(top) + "+0-b -frame " + d +
                               "f2.webp +100 -o " + d + "anim.webp && dwebp -quiet " + d + "f1.webp -ppm -o " + d +
                               "f1-out.ppm")
                  .exitCode,
              0);
    const Bytes8 anim = test::readBytes(d + "anim.webp");
    const Bitmap frame = test::fromPnm(test::readBytes(d + "f1-out.ppm"));
    auto whole = decodeWebp(anim);
    ASSERT_TRUE(whole) << whole.error().message;
    const DecodedImage& w = whole.value();
    Bitmap expected(cw, ch);
    Bytes8 mask(std::size_t(cw) * ch, 1);
    for (int y = 0; y < fh; ++y) {
        std::copy_n(frame.row(y), std::size_t(fw) * 3, expected.row(top + y) + std::size_t(left) * 3);
        std::fill_n(mask.begin() + std::ptrdiff_t(top + y) * cw + left, fw, 0);
    }
    EXPECT_TRUE(w.bitmap == expected);
    EXPECT_TRUE(w.mask == mask);
    const PictureRegion regions[] = {{0, 0, 100, 100},
                                     {left, top, fw, fh},
                                     {left + 7, top + 9, 13, 5},
                                     {left - 50, top - 40, 100, 100},
                                     {left + fw - 1, top + fh - 1, 2, 2},
                                     {0, 0, cw, ch},
                                     {cw - 100, ch - 100, 100, 100},
                                     {0, top, 100, 50}};
    for (const PictureRegion& r : regions) {
        SCOPED_TRACE(std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width));
        auto part = decodeWebpRegion(anim, r);
        ASSERT_TRUE(part) << part.error().message;
        const DecodedImage reference = regionOfImage(w, r);
        EXPECT_TRUE(part.value().bitmap == reference.bitmap);
        EXPECT_EQ(part.value().mask, reference.mask);
    }
}

}  // namespace
}  // namespace trimlet
