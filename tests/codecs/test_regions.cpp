// The region decodes of PNG, TIFF and WebP against the whole decode, byte for byte.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "codecs/picture_file.h"
#include "codecs/png.h"
#include "codecs/tiff.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;

// Regions at odd and even offsets, of odd and even sizes, touching every edge.
std::vector<PictureRegion> regionsOf(int w, int h)
{
    std::vector<PictureRegion> out{
        {0, 0, w, h}, {0, 0, 1, 1}, {w - 1, h - 1, 1, 1}, {0, h - 1, w, 1}, {w - 1, 0, 1, h}};
    for (int x : {1, 2, 3, 15, 17, 33})
        for (int y : {0, 1, 2, 5, 16, 19})
            for (int size : {1, 6, 17})
                if (x < w && y < h)
                    out.push_back({x, y, std::min(size + x % 5, w - x), std::min(size + y % 3, h - y)});
    out.push_back({w / 3, h / 3, w - w / 3, h - h / 3});  // to the bottom-right corner
    return out;
}

void expectRegionsMatch(PictureKind kind, const Data& file, const Result<DecodedImage>& whole, const std::string& what)
{
    ASSERT_TRUE(whole) << what << ": " << whole.error().message;
    const DecodedImage& w = whole.value();
    // From memory, and from the file read as needed.
    const test::TempDir dir;
    const std::string path = dir.file(std::string("region.") + kindName(kind));
    test::writeBytes(path, file);
    for (const PictureRegion r : regionsOf(w.bitmap.width(), w.bitmap.height())) {
        SCOPED_TRACE(what + " region " + std::to_string(r.x) + "," + std::to_string(r.y) + " " +
                     std::to_string(r.width) + "x" + std::to_string(r.height));
        const DecodedImage expected = regionOfImage(w, r);
        for (const auto& part : {decodeRegionAsStored(kind, file, r, {.colourManagement = false}),
                                 loadRegionAsStored(path, r, {.colourManagement = false})}) {
            ASSERT_TRUE(part) << part.error().message;
            EXPECT_EQ(part.value().bitmap, expected.bitmap);
            EXPECT_EQ(part.value().mask, expected.mask);
            EXPECT_EQ(part.value().orientation, w.orientation);
        }
    }
}

Result<DecodedImage> wholeOf(PictureKind kind, const Data& file)
{
    auto decoded = decodeFileAsStored(kind, file, {.colourManagement = false});
    if (!decoded)
        return decoded.error();
    return std::move(decoded.value().image);
}

