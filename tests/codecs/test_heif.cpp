#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/heif.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

class HeifReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::haveTools({"convert", "heif-enc", "heif-convert"}));
        src = dir.file("src.png");
        test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(37, 23)));
        ASSERT_TRUE(test::ran("convert " + test::quoted(dir.file("src.ppm")) + " " + test::quoted(src)));
    }
    std::string encode(const std::string& name, const std::string& options, const std::string& input = {})
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(test::ran("heif-enc " + options + " -o " + test::quoted(path) + " " +
                              test::quoted(input.empty() ? src : input)));
        return path;
    }
    // heif-convert's PNG of the file.
    std::string reference(const std::string& path)
    {
        const std::string out = path + ".png";
        EXPECT_TRUE(test::ran("heif-convert --quiet " + test::quoted(path) + " " + test::quoted(out)));
        return out;
    }
    Result<DecodedImage> decodeFile(const std::string& path) { return decodeHeif(test::readBytes(path)); }

    test::TempDir dir;
    std::string src;
};

TEST_F(HeifReference, FilesEqualHeifConvertsOutput)
{
    for (const std::string& options : {std::string("-q 50"), std::string("-q 90 -p chroma=444"),
                                       std::string("-q 70 -p chroma=422"), std::string("-L -p chroma=444")}) {
        const std::string path = encode("photo.heic", options);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << options << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, test::colourOf(reference(path))) << options;
        EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, test::photoLike(37, 23)), 80) << options;
        EXPECT_TRUE(decoded.value().mask.empty()) << options;
        EXPECT_EQ(decoded.value().orientation, 1) << options;
        EXPECT_TRUE(decoded.value().iccProfile.empty()) << options;
    }
}

TEST_F(HeifReference, DeeperSamplesKeepTheirHighBits)
{
    const std::string deep = dir.file("src16.png");
    ASSERT_TRUE(test::ran("convert " + test::quoted(src) + " -depth 16 png48:" + test::quoted(deep)));
    for (const std::string& bits : {std::string("10"), std::string("12")}) {
        const std::string path = encode("deep.heic", "-q 80 -b " + bits, deep);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << bits << ": " << decoded.error().message;
        // heif-convert writes 16-bit samples; their high bytes are libheif's own 8-bit reduction.
        const test::CommandResult raw =
            test::runCommand("convert " + test::quoted(reference(path)) + " -alpha off -depth 16 -endian MSB rgb:-");
        ASSERT_EQ(raw.out.size(), std::size_t(37 * 23 * 6)) << bits;
        Bitmap high(37, 23);
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                for (int c = 0; c < 3; ++c)  // big-endian RGB to BGR
                    high.row(y)[3 * x + 2 - c] = std::uint8_t(raw.out[std::size_t(((y * 37 + x) * 3 + c) * 2)]);
        EXPECT_EQ(decoded.value().bitmap, high) << bits;
    }
}

TEST_F(HeifReference, AlphaZeroIsTransparent)
{
    const std::string withAlpha = dir.file("alpha.png");
    ASSERT_TRUE(test::ran("convert " + test::quoted(src) +
                          " \\( -size 37x23 xc:black -fill gray50 -draw 'rectangle 10,0 20,22'"
                          " -fill white -draw 'rectangle 21,0 36,22' \\) -alpha off -compose copy_opacity"
                          " -composite png32:" +
                          test::quoted(withAlpha)));
    const std::string path = encode("alpha.heic", "-q 90", withAlpha);
    const auto decoded = decodeFile(path);
    ASSERT_TRUE(decoded) << decoded.error().message;
    const std::string ref = reference(path);
    EXPECT_EQ(decoded.value().bitmap, test::colourOf(ref));
    EXPECT_EQ(decoded.value().mask, test::clearOf(ref));
    EXPECT_EQ(decoded.value().mask[0], 1);
    EXPECT_EQ(decoded.value().mask[36], 0);
}

TEST_F(HeifReference, IccProfileIsHandedOn)
{
    const std::string icc = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    ASSERT_TRUE(test::fileExists(icc)) << "icc-profiles-free is not installed";
    const std::string profiled = dir.file("icc.png");
    ASSERT_TRUE(test::ran("convert " + test::quoted(src) + " -profile " + icc + " " + test::quoted(profiled)));
    const auto decoded = decodeFile(encode("icc.heic", "-q 80", profiled));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().iccProfile, test::readBytes(icc));
}

