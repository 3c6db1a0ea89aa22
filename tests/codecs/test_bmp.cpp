#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <functional>

#include "codecs/bmp.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using File = std::vector<std::uint8_t>;
using Masks = std::array<std::uint32_t, 3>;

void put(File& f, std::size_t at, std::uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        f[at + i] = std::uint8_t(v >> 8 * i);
}

std::uint32_t get(const File& f, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | f[at + i];
    return v;
}

struct Layout {
    const char* name;
    int headerBytes, bits;
    std::uint32_t compression;
    int width, height;  // negative height: rows from the top
    std::uint32_t colorsUsed = 0;
    Masks masks{};
};

// Writes a BMP from its parts, independently of the reader under test.
File compose(const Layout& c, const std::vector<std::uint32_t>& paletteRgb, const File& pixels)
{
    const bool core = c.headerBytes == 12;
    const std::size_t masksAfter = c.headerBytes == 40 && c.compression == 3 ? 12 : 0;
    const std::size_t offset = 14 + c.headerBytes + masksAfter + paletteRgb.size() * (core ? 3 : 4);
    File f(offset);
    f[0] = 'B', f[1] = 'M';
    put(f, 2, std::uint32_t(offset + pixels.size()), 4), put(f, 10, std::uint32_t(offset), 4);
    put(f, 14, c.headerBytes, 4);
    if (core) {
        put(f, 18, c.width, 2), put(f, 20, c.height, 2), put(f, 22, 1, 2), put(f, 24, c.bits, 2);
    } else {
        put(f, 18, c.width, 4), put(f, 22, c.height, 4), put(f, 26, 1, 2), put(f, 28, c.bits, 2);
        put(f, 30, c.compression, 4), put(f, 34, std::uint32_t(pixels.size()), 4), put(f, 46, c.colorsUsed, 4);
        if (masksAfter || c.headerBytes >= 52)
            put(f, 54, c.masks[0], 4), put(f, 58, c.masks[1], 4), put(f, 62, c.masks[2], 4);
        if (c.headerBytes >= 56)
            put(f, 66, 0xFF000000, 4);  // an alpha mask, to be ignored
    }
    std::size_t at = 14 + c.headerBytes + masksAfter;
    for (std::uint32_t rgb : paletteRgb)
        put(f, at, rgb, 3), at += core ? 3 : 4;
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}

// The colour a 16- or 32-bit sample stands for: each field as round(v × 255 / fieldMax).
std::uint32_t fieldsRgb(const Layout& c, std::uint32_t sample)
{
    const Masks m = c.compression == 3 ? c.masks
                    : c.bits == 16     ? Masks{0x7C00, 0x3E0, 0x1F}
                                       : Masks{0xFF0000, 0xFF00, 0xFF};
    std::uint32_t rgb = 0;
    for (std::uint32_t mask : m) {
        const int shift = mask ? std::countr_zero(mask) : 0;
        const std::uint32_t v = (sample & mask) >> shift;
        const int bits = std::popcount(mask);
        // Fields wider than 16 bits give their top 8 bits.
        rgb = rgb << 8 | (mask == 0   ? 0
                          : bits > 16 ? v >> (bits - 8)
                                      : std::uint32_t(std::lround(v * 255.0 / (mask >> shift))));
    }
    return rgb;
}

// A file of pseudo-random samples in the given layout, and the pixels it must decode to.
std::pair<File, Bitmap> sampleFile(const Layout& c)
{
    std::uint32_t state = 7;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; c.bits <= 8 && i < (c.colorsUsed ? c.colorsUsed : 1u << c.bits); ++i)
        palette.push_back(next() >> 8);
    const int rows = std::abs(c.height);
    const std::size_t stride = (std::size_t(c.width) * c.bits + 31) / 32 * 4;
    File pixels(stride * rows);
    std::vector<std::vector<std::uint32_t>> expected(rows);
    for (int y = 0; y < rows; ++y) {
        std::uint8_t* row = pixels.data() + stride * (c.height < 0 ? y : rows - 1 - y);
        for (int x = 0; x < c.width; ++x) {
            const std::uint32_t r = next();
            const std::uint32_t v = c.bits <= 8 ? (r >> 16) % palette.size() : c.bits == 32 ? r : r >> (32 - c.bits);
            if (c.bits < 8)
                row[x * c.bits / 8] |= std::uint8_t(v << (8 - c.bits - x * c.bits % 8));
            for (int i = 0; i < c.bits / 8; ++i)
                row[x * c.bits / 8 + i] = std::uint8_t(v >> 8 * i);
            expected[y].push_back(c.bits <= 8 ? palette[v] : fieldsRgb(c, v));
        }
    }
    return {compose(c, palette, pixels), test::bitmapFromRows(expected)};
}

