#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstring>
#include <string>
#include <vector>

#include "codecs/jpeg.h"
#include "codecs/jxl.h"
#include "codecs/picture_file.h"
#include "imaging/photo.h"
#include "tests/codecs/tool_fixtures.h"

namespace trimlet {
namespace {

using Data = std::vector<std::uint8_t>;

class JxlFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::haveTools({"cjxl", "djxl", "convert"})); }

    std::string path(const std::string& name) { return dir.file(name); }
    // cjxl's file of a picture file, with its options.
    Data cjxl(const std::string& in, const std::string& args)
    {
        EXPECT_TRUE(test::ran("cjxl " + test::quoted(path(in)) + " " + test::quoted(path("c.jxl")) + " " + args));
        return test::readBytes(path("c.jxl"));
    }
    // What djxl makes of a file: its pixels turned upright, 8 bits, no profile applied.
    Bitmap djxl(const Data& jxl)
    {
        test::writeBytes(path("d.jxl"), jxl);
        EXPECT_TRUE(test::ran("djxl " + test::quoted(path("d.jxl")) + " " + test::quoted(path("d.ppm"))));
        return test::fromPnm(test::readBytes(path("d.ppm")));
    }

    test::TempDir dir;
};

TEST_F(JxlFiles, DecodesWhatCjxlWritesAsDjxlDoes)
{
    const Bitmap picture = test::photoLike(97, 61);
    test::writeBytes(path("in.ppm"), test::toPpm(picture));
    const Data lossless = cjxl("in.ppm", "-d 0");
    auto exact = decodeJxl(lossless);
    ASSERT_TRUE(exact) << exact.error().message;
    EXPECT_TRUE(exact.value().bitmap == picture);
    EXPECT_TRUE(exact.value().mask.empty() && exact.value().iccProfile.empty());
    for (const char* quality : {"-q 90", "-q 40", "-q 10"}) {
        const Data lossy = cjxl("in.ppm", quality);
        auto decoded = decodeJxl(lossy);
        ASSERT_TRUE(decoded) << quality << ": " << decoded.error().message;
        EXPECT_LE(test::maxChannelDifference(decoded.value().bitmap, djxl(lossy)), 1) << quality;
        EXPECT_GT(test::maxChannelDifference(decoded.value().bitmap, picture), 0) << quality;
    }

    // Alpha 0 becomes the mask; the colours stay as stored, partly transparent ones opaque.
    ASSERT_TRUE(test::ran("convert " + test::quoted(path("in.ppm")) +
                          " -alpha set -channel A -fx 'i<20?0:(i<40?0.5:1)' +channel " + test::quoted(path("a.png"))));
    auto withAlpha = decodeJxl(cjxl("a.png", "-d 0"));
    ASSERT_TRUE(withAlpha) << withAlpha.error().message;
    EXPECT_TRUE(withAlpha.value().bitmap == test::colourOf(path("a.png")));
    EXPECT_EQ(withAlpha.value().mask, test::clearOf(path("a.png")));

    const HeaderProbe probe = probeJxl(lossless, lossless.size());
    ASSERT_TRUE(probe.size);
    EXPECT_EQ(probe.size.value(), (PictureSize{97, 61}));
    EXPECT_EQ(kindForPath("x.JXL"), PictureKind::Jxl);
}

// A JPEG's EXIF orientation goes into the JPEG XL it is recompressed to; the picture comes out
// stored, with the orientation for the upright loaders, as djxl shows it.
TEST_F(JxlFiles, OrientationIsHandedOnAndProfilesConverted)
{
    const Bitmap picture = test::photoLike(48, 32);
    test::writeBytes(path("o.ppm"), test::toPpm(picture));
    ASSERT_TRUE(test::ran("convert " + test::quoted(path("o.ppm")) + " -quality 95 " + test::quoted(path("o.jpg"))));
    ASSERT_TRUE(test::ran("exiftool -q -overwrite_original -Orientation#=6 " + test::quoted(path("o.jpg"))));
    const Data turned = cjxl("o.jpg", "");
    test::writeBytes(path("o.jxl"), turned);
    auto stored = decodeJxl(turned);
    ASSERT_TRUE(stored) << stored.error().message;
    EXPECT_EQ(stored.value().orientation, 6);
    EXPECT_EQ(stored.value().bitmap.width(), 48);
    const HeaderProbe probe = probeJxl(turned, turned.size());
    EXPECT_EQ(probe.orientation, 6);
    auto upright = loadPictureUpright(path("o.jxl"));
    ASSERT_TRUE(upright) << upright.error().message;
    EXPECT_LE(test::maxChannelDifference(upright.value().bitmap(), djxl(turned)), 1);

    // A wide-gamut profile kept by a lossless file is converted as the PNG it came from is.
    cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
    cmsCIExyY white = {0.3127, 0.3290, 1};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.2);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    ASSERT_TRUE(cmsSaveProfileToFile(profile, path("wide.icc").c_str()));
    cmsCloseProfile(profile);
    cmsFreeToneCurve(curve);
    ASSERT_TRUE(test::ran("convert " + test::quoted(path("o.ppm")) + " -profile " + test::quoted(path("wide.icc")) +
                          " " + test::quoted(path("wide.png"))));
    const Data wide = cjxl("wide.png", "-d 0");
    auto fromJxl = decodeFileAsStored(PictureKind::Jxl, wide);
    auto fromPng = decodeFileAsStored(PictureKind::Png, test::readBytes(path("wide.png")));
    ASSERT_TRUE(fromJxl && fromPng);
    EXPECT_LE(test::maxChannelDifference(fromJxl.value().image.bitmap, fromPng.value().image.bitmap), 1);
    EXPECT_GT(test::maxChannelDifference(fromJxl.value().image.bitmap, picture), 8);  // converted at all
}