void appendTo(png_structp png, png_bytep data, png_size_t n)
{
    auto* out = static_cast<Data*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

// A PNG of pseudo-random samples down to row flatFrom, zeros below; 16-bit and palette files
// mark some pixels clear through tRNS, alpha files through their alpha.
Data pngOf(int w, int h, int colorType, int depth, bool interlaced, int orientation, int flatFrom = 1 << 30)
{
    Data out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendTo, nullptr);
    png_set_check_for_invalid_index(png, 0);  // indices past the palette are black
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), depth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back({std::uint8_t(i * 37), std::uint8_t(255 - i * 11), std::uint8_t(i * 91)});
    const png_byte clear[] = {255, 0, 255, 128};
    png_color_16 key{0, 0, 0, 0, 0};
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, palette.data(), int(palette.size()));
        png_set_tRNS(png, info, clear, 4, nullptr);
    } else if (depth == 16 && !(colorType & PNG_COLOR_MASK_ALPHA)) {
        png_set_tRNS(png, info, nullptr, 0, &key);  // zero samples are clear
    }
    png_byte exif[] = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 1, 3, 0, 1, 0, 0, 0, std::uint8_t(orientation),
                       0,   0,   0,  0, 0, 0, 0};
    if (orientation != 1)
        png_set_eXIf_1(png, info, sizeof exif, exif);
    png_write_info(png, info);
    const int channels = colorType == PNG_COLOR_TYPE_RGB    ? 3
                         : colorType == PNG_COLOR_TYPE_RGBA ? 4
                         : colorType == PNG_COLOR_TYPE_GA   ? 2
                                                            : 1;
    const std::size_t rowBytes = (std::size_t(w) * channels * depth + 7) / 8;
    std::vector<Data> rows(static_cast<std::size_t>(h), Data(rowBytes));
    std::uint32_t seed = 5;
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (auto& byte : rows[y]) {
            seed = seed * 1664525u + 1013904223u;
            byte = std::uint8_t(seed >> 24);
            if ((seed >> 8) % 5 == 0 || int(y) >= flatFrom)
                byte = 0;  // some clear pixels and keys
            if (colorType == PNG_COLOR_TYPE_PALETTE && depth == 8)
                byte %= 20;  // some indices past the palette
        }
    std::vector<png_bytep> pointers;
    for (auto& r : rows)
        pointers.push_back(r.data());
    if (interlaced) {
        png_write_image(png, pointers.data());
    } else {
        // Each filter in turn, so unfiltering is checked for all of them.
        constexpr int kFilters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH};
        for (std::size_t y = 0; y < pointers.size(); ++y) {
            png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters[(y + 2) % 5]);
            png_write_row(png, pointers[y]);
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(PictureRegions, PngEqualsTheWholeDecode)
{
    const struct {
        int colorType, depth;
    } types[] = {{PNG_COLOR_TYPE_RGB, 8},    {PNG_COLOR_TYPE_RGB, 16},  {PNG_COLOR_TYPE_RGBA, 8},
                 {PNG_COLOR_TYPE_GRAY, 1},   {PNG_COLOR_TYPE_GRAY, 8},  {PNG_COLOR_TYPE_GRAY, 16},
                 {PNG_COLOR_TYPE_GA, 8},     {PNG_COLOR_TYPE_RGBA, 16}, {PNG_COLOR_TYPE_PALETTE, 4},
                 {PNG_COLOR_TYPE_PALETTE, 8}};
    int orientation = 1;
    for (const auto& t : types)
        for (bool interlaced : {false, true}) {
            const Data file = pngOf(67, 41, t.colorType, t.depth, interlaced, orientation % 8 + 1);
            ++orientation;
            expectRegionsMatch(PictureKind::Png, file, wholeOf(PictureKind::Png, file),
                               "PNG type " + std::to_string(t.colorType) + " depth " + std::to_string(t.depth) +
                                   (interlaced ? " interlaced" : ""));
        }
    // Files of several read windows, their rows crossing the windows' bounds, and with the
    // five filters; some with top rows that hold nearly all the image data, more than their share.
    const test::TempDir dir;
    const struct {
        int colorType, flatFrom;
    } bigs[] = {{PNG_COLOR_TYPE_RGB, 1 << 30},
                {PNG_COLOR_TYPE_RGB, 700},
                {PNG_COLOR_TYPE_RGBA, 650},
                {PNG_COLOR_TYPE_GRAY, 1 << 30}};
    for (const auto& b : bigs) {
        const Data big = pngOf(1283, 917, b.colorType, 8, false, 1, b.flatFrom);
        const auto whole = wholeOf(PictureKind::Png, big);
        ASSERT_TRUE(whole);
        test::writeBytes(dir.file("big.png"), big);
        for (const PictureRegion r :
             {PictureRegion{0, 0, 1283, 917}, {1000, 900, 283, 17}, {3, 400, 500, 1}, {10, 600, 900, 99}}) {
            const auto part = loadRegionAsStored(dir.file("big.png"), r);
            ASSERT_TRUE(part) << part.error().message;
            EXPECT_EQ(part.value().bitmap, regionOfImage(whole.value(), r).bitmap) << b.colorType;
            const auto inMemory = decodePngRegion(big, r);
            ASSERT_TRUE(inMemory) << inMemory.error().message;
            EXPECT_EQ(inMemory.value().bitmap, part.value().bitmap);
        }
    }
}

