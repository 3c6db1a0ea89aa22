#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/picture_file.h"
#include "codecs/png.h"
#include "codecs/tiff.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

void put16(Bytes8& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void put32(Bytes8& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A little-endian grey 8-bit TIFF of one strip holding data; the strip's place and length may
// be given to lie.
struct GreyTiff {
    std::uint32_t width = 4, height = 3;
    std::uint16_t compression = 1;
    Bytes8 data = Bytes8(12, 0x40);
    std::uint32_t stripOffset = 8;
    std::int64_t stripBytes = -1;  // -1: data.size()
};

Bytes8 build(const GreyTiff& t)
{
    Bytes8 b = {'I', 'I', 42, 0};
    put32(b, std::uint32_t(8 + t.data.size()));
    b.insert(b.end(), t.data.begin(), t.data.end());
    const std::uint32_t fields[][3] = {
        {256, 4, t.width},
        {257, 4, t.height},
        {258, 3, 8},
        {259, 3, t.compression},
        {262, 3, 1},
        {273, 4, t.stripOffset},
        {277, 3, 1},
        {278, 4, t.height},
        {279, 4, std::uint32_t(t.stripBytes < 0 ? t.data.size() : t.stripBytes)},
    };
    put16(b, std::size(fields));
    for (const auto& f : fields) {
        put16(b, f[0]), put16(b, f[1]), put32(b, 1);
        if (f[1] == 3)
            put16(b, f[2]), put16(b, 0);
        else
            put32(b, f[2]);
    }
    put32(b, 0);
    return b;
}

Bytes8 deflated(const Bytes8& raw)
{
    Bytes8 out(compressBound(uLong(raw.size())));
    uLongf n = uLongf(out.size());
    compress(out.data(), &n, raw.data(), uLong(raw.size()));
    out.resize(n);
    return out;
}

TEST(TiffDecode, HandMadeGreyStripGivesItsSamples)
{
    GreyTiff t;
    t.data = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 255};
    const auto decoded = decodeTiff(build(t));
    ASSERT_TRUE(decoded) << decoded.error().message;
    const Bitmap& b = decoded.value().bitmap;
    ASSERT_EQ(b.width(), 4);
    ASSERT_EQ(b.height(), 3);
    EXPECT_EQ(test::pixelAt(b, 1, 0), 0x0A0A0Au);
    EXPECT_EQ(test::pixelAt(b, 3, 2), 0xFFFFFFu);
    EXPECT_TRUE(decoded.value().mask.empty());
    EXPECT_EQ(decoded.value().orientation, 1);
    EXPECT_EQ(probeTiff(build(t), build(t).size()).size.value(), (PictureSize{4, 3}));
}

TEST(TiffDecode, DeclaredSizesBeyondTheDataFailBeforeAllocating)
{
    GreyTiff huge;
    huge.width = huge.height = 100000;
    EXPECT_EQ(decodeTiff(build(huge)).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(probeTiff(build(huge), 1 << 20).size.error().code, ErrorCode::TooLarge);

    GreyTiff packed;  // 400 MB of grey from a hundred bytes of deflate
    packed.width = packed.height = 20000;
    packed.compression = 8;
    packed.data = deflated(Bytes8(20000, 0));
    const auto small = decodeTiff(build(packed));
    ASSERT_FALSE(small);
    EXPECT_EQ(small.error().code, ErrorCode::Corrupt) << small.error().message;
    EXPECT_TRUE(probeTiff(build(packed), build(packed).size()).size);  // the header alone is fine

    // Compressed strips whose place or length lies (libtiff repairs only uncompressed ones).
    GreyTiff lying;
    lying.compression = 8;
    lying.data = deflated(Bytes8(12, 0x40));
    ASSERT_TRUE(decodeTiff(build(lying)));
    for (const auto& [offset, bytes] : {std::pair<std::uint32_t, std::int64_t>{1 << 20, -1}, {8, 5000}}) {
        lying.stripOffset = offset;
        lying.stripBytes = bytes;
        const auto decoded = decodeTiff(build(lying));
        ASSERT_FALSE(decoded) << offset << " " << bytes;
        EXPECT_EQ(decoded.error().code, ErrorCode::Corrupt) << decoded.error().message;
    }
    GreyTiff zero;
    zero.width = 0;
    EXPECT_FALSE(decodeTiff(build(zero)));
    EXPECT_FALSE(decodeTiff(Bytes8{'I', 'I', 42, 0, 8, 0, 0, 0}));
    EXPECT_FALSE(decodeTiff(Bytes8{}));
}

TEST(TiffDecode, DamagedCompressedDataFails)
{
    GreyTiff t;
    t.width = 64, t.height = 64, t.compression = 8;
    Bytes8 raw(64 * 64);
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = std::uint8_t(i * 7 + i / 64);
    t.data = deflated(raw);
    ASSERT_TRUE(decodeTiff(build(t)));
    t.data.resize(t.data.size() / 2);  // the strip ends early: libtiff would leave zeros
    EXPECT_EQ(decodeTiff(build(t)).error().code, ErrorCode::Corrupt);
}

class TiffReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::haveTools({"convert", "tiffcp", "tiff2rgba", "tiffset"}));
        src = dir.file("src.ppm");
        test::writeBytes(src, test::toPpm(test::photoLike(37, 23)));
    }
    std::string make(const std::string& name, const std::string& command)
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(test::ran(command + " " + test::quoted(path)));
        return path;
    }
    // libtiff's own rendering: tiff2rgba without alpha, read back by ImageMagick.
    Bitmap libtiffOf(const std::string& path)
    {
        const std::string out = dir.file("rgba.tif");
        EXPECT_TRUE(test::ran("tiff2rgba -n -c none " + test::quoted(path) + " " + test::quoted(out)));
        return test::colourOf(out);
    }
    Result<DecodedImage> decodeFile(const std::string& path) { return decodeTiff(test::readBytes(path)); }

    test::TempDir dir;
    std::string src;
};