// Our files are read back by djxl at their size; quality 100 is lossless, and a whole JPEG
// recompressed comes back from djxl as its very bytes.
TEST_F(JxlFiles, WrittenFilesAreWhatDjxlReads)
{
    const Bitmap picture = test::photoLike(129, 67);
    for (const int quality : {100, 90, 30, 1}) {
        auto file = encodeJxl(picture, quality);
        ASSERT_TRUE(file) << file.error().message;
        const Bitmap back = djxl(file.value());
        ASSERT_EQ(back.width(), 129);
        ASSERT_EQ(back.height(), 67);
        if (quality == 100)
            EXPECT_TRUE(back == picture);
        else
            EXPECT_LE(test::maxChannelDifference(decodeJxl(file.value()).value().bitmap, back), 1) << quality;
    }
    EXPECT_LT(encodeJxl(picture, 30).value().size(), encodeJxl(picture, 90).value().size());
    EXPECT_FALSE(encodeJxl(picture, 0));
    EXPECT_FALSE(encodeJxl(Bitmap(), 90));
    EXPECT_DOUBLE_EQ(jxlDistanceForQuality(90), 1.0);
    EXPECT_DOUBLE_EQ(jxlDistanceForQuality(30), 6.4);
    EXPECT_DOUBLE_EQ(jxlDistanceForQuality(1), 25.0);  // cjxl's own formula gives 38.9, which libjxl refuses

    const Data jpeg = encodeJpeg(picture, 85).value();
    auto recompressed = transcodeJpegToJxl(jpeg);
    ASSERT_TRUE(recompressed) << recompressed.error().message;
    EXPECT_LT(recompressed.value().size(), jpeg.size());
    test::writeBytes(path("r.jxl"), recompressed.value());
    ASSERT_TRUE(test::ran("djxl " + test::quoted(path("r.jxl")) + " " + test::quoted(path("r.jpg"))));
    EXPECT_EQ(test::readBytes(path("r.jpg")), jpeg);
    EXPECT_FALSE(transcodeJpegToJxl(Data(jpeg.begin(), jpeg.begin() + 200)));
}

// Damage and cut-off files fail cleanly; no start of a file passes for the whole picture.
TEST_F(JxlFiles, TruncatedAndDamagedFilesFail)
{
    test::writeBytes(path("in.ppm"), test::toPpm(test::photoLike(64, 48)));
    for (const char* args : {"-d 0", "-q 80"}) {
        const Data file = cjxl("in.ppm", args);
        test::expectCutsNeverMakeUpPixels(
            file, [](Bytes b) { return decodeJxl(b); }, 41);
        Data damaged = file;
        for (std::size_t i = damaged.size() / 3; i < damaged.size(); i += 7)
            damaged[i] ^= 0x5A;
        auto decoded = decodeJxl(damaged);
        if (decoded) {
            EXPECT_EQ(decoded.value().bitmap.width(), 64);
        }
    }
    EXPECT_FALSE(decodeJxl(Data{0xFF, 0x0A}));
    Data huge = {0xFF, 0x0A, 0xFE, 0xF9, 0x00, 0x00, 0xF0, 0xCF, 0x07, 0x00, 0x10};  // 8000 x 8000
    huge.resize(huge.size() + 64, 0x55);
    EXPECT_EQ(probeJxl(huge, huge.size()).size.error().message, "damaged JPEG XL: file too small for its image size");
    EXPECT_EQ(decodeJxl(huge).error().message, "damaged JPEG XL: file too small for its image size");
    EXPECT_EQ(decodeJxl(Data(40, 'x')).error().message, "not a JPEG XL file");
    EXPECT_TRUE(looksLikeJxl(Data{0, 0, 0, 12, 'J', 'X', 'L', ' ', 13, 10, 0x87, 10}));
}

}  // namespace
}  // namespace trimlet