const Layout kLayouts[] = {
    {"core1", 12, 1, 0, 5, 3},
    {"core4", 12, 4, 0, 3, 2},
    {"core8", 12, 8, 0, 7, 3},
    {"core24", 12, 24, 0, 5, 2},
    {"core8ShortPalette", 12, 8, 0, 5, 2, 9},  // entries end where the pixels start
    {"bits1", 40, 1, 0, 33, 3},
    {"bits1TopDown", 40, 1, 0, 9, -2},
    {"bits4", 40, 4, 0, 5, 3},
    {"bits4FewColours", 40, 4, 0, 3, 2, 5},
    {"bits8", 40, 8, 0, 3, 4},
    {"bits8FewColours", 40, 8, 0, 5, 3, 17},
    {"bits8TopDown", 40, 8, 0, 1, -3},
    {"bits16", 40, 16, 0, 5, 3},
    {"bits16TopDown", 40, 16, 0, 3, -2},
    {"fields565", 40, 16, 3, 3, 2, 0, {0xF800, 0x7E0, 0x1F}},
    {"fieldsZeroGreen", 40, 16, 3, 1, 2, 0, {0xF800, 0, 0x1F}},
    {"bits24Width1", 40, 24, 0, 1, 1},
    {"bits24", 40, 24, 0, 5, 3},
    {"bits24TopDown", 40, 24, 0, 3, -4},
    {"bits32", 40, 32, 0, 3, 2},
    {"fields32", 40, 32, 3, 3, 2, 0, {0xFF0000, 0xFF00, 0xFF}},
    {"fields32Swapped", 40, 32, 3, 2, 2, 0, {0xFF, 0xFF00, 0xFF0000}},
    {"fields10Bit", 40, 32, 3, 5, 2, 0, {0x3FF00000, 0xFFC00, 0x3FF}},
    {"fieldsWide", 40, 32, 3, 5, 3, 0, {0xFFFFF000, 0xF00, 0xFF}},
    {"fields32BitRed", 40, 32, 3, 3, 2, 0, {0xFFFFFFFF, 0, 0}},
    {"fields17Bit", 40, 32, 3, 4, 2, 0, {0x1FFFF, 0x3FFE0000, 0}},
    {"header52", 52, 16, 3, 3, 3, 0, {0xF800, 0x7E0, 0x1F}},
    {"header56", 56, 32, 3, 3, -2, 0, {0xFF0000, 0xFF00, 0xFF}},
    {"header64", 64, 8, 0, 5, 2},
    {"header108", 108, 24, 0, 3, 3},
    {"header108Bits4", 108, 4, 0, 7, -2, 3},
    {"header124Fields", 124, 16, 3, 5, 2, 0, {0x7C00, 0x3E0, 0x1F}},
    {"header124Bits32", 124, 32, 0, 1, 3},
};

TEST(BmpDecode, EveryLayoutGivesTheStoredPixels)
{
    for (const Layout& c : kLayouts) {
        const auto [file, expected] = sampleFile(c);
        auto decoded = decodeBmp(file);
        ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, expected) << c.name;
        EXPECT_TRUE(decoded.value().mask.empty()) << c.name;
    }
}

// Run-length data and the index rows it stands for, from the top; entry i is paletteRgb(i).
struct RleCase {
    const char* name;
    int bits, width, height;
    File data;
    std::vector<std::vector<std::uint32_t>> indexRows;
};

std::uint32_t paletteRgb(std::uint32_t i) { return 0x102030 + i * 0x0B0503; }

File rleFile(int bits, int width, int height, const File& data)
{
    std::vector<std::uint32_t> palette;
    for (std::uint32_t i = 0; i < 16; ++i)
        palette.push_back(paletteRgb(i));
    return compose({"", 40, bits, bits == 8 ? 1u : 2u, width, height, 16}, palette, data);
}

