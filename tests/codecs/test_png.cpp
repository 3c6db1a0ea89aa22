#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/png.h"
#include "codecs/png_write.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

// Samples are per pixel, per channel, in file order; palette images hold indices.
struct PngFixture {
    int width = 1, height = 1, colorType = PNG_COLOR_TYPE_GRAY, depth = 8;
    bool interlaced = false;
    std::vector<unsigned> samples = {};
    std::vector<png_color> palette = {};
    std::vector<png_byte> paletteAlpha = {};
    bool hasKey = false;
    png_color_16 key{};
};

int channels(int colorType)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GA: return 2;
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGBA: return 4;
    default: return 1;
    }
}

void appendTo(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Bytes8*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes8 writePng(const PngFixture& f)
{
    Bytes8 out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendTo, nullptr);
    png_set_check_for_invalid_index(png, 0);  // let fixtures hold indices past the palette
    png_set_IHDR(png, info, f.width, f.height, f.depth, f.colorType,
                 f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!f.palette.empty())
        png_set_PLTE(png, info, f.palette.data(), int(f.palette.size()));
    if (!f.paletteAlpha.empty())
        png_set_tRNS(png, info, f.paletteAlpha.data(), int(f.paletteAlpha.size()), nullptr);
    if (f.hasKey)
        png_set_tRNS(png, info, nullptr, 0, &f.key);
    png_write_info(png, info);
    // Pack samples big-endian, most significant bits first.
    const int perRow = f.width * channels(f.colorType);
    std::vector<Bytes8> rows(f.height, Bytes8((perRow * f.depth + 7) / 8));
    for (int y = 0; y < f.height; ++y)
        for (int i = 0; i < perRow; ++i) {
            const unsigned v = f.samples[std::size_t(y) * perRow + i];
            if (f.depth == 16) {
                rows[y][2 * i] = std::uint8_t(v >> 8);
                rows[y][2 * i + 1] = std::uint8_t(v);
            } else {
                const int bit = i * f.depth;
                rows[y][bit / 8] |= std::uint8_t(v << (8 - f.depth - bit % 8));
            }
        }
    std::vector<png_bytep> pointers;
    for (auto& r : rows)
        pointers.push_back(r.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// What an 8-bit reader shows for a sample: low depths stretched to 0..255, 16 bits cut to
// their high byte.
std::uint8_t shown(unsigned v, int depth)
{
    static const int stretch[] = {0, 255, 85, 0, 17};
    return std::uint8_t(depth == 16 ? v >> 8 : depth == 8 ? v : v * stretch[depth]);
}

Bitmap expectedPixels(const PngFixture& f)
{
    Bitmap out(f.width, f.height);
    const int n = channels(f.colorType);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const unsigned* s = &f.samples[(std::size_t(y) * f.width + x) * n];
            std::uint8_t* p = out.row(y) + 3 * x;
            if (f.colorType == PNG_COLOR_TYPE_PALETTE) {
                const png_color c = s[0] < f.palette.size() ? f.palette[s[0]] : png_color{0, 0, 0};
                p[0] = c.blue, p[1] = c.green, p[2] = c.red;
            } else if (n >= 3) {
                p[0] = shown(s[2], f.depth), p[1] = shown(s[1], f.depth), p[2] = shown(s[0], f.depth);
            } else {
                p[0] = p[1] = p[2] = shown(s[0], f.depth);
            }
        }
    return out;
}

std::vector<png_color> somePalette(int entries)
{
    std::vector<png_color> palette;
    for (int i = 0; i < entries; ++i)
        palette.push_back({std::uint8_t(i * 37 + 11), std::uint8_t(i * 91 + 5), std::uint8_t(255 - i * 13)});
    return palette;
}

// Deterministic samples; every other pixel's alpha is zero.
PngFixture makeFixture(int colorType, int depth, int width, int height, bool interlaced, unsigned seed = 7)
{
    PngFixture f{width, height, colorType, depth, interlaced};
    const int n = channels(colorType);
    const unsigned range = colorType == PNG_COLOR_TYPE_PALETTE ? std::min(1u << depth, 200u) : 1u << depth;
    for (int i = 0; i < width * height * n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) && i % n == n - 1;
        f.samples.push_back(alpha && (i / n) % 2 ? 0 : (seed >> 8) % range);
    }
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        f.palette = somePalette(int(range));
    return f;
}

const struct {
    int colorType;
    std::vector<int> depths;
} kAllTypes[] = {
    {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}}, {PNG_COLOR_TYPE_RGB, {8, 16}},
    {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},  {PNG_COLOR_TYPE_GA, {8, 16}},
    {PNG_COLOR_TYPE_RGBA, {8, 16}},
};