// Every ispe box of the file (libheif's encoder may write more than one) given the size.
Bytes8 withSize(Bytes8 file, std::uint32_t width, std::uint32_t height)
{
    for (std::size_t i = 4; i + 16 <= file.size(); ++i) {
        if (file[i] != 'i' || file[i + 1] != 's' || file[i + 2] != 'p' || file[i + 3] != 'e')
            continue;
        for (std::size_t b = 0; b < 4; ++b) {
            file[i + 8 + b] = std::uint8_t(width >> (24 - 8 * b));
            file[i + 12 + b] = std::uint8_t(height >> (24 - 8 * b));
        }
    }
    return file;
}

// heif-enc writes each picture as a grid of one tile; its descriptor (in the idat box) gives
// the grid's own output size, which libheif allocates.
Bytes8 withGridSize(Bytes8 file, std::uint16_t width, std::uint16_t height)
{
    const std::string box = "idat";
    const auto at = std::search(file.begin(), file.end(), box.begin(), box.end());
    EXPECT_NE(at, file.end()) << "no grid";
    if (at != file.end() && at[5] == 0) {  // 16-bit sizes
        at[8] = std::uint8_t(width >> 8), at[9] = std::uint8_t(width);
        at[10] = std::uint8_t(height >> 8), at[11] = std::uint8_t(height);
    }
    return file;
}

TEST_F(HeifReference, HostileFilesFailCleanly)
{
    // Even sides: an odd size is coded larger and cut by a clap box, which keeps the size
    // whatever ispe says.
    const std::string even = dir.file("even.png");
    ASSERT_TRUE(test::ran("convert " + test::quoted(src) + " -resize '64x48!' " + test::quoted(even)));
    const Bytes8 file = test::readBytes(encode("small.heic", "-q 30", even));

    const Bytes8 huge = withSize(file, 60000, 60000);
    EXPECT_EQ(decodeHeif(huge).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(probeHeif(huge, huge.size()).size.error().code, ErrorCode::TooLarge);
    const Bytes8 large = withSize(file, 16000, 16000);  // within the cap, but far more than this file's bytes can hold
    EXPECT_EQ(decodeHeif(large).error().code, ErrorCode::Corrupt) << decodeHeif(large).error().message;

    // A grid larger than the picture's declared size: never allocated, and never a picture of
    // another size than the probe told.
    for (const std::uint16_t side : {100, 60000}) {
        const auto grid = decodeHeif(withGridSize(file, side, side));
        ASSERT_FALSE(grid) << side;
        EXPECT_EQ(grid.error().code, ErrorCode::Corrupt) << grid.error().message;
    }

    DecodeLimits small;
    small.maxBitmapBytes = 1000;
    EXPECT_EQ(decodeHeif(file, small).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(probeHeif(file, file.size(), small).size.error().code, ErrorCode::TooLarge);

    Bytes8 flipped = file;
    for (std::size_t i = file.size() - 40; i < file.size(); ++i)
        flipped[i] ^= 0x5A;
    (void)decodeHeif(flipped);  // any outcome but a crash
    EXPECT_FALSE(decodeHeif(Bytes8{}));
    EXPECT_FALSE(decodeHeif(Bytes8(100, 0)));
}

TEST_F(HeifReference, ProbeAgreesAndCutsNeverMakeUpPixels)
{
    const Bytes8 file = test::readBytes(encode("cut.heic", "-q 60"));
    const HeaderProbe whole = probeHeif(file, file.size());
    ASSERT_TRUE(whole.size) << whole.size.error().message;
    EXPECT_EQ(whole.size.value(), (PictureSize{37, 23}));
    const HeaderProbe head = probeHeif(Bytes(file.data(), 20), file.size());
    EXPECT_TRUE(head.needsMore);
    test::expectCutsNeverMakeUpPixels(file, [](Bytes b) { return decodeHeif(b); });
}

}  // namespace
}  // namespace trimlet