const RleCase kRleCases[] = {
    // encoded run, odd absolute run with padding, end of line, delta, even absolute run, end of bitmap
    {"rle8Mixed",
     8,
     6,
     4,
     {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 0, 0, 4, 1, 2, 3, 4, 2, 6, 0, 1},
     {{1, 2, 3, 4, 6, 6}, {0, 0, 5, 5, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 1, 2, 3, 4}}},
    {"rle8NoEndMark", 8, 2, 2, {2, 1, 0, 0, 2, 3}, {{3, 3}, {1, 1}}},
    {"rle8EarlyEnd", 8, 3, 2, {1, 5, 0, 1}, {{0, 0, 0}, {5, 0, 0}}},
    {"rle8RunsIntoRowPadding", 8, 3, 2, {3, 2, 1, 0, 0, 0, 0, 4, 1, 2, 3, 4}, {{1, 2, 3}, {2, 2, 2}}},
    {"rle4Mixed",
     4,
     7,
     2,
     {3, 0x12, 0, 4, 0x34, 0x56, 0, 0, 0, 5, 0x67, 0x89, 0xA0, 0, 2, 0xBC, 0, 1},
     {{6, 7, 8, 9, 10, 11, 12}, {1, 2, 1, 3, 4, 5, 6}}},
    {"rle4Delta", 4, 4, 3, {0, 2, 1, 1, 2, 0x34, 0, 0, 4, 0x56}, {{5, 6, 5, 6}, {0, 3, 4, 0}, {0, 0, 0, 0}}},
    // Runs that cross the end of a row go on in the next row up: an encoded run of 7 over a
    // 5-wide row, an absolute run of 5 from column 2, a run that ends the picture.
    {"rle8RunsWrap",
     8,
     5,
     3,
     {7, 1, 0, 5, 2, 3, 4, 5, 6, 0, 3, 7, 0, 1},
     {{5, 6, 7, 7, 7}, {1, 1, 2, 3, 4}, {1, 1, 1, 1, 1}}},
    {"rle4RunsWrap", 4, 5, 2, {7, 0x12, 0, 3, 0x34, 0x50, 0, 1}, {{2, 1, 3, 4, 5}, {1, 2, 1, 2, 1}}},
    // A run may end in the last row's padding; an end of line after a run that crossed into
    // the next row goes to the line after the one the run started in.
    {"rle8EndOfLineAfterWrap", 8, 3, 2, {4, 2, 0, 0, 3, 5, 0, 1}, {{5, 5, 5}, {2, 2, 2}}},
    {"rle8DeltaAcrossRowEnd", 8, 3, 2, {1, 1, 0, 2, 3, 0, 1, 4, 0, 1}, {{0, 4, 0}, {1, 0, 0}}},
};

TEST(BmpDecode, RunLengthDataGivesTheEncodedPixels)
{
    for (const RleCase& c : kRleCases) {
        std::vector<std::vector<std::uint32_t>> rows = c.indexRows;
        for (auto& row : rows)
            for (auto& v : row)
                v = paletteRgb(v);
        auto decoded = decodeBmp(rleFile(c.bits, c.width, c.height, c.data));
        ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, test::bitmapFromRows(rows)) << c.name;
    }
}