TEST(PngDecode, EveryColourTypeDepthAndInterlaceGivesStoredColours)
{
    const int sizes[][2] = {{1, 1}, {3, 9}, {5, 4}, {7, 13}};
    for (const auto& [type, depths] : kAllTypes)
        for (int depth : depths)
            for (const auto& [w, h] : sizes)
                for (bool interlaced : {false, true}) {
                    const PngFixture f = makeFixture(type, depth, w, h, interlaced);
                    auto decoded = decodePng(writePng(f));
                    SCOPED_TRACE(testing::Message() << "type " << type << " depth " << depth << " " << w << "x" << h
                                                    << (interlaced ? " interlaced" : ""));
                    ASSERT_TRUE(decoded) << decoded.error().message;
                    // 16-bit samples show their high byte; alpha is not a mask.
                    EXPECT_EQ(decoded.value().bitmap, expectedPixels(f));
                    EXPECT_TRUE(decoded.value().mask.empty());
                }
}

// Recomputes every chunk's CRC, so damage reaches the decoder instead of the CRC check.
void fixCrcs(Bytes8& png)
{
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::size_t length = png_get_uint_32(&png[pos]);
        if (length > png.size() - pos - 12)
            return;
        png_save_uint_32(&png[pos + 8 + length], std::uint32_t(crc32(0, &png[pos + 4], unsigned(length + 4))));
        pos += length + 12;
    }
}

void setGreyKey(Bytes8& png, unsigned key)
{
    const Bytes8 tag = {'t', 'R', 'N', 'S'};
    const auto at = std::search(png.begin(), png.end(), tag.begin(), tag.end()) + 4;
    at[0] = std::uint8_t(key >> 8);
    at[1] = std::uint8_t(key);
    fixCrcs(png);
}

TEST(PngDecode, TransparentColourAndPaletteEntriesBecomeTheMask)
{
    struct Case {
        const char* name;
        int colorType, depth;
        png_color_16 key;
        std::vector<unsigned> samples;
        std::vector<std::uint8_t> mask;
    };
    const Case cases[] = {
        {"grey 1", PNG_COLOR_TYPE_GRAY, 1, {0, 0, 0, 0, 1}, {0, 1, 1, 0, 1}, {0, 1, 1, 0, 1}},
        {"grey 2", PNG_COLOR_TYPE_GRAY, 2, {0, 0, 0, 0, 2}, {0, 1, 2, 3, 2}, {0, 0, 1, 0, 1}},
        {"grey 4", PNG_COLOR_TYPE_GRAY, 4, {0, 0, 0, 0, 9}, {9, 8, 15, 9, 0}, {1, 0, 0, 1, 0}},
        {"grey 8", PNG_COLOR_TYPE_GRAY, 8, {0, 0, 0, 0, 200}, {200, 199, 201, 200, 0}, {1, 0, 0, 1, 0}},
        // 16 bits compare by high byte, as the pixels are shown.
        {"grey 16",
         PNG_COLOR_TYPE_GRAY,
         16,
         {0, 0, 0, 0, 0x1234},
         {0x1234, 0x12FF, 0x1334, 0x1134, 0x12},
         {1, 1, 0, 0, 0}},
        {"grey key out of range", PNG_COLOR_TYPE_GRAY, 4, {0, 0, 0, 0, 16}, {0, 15, 1, 0, 0}, {}},
        {"rgb 8",
         PNG_COLOR_TYPE_RGB,
         8,
         {0, 10, 20, 30, 0},
         {10, 20, 30, 10, 20, 31, 30, 20, 10, 10, 20, 30},
         {1, 0, 0, 1}},
        {"rgb 16",
         PNG_COLOR_TYPE_RGB,
         16,
         {0, 0x0A00, 0x1400, 0x1E00, 0},
         {0x0A55, 0x14AA, 0x1E01, 0x0B00, 0x1400, 0x1E00, 0x0A00, 0x1400, 0x1EFF},
         {1, 0, 1}},
    };
    for (const Case& c : cases)
        for (bool interlaced : {false, true}) {
            PngFixture f{int(c.mask.empty() ? 5 : c.mask.size()), 1, c.colorType, c.depth, interlaced, c.samples};
            f.hasKey = true;
            f.key = c.key;
            const bool outOfRange = c.depth < 16 && c.key.gray >= 1u << c.depth;
            if (outOfRange)  // libpng will not write such a key
                f.key.gray = 0;
            Bytes8 file = writePng(f);
            if (outOfRange)
                setGreyKey(file, c.key.gray);
            auto decoded = decodePng(file);
            ASSERT_TRUE(decoded) << c.name;
            EXPECT_EQ(decoded.value().bitmap, expectedPixels(f)) << c.name;
            EXPECT_EQ(decoded.value().mask, c.mask) << c.name;
        }

    // By index: entries 0 and 1 share a colour, only 1 is clear; half-transparent 2 is opaque.
    PngFixture f{6, 1, PNG_COLOR_TYPE_PALETTE, 2, false, {0, 1, 2, 3, 1, 0}};
    f.palette = {{9, 9, 9}, {9, 9, 9}, {1, 2, 3}, {4, 5, 6}};
    f.paletteAlpha = {255, 0, 128, 0};
    auto decoded = decodePng(writePng(f));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.value().bitmap, expectedPixels(f));
    EXPECT_EQ(decoded.value().mask, (std::vector<std::uint8_t>{0, 1, 0, 1, 1, 0}));
}