class TiffRegions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::haveTools({"convert", "tiffcp", "tiffset"}));
        test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(67, 41)));
        // Clear pixels in a diagonal pattern.
        ASSERT_TRUE(test::ran("convert " + dir.file("src.ppm") +
                              " -alpha set -channel A -fx '(i+j)%5==0?0:0.5+j/100' +channel " + dir.file("alpha.png")));
        // Above a megapixel, so that a region of it is shared out to the cores.
        test::writeBytes(dir.file("big.ppm"), test::toPpm(test::photoLike(1283, 917)));
    }
    Data make(const std::string& command)
    {
        const std::string path = dir.file("t.tif");
        EXPECT_TRUE(test::ran(command + " " + path));
        return test::readBytes(path);
    }
    test::TempDir dir;
};

TEST_F(TiffRegions, EqualTheRgbaReadersWholeDecodeOnOneCoreAndTwo)
{
    const std::string src = dir.file("src.ppm"), alpha = dir.file("alpha.png"), big = dir.file("big.ppm");
    const std::string rgb = dir.file("rgb.tif");
    ASSERT_TRUE(test::ran("convert " + src + " -compress none " + rgb));
    const struct {
        const char* name;
        std::string command;
    } cases[] = {
        {"strips", "convert " + src + " -compress none"},
        {"LZW strips of 5", "tiffcp -r 5 -c lzw:2 " + rgb},
        {"Deflate tiles", "tiffcp -t -w 16 -l 32 -c zip " + rgb},
        {"PackBits big-endian", "tiffcp -B -c packbits " + rgb},
        {"RGBA", "convert " + alpha + " -compress lzw"},
        {"RGBA tiles", "convert " + alpha + " -define tiff:tile-geometry=16x16"},
        {"grey", "convert " + src + " -colorspace Gray -compress zip"},
        {"grey alpha", "convert " + alpha + " -colorspace Gray"},
        {"grey 16", "convert " + src + " -colorspace Gray -depth 16"},
        {"RGB 16 tiles", "convert " + src + " -depth 16 -define tiff:tile-geometry=32x16"},
        {"RGBA 16", "convert " + alpha + " -depth 16"},
        {"palette", "convert " + src + " -colors 13 -type Palette"},
        {"separate", "tiffcp -p separate " + rgb},
        {"JPEG", "tiffcp -c jpeg:r:75 " + rgb},
        {"big LZW strips", "convert " + big + " -compress lzw"},
        {"big tiles", "convert " + big + " -define tiff:tile-geometry=64x64 -compress zip"},
    };
    int orientation = 1;
    for (const auto& c : cases) {
        Data file = make(c.command);
        // Every orientation tag comes along with rows as stored.
        const std::string path = dir.file("t.tif");
        ASSERT_TRUE(test::ran("tiffset -s 274 " + std::to_string(orientation) + " " + path));
        file = test::readBytes(path);
        orientation = orientation % 8 + 1;
        const auto reference = decodeTiffThroughRgba(file, {.colourManagement = false});
        for (int threads : {1, 2}) {
            setThreadLimit(threads);
            const std::string what = std::string(c.name) + " on " + std::to_string(threads) + " threads";
            const auto whole = decodeTiff(file, {.colourManagement = false});
            ASSERT_TRUE(whole && reference) << what;
            EXPECT_EQ(whole.value().bitmap, reference.value().bitmap) << what;
            EXPECT_EQ(whole.value().mask, reference.value().mask) << what;
            expectRegionsMatch(PictureKind::Tiff, file, reference, what);
        }
        setThreadLimit(0);
    }
}