// The wrapping files as ImageMagick reads them: the same pixels, as an independent reference.
TEST(BmpDecode, WrappingRunsAgreeWithImageMagick)
{
    if (!test::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick convert not installed";
    test::TempDir dir;
    for (const RleCase& c : kRleCases) {
        if (!std::string(c.name).ends_with("Wrap"))
            continue;
        const File file = rleFile(c.bits, c.width, c.height, c.data);
        test::writeBytes(dir.file("wrap.bmp"), file);
        const std::string ppm = test::runCommand("convert '" + dir.file("wrap.bmp") + "' -depth 8 ppm:-").out;
        auto decoded = decodeBmp(file);
        ASSERT_TRUE(decoded) << c.name;
        EXPECT_EQ(decoded.value().bitmap, test::fromPnm(std::vector<std::uint8_t>(ppm.begin(), ppm.end()))) << c.name;
    }
}

Bitmap magickDecode(const std::string& path)
{
    const std::string ppm = test::runCommand("convert '" + path + "' -depth 8 ppm:-").out;
    return test::fromPnm(std::vector<std::uint8_t>(ppm.begin(), ppm.end()));
}

TEST(Bmp, AgreesWithImageMagickBothWays)
{
    if (!test::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick convert not installed";
    test::TempDir dir;
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(37, 23)));
    // ImageMagick widens 5- and 6-bit fields by repeating their top bits, which is one off
    // round(v × 255 / fieldMax) for a few values; everything else must match exactly.
    const std::pair<const char*, int> variants[] = {
        {"bmp2:", 0},
        {"bmp3:", 0},
        {"bmp:", 0},
        {"-alpha on bmp:", 0},  // 12-, 40-, 124-byte headers
        {"-type Palette -compress None bmp3:", 0},
        {"-type Palette -compress None bmp2:", 0},
        {"-colors 16 -type Palette -compress None bmp3:", 0},
        {"-type Bilevel bmp3:", 0},
        {"-type Palette -compress RLE bmp3:", 0},
        {"-type Palette -compress RLE bmp:", 0},
        {"-define bmp:subtype=RGB555 bmp:", 1},
        {"-define bmp:subtype=RGB565 bmp:", 1},
    };
    for (const auto& [options, tolerance] : variants) {
        const std::string path = dir.file("out.bmp");
        ASSERT_EQ(test::runCommand("convert '" + dir.file("src.ppm") + "' " + options + "'" + path + "'").exitCode, 0)
            << options;
        auto decoded = decodeBmp(test::readBytes(path));
        ASSERT_TRUE(decoded) << options << ": " << decoded.error().message;
        const Bitmap theirs = magickDecode(path);
        const Bitmap& mine = decoded.value().bitmap;
        ASSERT_EQ(std::pair(mine.width(), mine.height()), std::pair(theirs.width(), theirs.height())) << options;
        EXPECT_LE(test::maxChannelDifference(mine, theirs), tolerance) << options;
    }
    for (int w : {1, 6, 37}) {
        const Bitmap ours = test::photoLike(w, 9, 3);
        test::writeBytes(dir.file("ours.bmp"), encodeBmp(ours));
        EXPECT_EQ(magickDecode(dir.file("ours.bmp")), ours) << w;
    }
}

// Files that must fail, and how.
struct Broken {
    const char* name;
    std::function<File()> file;
    ErrorCode code;
};

File patched(const Layout& c, std::size_t at, std::uint32_t v, int bytes)
{
    File f = sampleFile(c).first;
    put(f, at, v, bytes);
    return f;
}

const Layout kBits8{"bits8", 40, 8, 0, 5, 3, 4};
const Layout kBits16{"fields", 40, 16, 3, 3, 2, 0, {0xF800, 0x7E0, 0x1F}};

File rle8(const File& data) { return rleFile(8, 4, 2, data); }

