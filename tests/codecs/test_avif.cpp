#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/avif.h"
#include "codecs/picture_file.h"
#include "tests/codecs/heif_boxes.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using Bytes8 = std::vector<std::uint8_t>;

class AvifReference : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::haveTools({"convert", "avifenc", "avifdec"}));
        src = dir.file("src.png");
        test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(37, 23)));
        ASSERT_TRUE(test::ran("convert " + test::quoted(dir.file("src.ppm")) + " " + test::quoted(src)));
    }
    std::string encode(const std::string& name, const std::string& options, const std::string& input = {})
    {
        const std::string path = dir.file(name);
        EXPECT_TRUE(test::ran("avifenc -s 10 " + options + " " + test::quoted(input.empty() ? src : input) + " " +
                              test::quoted(path)));
        return path;
    }
    // avifdec's 8-bit PNG of the file.
    std::string reference(const std::string& path)
    {
        const std::string out = path + ".png";
        EXPECT_TRUE(test::ran("avifdec --depth 8 " + test::quoted(path) + " " + test::quoted(out)));
        return out;
    }
    Result<DecodedImage> decodeFile(const std::string& path) { return decodeAvif(test::readBytes(path)); }

    test::TempDir dir;
    std::string src;
};

TEST_F(AvifReference, LosslessFilesGiveTheSourceExactly)
{
    const auto decoded = decodeFile(encode("lossless.avif", "--lossless"));
    ASSERT_TRUE(decoded) << decoded.error().message;
    EXPECT_EQ(decoded.value().bitmap, test::photoLike(37, 23));
    EXPECT_TRUE(decoded.value().mask.empty());
    EXPECT_EQ(decoded.value().orientation, 1);
    EXPECT_TRUE(decoded.value().iccProfile.empty());
}

TEST_F(AvifReference, LossyFilesEqualAvifdecAtEveryDepthAndSubsampling)
{
    for (const std::string& options :
         {std::string("-y 420"), std::string("-y 422"), std::string("-y 444"), std::string("-y 400"),
          std::string("-y 420 -d 10"), std::string("-y 444 -d 12"), std::string("-y 420 -r limited")}) {
        const std::string path = encode("lossy.avif", "--min 20 --max 30 " + options);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << options << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().bitmap, test::colourOf(reference(path))) << options;
        if (options != "-y 400") {  // grey
            EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, test::photoLike(37, 23)), 80) << options;
        }
    }
}

TEST_F(AvifReference, AlphaZeroIsTransparentAtEveryDepth)
{
    // Alpha 0 left of x = 10, a ramp through the lowest values in the middle, opaque right.
    const std::string withAlpha = dir.file("alpha.png");
    ASSERT_TRUE(test::ran("convert " + test::quoted(src) +
                          " \\( -size 37x23 xc:black -fill white -draw 'rectangle 21,0 36,22'"
                          " \\( -size 23x11 gradient:black-gray3 -rotate 90 \\) -geometry +10+0 -composite \\)"
                          " -alpha off -compose copy_opacity -composite -depth 16 png64:" +
                          test::quoted(withAlpha)));
    for (const std::string& options : {std::string("-d 8"), std::string("-d 10"), std::string("-d 12")}) {
        const std::string path = encode("alpha.avif", "--lossless " + options, withAlpha);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << options << ": " << decoded.error().message;
        const std::string ref = reference(path);
        EXPECT_EQ(decoded.value().bitmap, test::colourOf(ref)) << options;
        EXPECT_EQ(decoded.value().mask, test::clearOf(ref)) << options;
        EXPECT_EQ(decoded.value().mask[0], 1) << options;
        EXPECT_EQ(decoded.value().mask[36], 0) << options;
    }
}

TEST_F(AvifReference, RotationAndMirrorBecomeTheEquivalentExifOrientation)
{
    // irot turns anticlockwise; imir 0 exchanges top and bottom, 1 left and right.
    const struct {
        std::string options;
        int orientation;
    } cases[] = {
        {"", 1},
        {"--imir 1", 2},
        {"--irot 2", 3},
        {"--imir 0", 4},
        {"--irot 1 --imir 0", 5},
        {"--irot 3", 6},
        {"--irot 1 --imir 1", 7},
        {"--irot 1", 8},
        {"--irot 2 --imir 0", 2},
        {"--irot 3 --imir 1", 5},
        {"--irot 3 --imir 0", 7},
    };
    const Bitmap stored = decodeFile(encode("plain.avif", "--lossless")).value().bitmap;
    for (const auto& c : cases) {
        const std::string path = encode("turned.avif", "--lossless " + c.options);
        const auto decoded = decodeFile(path);
        ASSERT_TRUE(decoded) << c.options << ": " << decoded.error().message;
        EXPECT_EQ(decoded.value().orientation, c.orientation) << c.options;
        EXPECT_EQ(probePictureFile(path).value().orientation, c.orientation) << c.options;
        EXPECT_EQ(decoded.value().bitmap, stored) << c.options;
    }
}

