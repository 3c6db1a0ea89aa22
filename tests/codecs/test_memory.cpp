// Peak memory of loading a file, measured as the address space a forked child may use: a
// tiny file declaring a huge picture must be refused within 64 MiB, and a real picture must
// load within its own file's bytes plus twice its rendering. AddressSanitizer reserves
// terabytes of address space, so under it these tests skip.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/bmp.h"
#include "codecs/heif_avif_module.h"
#include "codecs/jpeg.h"
#include "codecs/jxl.h"
#include "codecs/picture_file.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/support/address_limit_test.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

struct Outcome {
    bool loaded = false;
    std::string text;  // "WxH" when loaded, else the failure
};

// Loads path in a child that may take `budget` bytes of address space beyond what it holds
// when it starts.
Outcome loadWithin(const std::string& path, std::uint64_t budget)
{
    const auto text = test::textInChildWithin(
        budget,
        [&] {
            std::string text;
            bool loaded = false;
            try {
                auto picture = loadPictureAsStored(path);
                loaded = bool(picture);
                text = loaded ? std::to_string(picture.value().width()) + "x" + std::to_string(picture.value().height())
                              : picture.error().message;
            } catch (const std::exception& e) {
                text = std::string("escaped: ") + e.what();
            }
            return (loaded ? "L" : "R") + text;
        },
        // The HEIF and AVIF libraries' code is no memory of the picture's: mapped first, as
        // for the libraries the program is linked with.
        [] { (void)heifAvifModule(); });
    if (!text || text->empty())
        return {false, "child died"};
    return {(*text)[0] == 'L', text->substr(1)};
}

class LoadMemory : public test::AddressLimitTest {};