TEST_F(TiffReference, EveryLayoutEqualsLibtiffsOwnRendering)
{
    const std::string s = "convert " + test::quoted(src);
    const std::string rgb = make("rgb.tif", s + " -compress none");
    const struct {
        std::string name, command;
    } cases[] = {
        {"rgb.tif", ""},
        {"lzw.tif", "tiffcp -c lzw:2 " + test::quoted(rgb)},
        {"deflate.tif", "tiffcp -c zip " + test::quoted(rgb)},
        {"packbits.tif", "tiffcp -c packbits " + test::quoted(rgb)},
        {"jpeg.tif", "tiffcp -c jpeg:90 " + test::quoted(rgb)},
        {"ycbcr-jpeg.tif", "tiffcp -c jpeg:r:75 " + test::quoted(rgb)},
        {"tiled.tif", "tiffcp -t -w 16 -l 16 -c lzw " + test::quoted(rgb)},
        {"separate.tif", "tiffcp -p separate " + test::quoted(rgb)},
        {"strips-of-5.tif", "tiffcp -r 5 -c zip " + test::quoted(rgb)},
        {"bigendian.tif", "tiffcp -B " + test::quoted(rgb)},
        {"grey.tif", s + " -colorspace Gray -compress lzw"},
        {"grey4.tif", s + " -colorspace Gray -depth 4"},
        {"bilevel.tif", s + " -monochrome -compress group4"},
        {"palette.tif", s + " -colors 13 -type Palette"},
        {"rgb16.tif", s + " -depth 16 -compress zip"},
        {"grey16.tif", s + " -colorspace Gray -depth 16"},
        {"cmyk.tif", s + " -colorspace CMYK"},
    };
    for (const auto& c : cases) {
        const std::string path = c.command.empty() ? rgb : make(c.name, c.command);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, libtiffOf(path)) << c.name;
        EXPECT_TRUE(decoded.value().mask.empty()) << c.name;
        EXPECT_TRUE(decoded.value().iccProfile.empty()) << c.name;
    }
    EXPECT_EQ(decodeFile(rgb).value().bitmap, test::photoLike(37, 23));
}

// One rule for deep samples in every format: the high byte, as the PNG decoder keeps it.
TEST_F(TiffReference, SixteenBitSamplesKeepTheirHighByteAsInPng)
{
    // Gradients whose 16-bit values round up where their high byte does not.
    const std::string deep = " -size 37x23 gradient:'rgb(0,128,255)-rgb(255,1,3)' -depth 16";
    for (const std::string& extra : {std::string(""), std::string(" -colorspace Gray"), std::string(" -alpha set")}) {
        const std::string tif = make("deep.tif", "convert" + deep + extra + " -compress zip");
        const std::string png = dir.file("deep.png");
        ASSERT_TRUE(test::ran("convert " + test::quoted(tif) + " png64:" + test::quoted(png)));
        const auto fromTiff = decodeFile(tif);
        const auto fromPng = decodePng(test::readBytes(png));
        ASSERT_TRUE(fromTiff && fromPng) << extra;
        EXPECT_EQ(fromTiff.value().bitmap, fromPng.value().bitmap) << extra;
        EXPECT_NE(fromTiff.value().bitmap, test::colourOf(tif)) << extra << ": the gradient rounds like its high byte";
    }
}