TEST_F(AvifReference, IccProfileIsHandedOn)
{
    const std::string icc = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
    ASSERT_TRUE(test::fileExists(icc)) << "icc-profiles-free is not installed";
    const auto decoded = decodeFile(encode("icc.avif", "--icc " + icc));
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

TEST_F(AvifReference, HostileFilesFailCleanly)
{
    const Bytes8 file = test::readBytes(encode("small.avif", "--min 30 --max 40"));

    const Bytes8 huge = withSize(file, 60000, 60000);  // past libavif's own limits: refused while parsing
    EXPECT_FALSE(decodeAvif(huge));
    EXPECT_FALSE(probeAvif(huge, huge.size()).size);
    const Bytes8 large = withSize(file, 16000, 16000);  // within the cap, but far more than this file's bytes can hold
    EXPECT_EQ(decodeAvif(large).error().code, ErrorCode::Corrupt) << decodeAvif(large).error().message;
    // A frame of another size than the container's is scaled to it, as avifdec does, so
    // that the size info gives is the size a load gives.
    const Bytes8 lying = withSize(file, 40, 20);
    const std::string lyingPath = dir.file("lying.avif");
    test::writeBytes(lyingPath, lying);
    const auto scaled = decodeAvif(lying);
    ASSERT_TRUE(scaled) << scaled.error().message;
    EXPECT_EQ(scaled.value().bitmap, test::colourOf(reference(lyingPath)));
    EXPECT_EQ(probeAvif(lying, lying.size()).size.value(), (PictureSize{40, 20}));

    DecodeLimits small;
    small.maxBitmapBytes = 1000;
    EXPECT_EQ(decodeAvif(file, small).error().code, ErrorCode::TooLarge);
    EXPECT_EQ(probeAvif(file, file.size(), small).size.error().code, ErrorCode::TooLarge);

    Bytes8 flipped = file;
    for (std::size_t i = file.size() - 40; i < file.size(); ++i)
        flipped[i] ^= 0x5A;
    (void)decodeAvif(flipped);  // any outcome but a crash
    EXPECT_FALSE(decodeAvif(Bytes8{}));
    EXPECT_FALSE(decodeAvif(Bytes8(100, 0)));
}

TEST_F(AvifReference, ProbeAgreesAndCutsNeverMakeUpPixels)
{
    const Bytes8 file = test::readBytes(encode("cut.avif", "--min 20 --max 30"));
    const HeaderProbe whole = probeAvif(file, file.size());
    ASSERT_TRUE(whole.size) << whole.size.error().message;
    EXPECT_EQ(whole.size.value(), (PictureSize{37, 23}));
    const HeaderProbe head = probeAvif(Bytes(file.data(), 20), file.size());
    EXPECT_TRUE(head.needsMore);
    test::expectCutsNeverMakeUpPixels(file, [](Bytes b) { return decodeAvif(b); });
}

// Files other writers make that libavif's reading refuses and libheif's takes: without pixi,
// with two ipma boxes, with a clean aperture off the pixel grid. They open as heif-convert
// shows them; what neither library reads keeps libavif's own reason.
TEST_F(AvifReference, FilesOnlyLibheifReadsOpenAsHeifConvertShowsThem)
{
    ASSERT_TRUE(test::haveTools({"heif-convert"}));
    const test::boxes::Tile tile = test::boxes::tileOf(test::readBytes(encode("plain.avif", "--min 20 --max 30")));
    Bytes8 clap;  // 35 x 21 whose centre lies half a pixel right of the picture's
    for (const std::uint32_t v : {35u, 1u, 21u, 1u, 1u, 2u, 0u, 1u})
        test::boxes::put(clap, v, 4);
    const struct {
        const char* name;
        Bytes8 bytes;
        int width, height;
    } cases[] = {
        {"no-pixi.avif", test::boxes::singleAvif(tile, {}, false, "pixi"), 37, 23},
        {"two-ipma.avif", test::boxes::singleAvif(tile, {}, true), 37, 23},
        {"clap.avif", test::boxes::singleAvif(tile, {test::boxes::box("clap", clap)}), 35, 21},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        test::writeBytes(path, c.bytes);
        const auto decoded = decodeAvif(c.bytes);
        ASSERT_TRUE(decoded) << c.name << ": " << decoded.error().message;
        const std::string ref = path + ".png";
        ASSERT_TRUE(test::ran("heif-convert --quiet " + test::quoted(path) + " " + test::quoted(ref)));
        EXPECT_EQ(decoded.value().bitmap, test::colourOf(ref)) << c.name;
        const auto probed = probePictureFile(path);
        ASSERT_TRUE(probed) << c.name << ": " << probed.error().message;
        EXPECT_EQ(probed.value().size, (PictureSize{c.width, c.height})) << c.name;
    }
    // Neither reads an image without its av1C: the refusal names libavif's diagnostic.
    const Bytes8 none = test::boxes::singleAvif(tile, {}, false, "av1C");
    const auto refused = decodeAvif(none);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("av1C"), std::string::npos) << refused.error().message;
    EXPECT_NE(refused.error().message.find("libheif"), std::string::npos) << refused.error().message;
}

}  // namespace
}  // namespace trimlet