void put16le(Bytes8& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void put32le(Bytes8& b, std::uint32_t v)
{
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}
void put32be(Bytes8& b, std::uint32_t v)
{
    b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

// A GIF screen with a two-colour table, then one image descriptor and its LZW bytes as given
// (data sub-blocks included), then the trailer.
Bytes8 gif(int screenW, int screenH, int imageW, int imageH, const Bytes8& lzw, bool controlBlock = false)
{
    Bytes8 g = {'G', 'I', 'F', '8', '9', 'a'};
    put16le(g, unsigned(screenW)), put16le(g, unsigned(screenH));
    g.insert(g.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    if (controlBlock)
        g.insert(g.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    g.push_back(0x2C);
    put16le(g, 0), put16le(g, 0), put16le(g, unsigned(imageW)), put16le(g, unsigned(imageH));
    g.push_back(0);
    g.insert(g.end(), lzw.begin(), lzw.end());
    g.push_back(0x3B);
    return g;
}

// LZW code size 2, one sub-block holding a clear code and the end code: no pixel at all.
const Bytes8 kNoPixels = {2, 1, 0x2C, 0};

Bytes8 bmpHeader(int width, int height, int bits, std::uint32_t compression, const Bytes8& data)
{
    const std::uint32_t offset = 14 + 40 + 2 * 4;
    Bytes8 b = {'B', 'M'};
    put32le(b, offset + std::uint32_t(data.size())), put32le(b, 0), put32le(b, offset);
    put32le(b, 40), put32le(b, std::uint32_t(width)), put32le(b, std::uint32_t(height));
    put16le(b, 1), put16le(b, unsigned(bits)), put32le(b, compression), put32le(b, std::uint32_t(data.size()));
    put32le(b, 0), put32le(b, 0), put32le(b, 2), put32le(b, 0);
    put32le(b, 0x000000), put32le(b, 0xFFFFFF);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

void pngChunk(Bytes8& png, const char* type, const Bytes8& data)
{
    put32be(png, std::uint32_t(data.size()));
    Bytes8 body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    put32be(png, std::uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

Bytes8 tinyPng(std::uint32_t width, std::uint32_t height)
{
    Bytes8 png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    Bytes8 ihdr;
    put32be(ihdr, width), put32be(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    pngChunk(png, "IHDR", ihdr);
    const Bytes8 row(64, 0);
    Bytes8 packed(compressBound(uLong(row.size())));
    uLongf packedSize = uLongf(packed.size());
    compress(packed.data(), &packedSize, row.data(), uLong(row.size()));
    packed.resize(packedSize);
    pngChunk(png, "IDAT", packed);
    pngChunk(png, "IEND", {});
    return png;
}

// A small PNG whose eXIf chunk, right after IHDR, claims almost 2 GiB.
Bytes8 longExifPng()
{
    Bytes8 png = tinyPng(16, 16);
    Bytes8 chunk;
    put32be(chunk, 0x7FFF0000);
    chunk.insert(chunk.end(), {'e', 'X', 'I', 'f', 'M', 'M', 0, 42, 0, 0, 0, 8});
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

Bytes8 progressiveJpeg(int width, int height)
{
    return test::libjpeg(Bytes8(std::size_t(width) * height, 99), width, 1, JCS_GRAYSCALE,
                         [](jpeg_compress_struct* c) { jpeg_simple_progression(c); });
}

// A RIFF WebP of one chunk.
Bytes8 webpFile(const char* fourcc, const Bytes8& data)
{
    Bytes8 chunk(fourcc, fourcc + 4);
    for (int i = 0; i < 4; ++i)
        chunk.push_back(std::uint8_t(data.size() >> (8 * i)));
    chunk.insert(chunk.end(), data.begin(), data.end());
    Bytes8 file = {'R', 'I', 'F', 'F'};
    for (int i = 0; i < 4; ++i)
        file.push_back(std::uint8_t((chunk.size() + 4) >> (8 * i)));
    file.insert(file.end(), {'W', 'E', 'B', 'P'});
    file.insert(file.end(), chunk.begin(), chunk.end());
    return file;
}

// A lossy key frame header of width x height whose 40-byte first partition and token data are
// zeros.
Bytes8 tinyLossyWebp(int width, int height)
{
    const unsigned tag = 1u << 4 | 40u << 5;  // key frame, shown, first partition size
    Bytes8 data = {std::uint8_t(tag), std::uint8_t(tag >> 8), std::uint8_t(tag >> 16), 0x9d, 0x01, 0x2a};
    for (int v : {width, height})
        data.insert(data.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    data.resize(data.size() + 60);
    return webpFile("VP8 ", data);
}

// A bare JPEG XL codestream whose size header says width x height (8-bit sRGB, all metadata
// defaults), then filler bytes where the frames would be.
Bytes8 jxlHeader(std::uint32_t width, std::uint32_t height, std::size_t filler)
{
    Bytes8 out = {0xFF, 0x0A};
    std::uint64_t bits = 0;
    int count = 0;
    const auto put = [&](std::uint64_t value, int n) {
        bits |= value << count;
        count += n;
    };
    put(0, 1);                       // not small
    put(3, 2), put(height - 1, 30);  // the 30-bit form of ysize
    put(0, 3);                       // no aspect ratio: xsize follows
    put(3, 2), put(width - 1, 30);
    put(1, 1);  // all_default metadata
    for (; count > 0; count -= 8, bits >>= 8)
        out.push_back(std::uint8_t(bits));
    out.resize(out.size() + filler, 0x55);
    return out;
}

TEST_F(LoadMemory, TinyFilesDeclaringHugePicturesAreRefusedWithin64MiB)
{
    const Bytes8 smallJpeg = encodeJpeg(test::photoLike(16, 16), 90).value();
    // RLE data: a run, then nothing; the declared rows never come.
    const Bytes8 fewRuns = {0x10, 1, 0x10, 0};
    const struct {
        const char* name;
        Bytes8 bytes;
    } cases[] = {
        {"zero-wide.gif", gif(6727, 65351, 0, 100, {2, 0}, true)},
        {"zero-high.gif", gif(6727, 65351, 100, 0, {2, 0}, true)},
        {"no-pixels.gif", gif(12000, 12000, 12000, 12000, kNoPixels)},
        {"small-image-no-pixels.gif", gif(12000, 12000, 1, 1, kNoPixels)},
        {"image-without-data.gif", gif(12000, 12000, 12000, 12000, {2})},
        {"rle8.bmp", bmpHeader(12000, 12000, 8, 1, fewRuns)},
        {"rle4.bmp", bmpHeader(12000, 12000, 4, 2, fewRuns)},
        {"rle8-delta.bmp", bmpHeader(12000, 12000, 8, 1, {0, 2, 255, 255, 0x10, 1})},
        {"rgb24.bmp", bmpHeader(12000, 12000, 24, 0, Bytes8(64, 7))},
        {"huge.png", tinyPng(20000, 20000)},
        {"long-exif.png", longExifPng()},
        {"baseline.jpg", test::withFrameSize(smallJpeg, 20000, 14000)},
        {"progressive.jpg", test::withFrameSize(progressiveJpeg(16, 16), 20000, 14000)},
        {"lossy.webp", tinyLossyWebp(16383, 16383)},
        {"header.jxl", jxlHeader(20000, 20000, 64)},
        {"filled.jxl", jxlHeader(20000, 20000, 7000)},
    };
    EXPECT_EQ(cases[0].bytes.size(), 40u);  // the size of the file that was first found
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        test::writeBytes(path, c.bytes);
        const Outcome outcome = loadWithin(path, 64 * kMiB);
        EXPECT_FALSE(outcome.loaded) << c.name << " loaded as " << outcome.text;
        // A refusal for want of memory would name memory; these must be refused for their data.
        EXPECT_EQ(outcome.text.find("memory"), std::string::npos) << c.name << ": " << outcome.text;
        EXPECT_EQ(outcome.text.find("died"), std::string::npos) << c.name << ": " << outcome.text;
        EXPECT_EQ(outcome.text.find('\n'), std::string::npos) << c.name << ": " << outcome.text;
    }
}

// The container formats: a small real file whose size box is changed, and TIFF strips that
// cannot hold what the directory declares.
TEST_F(LoadMemory, ContainersDeclaringHugePicturesAreRefusedWithin64MiB)
{
    ASSERT_TRUE(test::haveProgram("avifenc") && test::haveProgram("heif-enc") && test::haveProgram("convert"));
    const std::string png = dir.file("small.png");
    ASSERT_EQ(test::runCommand("convert -size 16x16 gradient:red-blue -depth 8 '" + png + "'").exitCode, 0);
    ASSERT_EQ(test::runCommand("avifenc -s 10 '" + png + "' '" + dir.file("small.avif") + "' >/dev/null").exitCode, 0);
    ASSERT_EQ(test::runCommand("heif-enc -q 30 -o '" + dir.file("small.heic") + "' '" + png + "' >/dev/null").exitCode,
              0);
    std::vector<std::pair<std::string, Bytes8>> cases;
    for (const std::string ext : {"avif", "heic"}) {
        const Bytes8 small = test::readBytes(dir.file("small." + ext));
        const std::string box = "ispe";
        for (const std::uint32_t side : {60000u, 16000u}) {
            Bytes8 changed = small;  // every ispe box: libheif's encoder writes two
            for (auto at = changed.begin();
                 (at = std::search(at, changed.end(), box.begin(), box.end())) != changed.end(); at += 16) {
                Bytes8 size;
                put32be(size, side), put32be(size, side);
                std::copy(size.begin(), size.end(), at + 8);
            }
            cases.emplace_back(std::to_string(side) + "." + ext, changed);
        }
    }
    Bytes8 grid = test::readBytes(dir.file("small.heic"));  // a one-tile grid said to be 60000 a side
    const std::string idat = "idat";
    const auto at = std::search(grid.begin(), grid.end(), idat.begin(), idat.end());
    ASSERT_NE(at, grid.end());
    std::fill(at + 8, at + 12, 0xEA);
    cases.emplace_back("grid.heic", grid);
    // Grey TIFFs of one deflate strip: 64 zero bytes, or 4 KiB that do not compress, which
    // only deflate's own limit tells from an 8000 × 8000 picture.
    Bytes8 noise(4096);
    std::uint32_t state = 1;
    for (auto& byte : noise) {
        state = state * 1664525u + 1013904223u;
        byte = std::uint8_t(state >> 24);
    }
    Bytes8 packed(compressBound(uLong(noise.size())));
    uLongf packedSize = uLongf(packed.size());
    compress(packed.data(), &packedSize, noise.data(), uLong(noise.size()));
    packed.resize(packedSize);
    ASSERT_GT(packed.size(), 4000u);
    const Bytes8 zeros = {0x78, 0x9c, 0x63, 0x60, 0xa0, 0x0c, 0x00, 0x00, 0x00, 0x40, 0x00, 0x01};
    for (const auto& [side, strip] : {std::pair{100000u, zeros}, {20000u, zeros}, {8000u, packed}}) {
        Bytes8 t = {'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0};
        const std::uint32_t fields[][3] = {
            {256, 4, side}, {257, 4, side}, {258, 3, 8},
            {259, 3, 8},    {262, 3, 1},    {273, 4, 122},
            {277, 3, 1},    {278, 4, side}, {279, 4, std::uint32_t(strip.size())},
        };
        for (const auto& f : fields)
            put16le(t, f[0]), put16le(t, f[1]), put32le(t, 1), put32le(t, f[2]);
        put32le(t, 0);
        t.insert(t.end(), strip.begin(), strip.end());
        cases.emplace_back(std::to_string(side) + ".tif", t);
    }
    for (const auto& [name, bytes] : cases) {
        const std::string path = dir.file(name);
        test::writeBytes(path, bytes);
        const Outcome outcome = loadWithin(path, 64 * kMiB);
        EXPECT_FALSE(outcome.loaded) << name << " loaded as " << outcome.text;
        EXPECT_EQ(outcome.text.find("memory"), std::string::npos) << name << ": " << outcome.text;
        EXPECT_EQ(outcome.text.find("died"), std::string::npos) << name << ": " << outcome.text;
    }
}

// Files a real picture makes, each within its own bytes plus twice its rendering (and a little
// for the libraries' own state).
TEST_F(LoadMemory, RealPicturesLoadWithinTwiceTheirRendering)
{
    const int width = 2400, height = 1600;
    const Bitmap picture = test::photoLike(width, height);
    std::vector<std::string> files;
    test::writeBytes(dir.file("photo.bmp"), encodeBmp(picture));
    test::writeBytes(dir.file("photo.jpg"), encodeJpeg(picture, 90).value());
    files = {"photo.bmp", "photo.jpg"};
    if (test::haveProgram("convert")) {
        test::writeBytes(dir.file("photo.ppm"), test::toPpm(picture));
        const std::string src = "'" + dir.file("photo.ppm") + "' ";
        for (const std::string& made : {std::string("photo.png"), std::string("photo.gif")})
            ASSERT_EQ(test::runCommand("convert " + src + "'" + dir.file(made) + "'").exitCode, 0) << made;
        ASSERT_EQ(test::runCommand("convert " + src + "-colors 200 -type Palette -compress RLE bmp3:'" +
                                   dir.file("photo-rle.bmp") + "'")
                      .exitCode,
                  0);
        files.insert(files.end(), {"photo.png", "photo.gif", "photo-rle.bmp"});
        ASSERT_EQ(test::runCommand("convert " + src + "-compress lzw '" + dir.file("photo.tif") + "'").exitCode, 0);
        ASSERT_EQ(test::runCommand("convert " + src + "'" + dir.file("photo-src.png") + "'").exitCode, 0);
        const std::string png = "'" + dir.file("photo-src.png") + "' ";
        ASSERT_EQ(test::runCommand("avifenc -s 10 " + png + "'" + dir.file("photo.avif") + "' >/dev/null").exitCode, 0);
        ASSERT_EQ(test::runCommand("heif-enc -q 50 -o '" + dir.file("photo.heic") + "' " + png + ">/dev/null").exitCode,
                  0);
        files.insert(files.end(), {"photo.tif", "photo.avif", "photo.heic"});
    }
    const std::uint64_t rendering = std::uint64_t(Bitmap::strideFor(width)) * height;
    for (const std::string& name : files) {
        const std::uint64_t fileBytes = test::readBytes(dir.file(name)).size();
        const Outcome outcome = loadWithin(dir.file(name), fileBytes + 2 * rendering + 16 * kMiB);
        EXPECT_TRUE(outcome.loaded) << name << ": " << outcome.text;
        EXPECT_EQ(outcome.text, "2400x1600") << name;
    }
}

}  // namespace
}  // namespace trimlet