TEST(PngDecode, IndicesPastThePaletteAreBlack)
{
    PngFixture f{5, 2, PNG_COLOR_TYPE_PALETTE, 8, true, {0, 1, 2, 255, 3, 2, 1, 0, 40, 2}};
    f.palette = somePalette(3);
    auto decoded = decodePng(writePng(f));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded.value().bitmap, expectedPixels(f));
    EXPECT_EQ(test::pixelAt(decoded.value().bitmap, 3, 0), 0u);
}

TEST(PngDecode, AgreesWithImageMagick)
{
    if (!test::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    test::TempDir dir;
    const PngFixture fixtures[] = {
        makeFixture(PNG_COLOR_TYPE_GRAY, 2, 7, 13, true),
        makeFixture(PNG_COLOR_TYPE_PALETTE, 4, 5, 4, false),
        makeFixture(PNG_COLOR_TYPE_RGB, 8, 33, 17, true),
        makeFixture(PNG_COLOR_TYPE_RGB, 16, 9, 5, false),
    };
    for (const PngFixture& f : fixtures) {
        const std::string path = dir.file("fixture.png");
        test::writeBytes(path, writePng(f));
        const auto converted = test::runCommand("convert '" + path + "' -depth 8 ppm:-");
        ASSERT_EQ(converted.exitCode, 0);
        auto decoded = decodePng(test::readBytes(path));
        ASSERT_TRUE(decoded);
        // ImageMagick rounds 16 bits to 8 where we cut to the high byte.
        const Bitmap reference = test::fromPnm({converted.out.begin(), converted.out.end()});
        EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, reference), f.depth == 16 ? 1 : 0)
            << "type " << f.colorType << " depth " << f.depth;
    }
}

// --- Hostile input ---

Bytes8 headerOnlyPng(std::uint32_t width, std::uint32_t height)
{
    Bytes8 png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Bytes8 chunks[] = {
        {'I', 'H', 'D', 'R'}, {'I', 'D', 'A', 'T', 0x78, 0x9C, 0x63, 0, 0, 0, 1, 0, 1}, {'I', 'E', 'N', 'D'}};
    Bytes8 ihdr = chunks[0];
    ihdr.resize(17);
    png_save_uint_32(&ihdr[4], width);
    png_save_uint_32(&ihdr[8], height);
    ihdr[12] = 8;
    ihdr[13] = PNG_COLOR_TYPE_RGB;
    for (const Bytes8& c : {ihdr, chunks[1], chunks[2]}) {
        png.resize(png.size() + 4);
        png_save_uint_32(&png[png.size() - 4], std::uint32_t(c.size() - 4));
        png.insert(png.end(), c.begin(), c.end());
        png.insert(png.end(), 4, 0);  // CRC, filled in below
    }
    fixCrcs(png);
    return png;
}

bool maskFits(const DecodedImage& image)
{
    return image.mask.empty() || image.mask.size() == std::size_t(image.bitmap.width()) * image.bitmap.height();
}

void expectSameImage(const Result<DecodedImage>& got, const DecodedImage& full, const std::string& what)
{
    if (!got)
        return;
    EXPECT_EQ(got.value().bitmap, full.bitmap) << what;
    EXPECT_EQ(got.value().mask, full.mask) << what;
}

TEST(PngHostile, TruncatedFilesFailOrDecodeWhole)
{
    PngFixture paletted = makeFixture(PNG_COLOR_TYPE_PALETTE, 4, 7, 5, true);
    paletted.paletteAlpha = {0, 255, 0};
    for (const PngFixture& f : {paletted, makeFixture(PNG_COLOR_TYPE_RGB, 16, 5, 3, false)}) {
        const Bytes8 file = writePng(f);
        auto full = decodePng(file);
        ASSERT_TRUE(full);
        for (std::size_t n = 0; n < file.size(); ++n)
            expectSameImage(decodePng(Bytes(file.data(), n)), full.value(), "prefix " + std::to_string(n));
    }
}