const Broken kBroken[] = {
    {"signature", [] { return patched(kBits8, 0, 'B' | 'A' << 8, 2); }, ErrorCode::Corrupt},
    {"tooShort",
     [] {
         return File{'B', 'M', 0, 0};
     },
     ErrorCode::Corrupt},
    {"headerSize13", [] { return patched(kBits8, 14, 13, 4); }, ErrorCode::Unsupported},
    {"headerSize39", [] { return patched(kBits8, 14, 39, 4); }, ErrorCode::Unsupported},
    {"headerPastFile", [] { return patched(kBits8, 14, 0xFFFFFFF0, 4); }, ErrorCode::Corrupt},
    {"planes2", [] { return patched(kBits8, 26, 2, 2); }, ErrorCode::Corrupt},
    {"bits2", [] { return patched(kBits8, 28, 2, 2); }, ErrorCode::Unsupported},
    {"widthZero", [] { return patched(kBits8, 18, 0, 4); }, ErrorCode::Corrupt},
    {"widthNegative", [] { return patched(kBits8, 18, 0xFFFFFFFF, 4); }, ErrorCode::Corrupt},
    {"heightZero", [] { return patched(kBits8, 22, 0, 4); }, ErrorCode::Corrupt},
    {"heightMin", [] { return patched(kBits8, 22, 0x80000000, 4); }, ErrorCode::Corrupt},
    {"hugeHeaderTinyFile",
     [] {
         File f = patched(kBits8, 18, 60000, 4);
         put(f, 22, 60000, 4);
         return f;
     },
     ErrorCode::TooLarge},
    {"sizeFarBeyondData",
     [] {
         File f = patched(kBits8, 18, 10000, 4);
         put(f, 22, 10000, 4);
         return f;
     },
     ErrorCode::Corrupt},
    {"dataShortByOne",
     [] {
         File f = sampleFile(kBits8).first;
         f.pop_back();
         return f;
     },
     ErrorCode::Corrupt},
    {"dataOffsetPastFile", [] { return patched(kBits8, 10, 100000, 4); }, ErrorCode::Corrupt},
    {"dataOffsetInHeader", [] { return patched(kBits8, 10, 20, 4); }, ErrorCode::Corrupt},
    {"indexPastPalette",
     [] {
         File f = sampleFile(kBits8).first;
         f[get(f, 10, 4) + 1] = 4;
         return f;
     },
     ErrorCode::Corrupt},
    {"jpegCompression", [] { return patched(kBits8, 30, 4, 4); }, ErrorCode::Unsupported},
    {"alphaBitFields", [] { return patched(kBits16, 30, 6, 4); }, ErrorCode::Unsupported},
    {"cmyk", [] { return patched(kBits8, 30, 11, 4); }, ErrorCode::Unsupported},
    {"bitFieldsOn8Bits", [] { return patched(kBits8, 30, 3, 4); }, ErrorCode::Unsupported},
    {"rle4On8Bits", [] { return patched(kBits8, 30, 2, 4); }, ErrorCode::Corrupt},
    {"maskWithGap", [] { return patched(kBits16, 54, 0xF001, 4); }, ErrorCode::Corrupt},
    {"maskPastPixel", [] { return patched(kBits16, 54, 0x1F0000, 4); }, ErrorCode::Corrupt},
    {"rleTopDown",
     [] {
         File f = rle8({4, 1, 4, 1});
         put(f, 22, std::uint32_t(-2), 4);
         return f;
     },
     ErrorCode::Corrupt},
    {"rleRunPastRowPadding",
     [] {
         return rleFile(8, 3, 1, {5, 1});
     },
     ErrorCode::Corrupt},
    {"rleAbsolutePastLastRow",
     [] {
         return rle8({0, 0, 1, 1, 0, 4, 1, 1, 1, 1});
     },
     ErrorCode::Corrupt},
    {"rleRunPastLastRow",
     [] {
         return rle8({4, 1, 5, 1});
     },
     ErrorCode::Corrupt},
    {"rle4RunPastRowPadding",
     [] {
         return rleFile(4, 5, 1, {9, 0x11});
     },
     ErrorCode::Corrupt},
    {"rleDeltaPastRowThenNothing",
     [] {
         return rle8({0, 2, 5, 0});
     },
     ErrorCode::Corrupt},
    {"rleDeltaPastLastRow",
     [] {
         return rle8({0, 0, 0, 2, 5, 0});
     },
     ErrorCode::Corrupt},
    {"rleDeltaPastPicture",
     [] {
         return rle8({0, 2, 0, 2, 0, 1});
     },
     ErrorCode::Corrupt},
    {"rlePixelsAfterLastRow",
     [] {
         return rle8({0, 0, 0, 0, 1, 1});
     },
     ErrorCode::Corrupt},
    {"rleRunIndexPastPalette",
     [] {
         return rle8({2, 16, 0, 1});
     },
     ErrorCode::Corrupt},
    {"rleAbsoluteIndexPastPalette",
     [] {
         return rle8({0, 3, 1, 2, 99, 0, 0, 1});
     },
     ErrorCode::Corrupt},
    {"rleEndsMidPicture",
     [] {
         return rle8({4, 1, 0, 0, 2, 1});
     },
     ErrorCode::Corrupt},
    {"rleAbsoluteCutShort",
     [] {
         return rle8({0, 4, 1, 1});
     },
     ErrorCode::Corrupt},
};

TEST(BmpDecode, BrokenFilesFailWithTheirReason)
{
    for (const Broken& b : kBroken) {
        auto decoded = decodeBmp(b.file());
        ASSERT_FALSE(decoded) << b.name;
        EXPECT_EQ(decoded.error().code, b.code) << b.name << ": " << decoded.error().message;
    }
}

// The header probe gives what the decoder gives, from the headers alone, and asks for more of
// the file only while the headers go on.
TEST(BmpProbe, AgreesWithTheDecoderFromTheHeadersAlone)
{
    std::vector<File> files;
    for (const Layout& c : kLayouts)
        files.push_back(sampleFile(c).first);
    for (const RleCase& c : kRleCases)
        files.push_back(rleFile(c.bits, c.width, c.height, c.data));
    for (const File& file : files) {
        const auto decoded = decodeBmp(file);
        ASSERT_TRUE(decoded);
        const std::size_t headers =
            std::min<std::size_t>(file.size(), 14 + std::max<std::size_t>(52, get(file, 14, 4)));
        const HeaderProbe probe = probeBmp(Bytes(file.data(), headers), file.size());
        ASSERT_TRUE(probe.size) << probe.size.error().message;
        EXPECT_EQ(probe.size.value(), (PictureSize{decoded.value().bitmap.width(), decoded.value().bitmap.height()}));
        EXPECT_TRUE(probeBmp(Bytes(file.data(), 20), file.size()).needsMore);
    }
    for (const Broken& b : kBroken) {
        const File file = b.file();
        const HeaderProbe probe = probeBmp(file, file.size());
        if (probe.size)  // only what the pixel data shows is left to the decoder
            continue;
        EXPECT_FALSE(probe.needsMore) << b.name;
        EXPECT_EQ(probe.size.error().code, b.code) << b.name;
    }
}