TEST_F(TiffReference, AlphaKeepsStoredColoursAndMarksOnlyClearPixels)
{
    // Alpha 0 left of x = 10, half transparent in the middle, opaque on the right.
    const std::string alphaArgs =
        " \\( -size 37x23 xc:black -fill gray50 -draw 'rectangle 10,0 20,22'"
        " -fill white -draw 'rectangle 21,0 36,22' \\) -alpha off -compose copy_opacity"
        " -composite";
    const std::string s = "convert " + test::quoted(src) + alphaArgs;
    for (const std::string& name :
         {std::string("rgba.tif"), std::string("rgba16.tif"), std::string("grey-alpha.tif")}) {
        const std::string extra = name == "rgba16.tif"       ? " -depth 16"
                                  : name == "grey-alpha.tif" ? " -colorspace Gray"
                                                             : "";
        const std::string path = make(name, s + extra + " -compress lzw");
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << name << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, test::colourOf(path)) << name;
        EXPECT_EQ(decoded.value().mask, test::clearOf(path)) << name;
        EXPECT_EQ(decoded.value().mask[9], 1) << name;
        EXPECT_EQ(decoded.value().mask[10], 0) << name;
    }
}

TEST_F(TiffReference, AssociatedAlphaIsDividedOutOfTheColours)
{
    // The colours as the file holds them: the same file with its alpha said to be unassociated.
    const auto asStored = [](Bytes8 file) {
        const Bytes8 entry = {0x52, 0x01, 3, 0, 1, 0, 0, 0, 1, 0};  // ExtraSamples, one SHORT: associated
        const auto at = std::search(file.begin(), file.end(), entry.begin(), entry.end());
        EXPECT_NE(at, file.end());
        if (at != file.end())
            at[8] = 2;
        return decodeTiffThroughRgba(file).value().bitmap;
    };
    // Every alpha from 0 to 255 across the picture.
    const std::string s = "convert " + test::quoted(src) +
                          " \\( -size 23x37 gradient:black-white -rotate 90 \\) -alpha off -compose copy_opacity"
                          " -composite -define tiff:alpha=associated -depth 8";
    for (const std::string& extra : {std::string(" -compress lzw"), std::string(" -colorspace Gray")}) {
        const std::string path = make("associated.tif", s + extra);
        const Bytes8 file = test::readBytes(path);
        Bitmap expected = asStored(file);
        const test::CommandResult alpha =
            test::runCommand("convert " + test::quoted(path) + " -alpha extract -depth 8 gray:-");
        ASSERT_EQ(alpha.out.size(), 37u * 23u);
        int below = 0;  // ImageMagick rounds down where we round to nearest
        const Bitmap magick = test::colourOf(path);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37 * 3; ++x) {
                const unsigned a = std::uint8_t(alpha.out[std::size_t(y) * 37 + std::size_t(x) / 3]);
                std::uint8_t& c = expected.row(y)[x];
                if (a != 0)
                    c = std::uint8_t(std::min(255u, (c * 255u + a / 2) / a));
                below += magick.row(y)[x] + 1 == c;
                EXPECT_TRUE(magick.row(y)[x] == c || magick.row(y)[x] + 1 == c) << extra << " " << x / 3 << "," << y;
            }
        EXPECT_GT(below, 0) << extra;
        for (const bool rgbaReader : {false, true}) {
            const auto decoded = rgbaReader ? decodeTiffThroughRgba(file) : decodeTiff(file);
            ASSERT_TRUE(decoded) << extra << ": " << decoded.error().message;
            EXPECT_EQ(decoded.value().bitmap, expected) << extra << (rgbaReader ? " through the RGBA reader" : "");
            EXPECT_EQ(decoded.value().mask, test::clearOf(path)) << extra;
        }
    }
    // 16-bit samples: their high bytes divided, by strips as by the RGBA reader.
    const Bytes8 deep = test::readBytes(make("associated16.tif", s + " -depth 16 -compress zip"));
    EXPECT_EQ(decodeTiff(deep).value().bitmap, decodeTiffThroughRgba(deep).value().bitmap);
    EXPECT_NE(decodeTiff(deep).value().bitmap, asStored(deep));
}