TEST(PngHostile, DamagedBytesNeverCrash)
{
    PngFixture f = makeFixture(PNG_COLOR_TYPE_PALETTE, 2, 6, 4, true);
    f.paletteAlpha = {0};
    for (const Bytes8& file : {writePng(f), writePng(makeFixture(PNG_COLOR_TYPE_GRAY, 1, 9, 3, false))})
        for (std::size_t i = 8; i < file.size(); ++i)
            for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
                Bytes8 damaged = file;
                damaged[i] ^= flip;
                fixCrcs(damaged);
                if (auto r = decodePng(damaged)) {
                    EXPECT_TRUE(maskFits(r.value()));
                }
            }
}

TEST(PngHostile, HugeHeaderNeedsAFileBigEnoughToHoldIt)
{
    // Deflate expands at most ~1032 times, so these cannot hold their pixels: refused before
    // anything is allocated, whatever the cap.
    for (std::uint32_t side : {20000u, 60000u}) {
        auto tiny = decodePng(headerOnlyPng(side, side));
        ASSERT_FALSE(tiny);
        EXPECT_EQ(tiny.error().code, ErrorCode::Corrupt) << side;
    }
    // Big enough to be real: then the cap decides.
    Bytes8 big = headerOnlyPng(60000, 60000);
    big.resize(11 << 20);
    auto capped = decodePng(big);
    ASSERT_FALSE(capped);
    EXPECT_EQ(capped.error().code, ErrorCode::TooLarge);
}

TEST(PngProbe, GivesTheDecodersSizeFromTheChunksBeforeTheImageData)
{
    for (const auto& [type, depths] : kAllTypes)
        for (bool interlaced : {false, true}) {
            const Bytes8 file = writePng(makeFixture(type, depths.back(), 7, 13, interlaced));
            const Bytes8 tag = {'I', 'D', 'A', 'T'};
            const std::size_t idat =
                std::size_t(std::search(file.begin(), file.end(), tag.begin(), tag.end()) - file.begin());
            const HeaderProbe probe = probePng(Bytes(file.data(), idat + 4), file.size());
            ASSERT_TRUE(probe.size) << probe.size.error().message;
            EXPECT_EQ(probe.size.value(), (PictureSize{7, 13}));
            const HeaderProbe cut = probePng(Bytes(file.data(), 20), file.size());
            EXPECT_FALSE(cut.size);
            EXPECT_TRUE(cut.needsMore);
        }
    // The same checks as the decoder: a header the file cannot hold, a size past the cap.
    const Bytes8 tiny = headerOnlyPng(60000, 60000);
    const HeaderProbe damaged = probePng(tiny, tiny.size()), tooLarge = probePng(tiny, 11 << 20);
    ASSERT_FALSE(damaged.size || tooLarge.size);
    EXPECT_EQ(damaged.size.error().code, ErrorCode::Corrupt);
    EXPECT_EQ(tooLarge.size.error().code, ErrorCode::TooLarge);
}

TEST(PngHostile, HighlyCompressedRealImageIsNotMistakenForABomb)
{
    PngFixture f{2000, 2000, PNG_COLOR_TYPE_RGB, 8};
    f.samples.assign(std::size_t(2000) * 2000 * 3, 0);
    auto decoded = decodePng(writePng(f));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(test::pixelAt(decoded.value().bitmap, 1999, 1999), 0u);
}

// libpng refuses sides past a million pixels unless told otherwise; PNG allows 2^31 - 1.
TEST(PngDecode, SidesPastAMillionPixelsRoundTrip)
{
    for (const auto& [w, h] : {std::pair{1000001, 2}, {2, 1000001}}) {
        const Bitmap source = test::noisePicture(w, h, 7);
        const auto png = encodePng(source);
        ASSERT_TRUE(png) << w << "x" << h << ": " << png.error().message;
        const auto back = decodePng(png.value());
        ASSERT_TRUE(back) << w << "x" << h << ": " << back.error().message;
        EXPECT_EQ(back.value().bitmap, source) << w << "x" << h;
        const PictureRegion end{w - 2, h - 2, 2, 2};
        const auto region = decodePngRegion(png.value(), end);
        ASSERT_TRUE(region) << w << "x" << h << ": " << region.error().message;
        EXPECT_EQ(region.value().bitmap, copyRegion(source, end.x, end.y, 2, 2)) << w << "x" << h;
    }
}

}  // namespace
}  // namespace trimlet