TEST(BmpDecode, SizeCapIsTheCallersLimit)
{
    const File file = sampleFile({"bits24", 40, 24, 0, 64, 64}).first;
    EXPECT_TRUE(decodeBmp(file, DecodeLimits{64 * 192}));
    auto refused = decodeBmp(file, DecodeLimits{64 * 192 - 1});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::TooLarge);
}

std::vector<File> validFiles()
{
    std::vector<File> files;
    for (const Layout& c : {kBits8, kBits16, Layout{"core4", 12, 4, 0, 3, 2}, Layout{"bits32", 124, 32, 0, 3, -2}})
        files.push_back(sampleFile(c).first);
    for (const RleCase& c : kRleCases)
        files.push_back(rleFile(c.bits, c.width, c.height, c.data));
    return files;
}

// Run under the sanitizers: each case gets a buffer of exactly its length.
TEST(BmpDecode, TruncatedOrFlippedFilesFailCleanly)
{
    for (const File& file : validFiles()) {
        auto full = decodeBmp(file);
        ASSERT_TRUE(full);
        for (std::size_t n = 0; n < file.size(); ++n) {
            auto prefix = decodeBmp(File(file.begin(), file.begin() + std::ptrdiff_t(n)));
            if (prefix) {  // only once every row is there
                EXPECT_EQ(prefix.value().bitmap, full.value().bitmap) << "prefix " << n << " of " << file.size();
            }
            for (std::uint8_t flip : {0x01, 0x80, 0xFF}) {
                File f = file;
                f[n] ^= flip;
                auto flipped = decodeBmp(f, DecodeLimits{1 << 20});
                if (flipped) {
                    EXPECT_FALSE(flipped.value().bitmap.empty());
                }
            }
        }
    }
}

TEST(BmpEncode, RoundTripsOddSizes)
{
    for (int w : {1, 2, 3, 5, 7, 13})
        for (int h : {1, 2, 5}) {
            const Bitmap b = test::photoLike(w, h, std::uint32_t(w * 10 + h));
            auto decoded = decodeBmp(encodeBmp(b));
            ASSERT_TRUE(decoded) << w << "x" << h;
            EXPECT_EQ(decoded.value().bitmap, b) << w << "x" << h;
        }
    EXPECT_TRUE(encodeBmp(Bitmap()).empty());
}

TEST(BmpEncode, HeaderFieldsAndRowOrder)
{
    const Bitmap b = test::bitmapFromRows({{0x010203, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0x0A0B0C, 0, 0, 0, 0x0D0E0F}});
    const File f = encodeBmp(b);
    ASSERT_EQ(f.size(), 54u + 16 * 3);
    // offset, byte count, value; pixels are bottom row first, blue byte first
    const std::array<std::uint32_t, 3> fields[] = {{0, 2, 'B' | 'M' << 8},
                                                   {2, 4, 102},
                                                   {6, 4, 0},
                                                   {10, 4, 54},
                                                   {14, 4, 40},
                                                   {18, 4, 5},
                                                   {22, 4, 3},
                                                   {26, 2, 1},
                                                   {28, 2, 24},
                                                   {30, 4, 0},
                                                   {34, 4, 48},
                                                   {38, 4, 0},
                                                   {42, 4, 0},
                                                   {46, 4, 0},
                                                   {50, 4, 0},
                                                   {54, 3, 0x0A0B0C},
                                                   {66, 3, 0x0D0E0F},
                                                   {69, 1, 0},
                                                   {86, 3, 0x010203}};
    for (const auto& [at, bytes, value] : fields)
        EXPECT_EQ(get(f, at, int(bytes)), value) << "offset " << at;
}

}  // namespace
}  // namespace trimlet