TEST_F(TiffReference, OrientationAndProfileAreHandedOnWithRowsAsStored)
{
    const std::string plain = make("plain.tif", "convert " + test::quoted(src) + " -compress zip");
    const Bitmap stored = decodeFile(plain).value().bitmap;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const std::string path = make("o.tif", "cp " + test::quoted(plain));
        ASSERT_TRUE(test::ran("tiffset -s 274 " + std::to_string(orientation) + " " + test::quoted(path)));
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded.value().orientation, orientation);
        EXPECT_EQ(decoded.value().bitmap, stored) << orientation;
        // info reads the headers only, and must know the shown size as well.
        EXPECT_EQ(probePictureFile(path).value().orientation, orientation);
    }
    // Values out of range, which tiffset refuses to write, count as 1 as in JPEG and PNG.
    Bytes8 file = test::readBytes(dir.file("o.tif"));
    const Bytes8 entry = {0x12, 0x01, 3, 0, 1, 0, 0, 0, 8, 0};  // Orientation, one SHORT: 8
    const auto at = std::search(file.begin(), file.end(), entry.begin(), entry.end());
    ASSERT_NE(at, file.end());
    for (const unsigned value : {9u, 0u, 0xFFFFu}) {
        at[8] = std::uint8_t(value), at[9] = std::uint8_t(value >> 8);
        for (const auto& decode : {&decodeTiff, &decodeTiffThroughRgba}) {
            const auto decoded = decode(file, {});
            ASSERT_TRUE(decoded) << value << ": " << decoded.error().message;
            EXPECT_EQ(decoded.value().orientation, 1) << value;
            EXPECT_EQ(decoded.value().bitmap, stored) << value;
        }
        EXPECT_EQ(probeTiff(file, file.size()).orientation, 1) << value;
    }
    const std::string icc = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    ASSERT_TRUE(test::fileExists(icc)) << "icc-profiles-free is not installed";
    const std::string profiled = make("icc.tif", "convert " + test::quoted(src) + " -profile " + icc);
    EXPECT_EQ(decodeFile(profiled).value().iccProfile, test::readBytes(icc));
    // CMYK goes through libtiff's own conversion, so its profile would describe other values.
    const std::string cmyk = make("cmyk-icc.tif", "convert " + test::quoted(src) + " -colorspace CMYK -profile " + icc);
    ASSERT_NE(test::runCommand("tiffinfo " + test::quoted(cmyk)).out.find("ICC Profile: <present>"), std::string::npos);
    EXPECT_TRUE(decodeFile(cmyk).value().iccProfile.empty());
}

TEST_F(TiffReference, ProbeAgreesAndCutsNeverMakeUpPixels)
{
    for (const std::string& flags : {std::string("-c lzw"), std::string("-t -w 16 -l 16 -c zip"),
                                     std::string("-c jpeg:90 -r 16"), std::string("-c none")}) {
        const std::string rgb = make("rgb.tif", "convert " + test::quoted(src) + " -compress none");
        const std::string path = make("cut.tif", "tiffcp " + flags + " " + test::quoted(rgb));
        const Bytes8 file = test::readBytes(path);
        const HeaderProbe whole = probeTiff(file, file.size());
        ASSERT_TRUE(whole.size) << flags;
        EXPECT_EQ(whole.size.value(), (PictureSize{37, 23})) << flags;
        const HeaderProbe head = probeTiff(Bytes(file.data(), 16), file.size());
        EXPECT_TRUE(head.needsMore || head.size) << flags;
        test::expectCutsNeverMakeUpPixels(file, [](Bytes b) { return decodeTiff(b); });
    }
    // ImageMagick writes the directory after the pixels: info reads on past its first read.
    const std::string large = dir.file("large.tif");
    ASSERT_TRUE(test::ran("convert -size 300x200 gradient:red-blue -depth 8 -compress none " + test::quoted(large)));
    const auto probed = probePictureFile(large);
    ASSERT_TRUE(probed) << probed.error().message;
    EXPECT_EQ(probed.value().kind, PictureKind::Tiff);
    EXPECT_EQ(probed.value().size, (PictureSize{300, 200}));
}

}  // namespace
}  // namespace trimlet