TEST(PictureRegions, WebpEqualsTheWholeDecode)
{
    ASSERT_TRUE(test::haveTools({"cwebp"}));
    test::TempDir dir;
    test::writeBytes(dir.file("in.ppm"), test::toPpm(test::photoLike(203, 117, 9)));
    ASSERT_TRUE(test::ran("convert " + dir.file("in.ppm") +
                          " -alpha set -channel A -fx '(i+j)%5==0?0:0.5+j/300' +channel " + dir.file("alpha.png")));
    for (const std::string args :
         {"-q 75 in.ppm", "-q 20 -f 100 -sharp_yuv in.ppm", "-lossless in.ppm", "-q 60 alpha.png",
          "-lossless -exact alpha.png", "-q 90 -sns 0 -segments 1 in.ppm"}) {
        ASSERT_TRUE(test::ran("cd " + dir.path() + " && cwebp -quiet " + args + " -o out.webp"));
        const Data file = test::readBytes(dir.file("out.webp"));
        expectRegionsMatch(PictureKind::Webp, file, wholeOf(PictureKind::Webp, file), args);
    }
}

// Damage inside the region fails it as it fails the whole decode; a region of a PNG's or a
// striped TIFF's rows above the damage, which is never read, still comes out whole.
TEST_F(TiffRegions, DamageInsideTheRegionFailsItCleanly)
{
    const std::string src = dir.file("src.ppm");
    ASSERT_TRUE(test::ran("convert " + src + " " + dir.file("p.png")));
    ASSERT_TRUE(test::ran("cwebp -quiet -q 70 " + src + " -o " + dir.file("w.webp")));
    const struct {
        PictureKind kind;
        Data file;
        bool truncate;
    } cases[] = {
        {PictureKind::Png, test::readBytes(dir.file("p.png")), false},
        {PictureKind::Tiff, make("convert " + src + " -define tiff:rows-per-strip=2 -compress lzw"), false},
        {PictureKind::Tiff, make("convert " + src + " -define tiff:tile-geometry=16x16 -compress lzw"), false},
        {PictureKind::Webp, test::readBytes(dir.file("w.webp")), true},
    };
    const PictureRegion all{0, 0, 67, 41}, bottom{30, 37, 20, 4}, top{5, 0, 40, 2};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind));
        Data damaged = c.file;
        const std::size_t at = damaged.size() * 3 / 5;
        if (c.truncate)
            damaged.resize(at);
        else
            std::fill_n(damaged.begin() + std::ptrdiff_t(at), 48, 0xFF);
        ASSERT_FALSE(wholeOf(c.kind, damaged));
        // A TIFF's damage stays in its strip or tile; a PNG's or WebP's reaches every row below it.
        const std::string path = dir.file(std::string("damaged.") + kindName(c.kind));
        test::writeBytes(path, damaged);
        for (const PictureRegion r : {all, c.kind == PictureKind::Tiff ? all : bottom})
            for (const auto& part : {decodeRegionAsStored(c.kind, damaged, r), loadRegionAsStored(path, r)}) {
                ASSERT_FALSE(part);
                EXPECT_EQ(part.error().code, ErrorCode::Corrupt) << part.error().message;
            }
        const auto above = loadRegionAsStored(path, top);
        if (c.kind == PictureKind::Webp) {
            EXPECT_FALSE(above);  // a lossy frame's damage shows only at its end
            continue;
        }
        ASSERT_TRUE(above) << above.error().message;
        EXPECT_EQ(above.value().bitmap, decodeRegionAsStored(c.kind, c.file, top).value().bitmap);
    }
    // A lossy frame's damage shows only as data that ends too soon, after the rows it spoilt:
    // where the whole decode fails, no region of it may pass.
    const Data webp = test::readBytes(dir.file("w.webp"));
    int failed = 0;
    for (std::size_t at = webp.size() / 4; at < webp.size(); at += 7) {
        Data damaged = webp;
        std::fill_n(damaged.begin() + std::ptrdiff_t(at), std::min<std::size_t>(8, damaged.size() - at), 0xFF);
        if (wholeOf(PictureKind::Webp, damaged))
            continue;
        ++failed;
        EXPECT_FALSE(decodeRegionAsStored(PictureKind::Webp, damaged, top)) << "damage at " << at;
    }
    EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace trimlet
