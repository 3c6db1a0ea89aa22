#include <gtest/gtest.h>

#include <jpeglib.h>
#include <lcms2.h>

#include <algorithm>

#include "codecs/colour_profile.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "codecs/png.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/codecs/photo_fixtures.h"

namespace trimlet {
namespace {

using test::Data;
using test::quoted;

// ---- fixtures made with LittleCMS itself ------------------------------------------------------

int inksToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* toLab)
{
    const double k = in[3] / 65535.0;
    // Not the plain formula the decoder uses without a profile: inks darken a little more.
    double rgb[3];
    for (int i = 0; i < 3; ++i)
        rgb[i] = (1 - in[i] / 65535.0) * (1 - k) * (1 - 0.1 * in[i] / 65535.0);
    cmsCIELab lab;
    cmsDoTransform(toLab, rgb, &lab, 1);
    cmsFloat2LabEncoded(out, &lab);
    return TRUE;
}

Data saved(cmsHPROFILE profile)
{
    cmsUInt32Number size = 0;
    EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
    Data bytes(size);
    EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
    cmsCloseProfile(profile);
    return bytes;
}

// A CMYK printer profile: a 9-point table from inks to Lab.
Data cmykProfile()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(p, 4.3);
    cmsSetDeviceClass(p, cmsSigOutputClass);
    cmsSetColorSpace(p, cmsSigCmykData);
    cmsSetPCS(p, cmsSigLabData);
    cmsPipeline* table = cmsPipelineAlloc(nullptr, 4, 3);
    cmsStage* clut = cmsStageAllocCLut16bit(nullptr, 9, 4, 3, nullptr);
    cmsStageSampleCLut16bit(clut, inksToLab, toLab, 0);
    // Version 4 stores a table only between curves.
    cmsPipelineInsertStage(table, cmsAT_BEGIN, cmsStageAllocToneCurves(nullptr, 4, nullptr));
    cmsPipelineInsertStage(table, cmsAT_END, clut);
    cmsPipelineInsertStage(table, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
    cmsWriteTag(p, cmsSigAToB0Tag, table);
    cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsMLU* description = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(description, "en", "US", "inks");
    cmsWriteTag(p, cmsSigProfileDescriptionTag, description);
    cmsMLUfree(description);
    cmsPipelineFree(table);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return saved(p);
}

Data builtInSrgb() { return saved(cmsCreate_sRGBProfile()); }

// ---- pictures ----------------------------------------------------------------------------------

Bitmap decoded(PictureKind kind, const Data& file, bool managed = true)
{
    DecodeLimits limits;
    limits.colourManagement = managed;
    auto picture = decodePictureAsStored(kind, file, limits);
    EXPECT_TRUE(picture) << (picture ? "" : picture.error().message);
    return picture ? picture.value().bitmap() : Bitmap();
}

// Saturated colours, where Adobe RGB and sRGB differ most.
Data colourJpeg() { return encodeJpeg(test::noisePicture(64, 40, 3), 95).value(); }

Data greyJpeg()
{
    Data grey(48 * 30);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = std::uint8_t(i * 255 / grey.size());
    return test::libjpeg(grey, 48, 1, JCS_GRAYSCALE, [](j_compress_ptr c) { jpeg_set_quality(c, 95, TRUE); });
}

// Inks over the whole range, stored as Adobe's writers store them (255 = no ink) or plain.
Data cmykJpeg(bool adobe)
{
    const int w = 40, h = 24;
    Data inks(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                inks[std::size_t((y * w + x) * 4 + c)] = std::uint8_t((x * 6 + y * (c + 1) * 11 + c * 60) % 256);
    return test::libjpeg(inks, w, 4, JCS_CMYK, [adobe](j_compress_ptr c) {
        jpeg_set_quality(c, 95, TRUE);
        c->write_Adobe_marker = adobe ? TRUE : FALSE;
    });
}

// The ink amounts (0 = none) a CMYK JPEG decodes to, read as the decoder reads them.
Data inkSamples(const Data& jpeg, int& width, int& height)
{
    jpeg_decompress_struct c{};
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, jpeg.data(), jpeg.size());
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_CMYK;
    c.dct_method = JDCT_FLOAT;
    jpeg_start_decompress(&c);
    width = int(c.output_width);
    height = int(c.output_height);
    Data samples(std::size_t(width) * height * 4);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = samples.data() + std::size_t(c.output_scanline) * width * 4;
        jpeg_read_scanlines(&c, &row, 1);
    }
    const bool inverted = c.saw_Adobe_marker;
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    if (inverted)
        for (std::uint8_t& s : samples)
            s = std::uint8_t(255 - s);
    return samples;
}

class ProfiledFiles : public ::testing::Test {
protected:
    void SetUp() override { test::requireTools({"exiftool", "convert", "tificc"}); }

    Data file(const std::string& name) const { return test::readBytes(dir.file(name)); }
    Data tagged(const std::string& name, const Data& bytes, const std::string& profile)
    {
        test::writeBytes(dir.file(name), bytes);
        test::embedProfile(dir.file(name), profile);
        return file(name);
    }

    test::TempDir dir;
};

TEST_F(ProfiledFiles, AdobeRgbJpegEqualsLittleCmsInAnyChunking)
{
    const Data plain = colourJpeg();
    const Bitmap asStored = decoded(PictureKind::Jpeg, plain);
    const Bitmap reference = test::tificcReference(dir, asStored, test::kAdobeRgb, false);
    ASSERT_GT(test::maxChannelDifference(reference, asStored), 10);  // the profile matters here
    const Data profile = test::readBytes(test::kAdobeRgb);

    std::vector<std::pair<std::string, Data>> files{{"exiftool", tagged("a.jpg", plain, test::kAdobeRgb)}};
    for (int chunks : {1, 2, 5})
        files.emplace_back(std::to_string(chunks) + " chunks", test::withProfile(plain, profile, chunks));
    std::vector<std::pair<std::uint8_t, Data>> reversed;
    for (Data& chunk : test::iccChunks(profile, 3))
        reversed.insert(reversed.begin(), {0xE2, std::move(chunk)});
    files.emplace_back("chunks in reverse", test::withSegments(plain, reversed));

    for (const auto& [name, jpeg] : files) {
        const Bitmap shown = decoded(PictureKind::Jpeg, jpeg);
        EXPECT_LE(test::maxChannelDifference(shown, reference), 1) << name;
        EXPECT_EQ(decoded(PictureKind::Jpeg, jpeg, false), asStored) << name;
    }
}

// sRGB's primaries with a plain 1.8 curve: a few levels from sRGB, far less than Adobe RGB, so
// only an exact look at the profile tells it is not sRGB.
TEST_F(ProfiledFiles, ProfileCloseToSrgbIsStillConverted)
{
    cmsCIExyY white;
    cmsWhitePointFromTemp(&white, 6504);
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.30, 0.60, 1}, {0.15, 0.06, 1}};
    cmsToneCurve* curve = cmsBuildGamma(nullptr, 1.8);
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const Data profile = saved(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    ASSERT_FALSE(profile.empty());
    test::writeBytes(dir.file("near.icc"), profile);

    const Data plain = colourJpeg();
    const Bitmap asStored = decoded(PictureKind::Jpeg, plain);
    const Bitmap reference = test::tificcReference(dir, asStored, dir.file("near.icc"), false);
    const int apart = test::maxChannelDifference(reference, asStored);
    ASSERT_GT(apart, 1);
    ASSERT_LT(apart, 40);
    EXPECT_LE(test::maxChannelDifference(decoded(PictureKind::Jpeg, test::withProfile(plain, profile)), reference), 1);
}

TEST_F(ProfiledFiles, GreyJpegThroughAGreyProfileEqualsLittleCms)
{
    const Data plain = greyJpeg();
    const Bitmap asStored = decoded(PictureKind::Jpeg, plain);
    const Bitmap reference = test::tificcReference(dir, asStored, test::kGreyProfile, true);
    ASSERT_GT(test::maxChannelDifference(reference, asStored), 10);
    const Data jpeg = tagged("g.jpg", plain, test::kGreyProfile);
    EXPECT_LE(test::maxChannelDifference(decoded(PictureKind::Jpeg, jpeg), reference), 1);
    EXPECT_EQ(decoded(PictureKind::Jpeg, jpeg, false), asStored);
}

TEST_F(ProfiledFiles, CmykJpegThroughItsProfileEqualsLittleCms)
{
    const Data profile = cmykProfile();
    test::writeBytes(dir.file("cmyk.icc"), profile);
    for (bool adobe : {true, false}) {
        const Data plain = cmykJpeg(adobe);
        int w = 0, h = 0;
        const Data inks = inkSamples(plain, w, h);
        const Bitmap reference = test::tificcReference(dir, w, h, 4, inks, dir.file("cmyk.icc"));

        const Data jpeg = test::withProfile(plain, profile, 2);
        const Bitmap shown = decoded(PictureKind::Jpeg, jpeg);
        EXPECT_LE(test::maxChannelDifference(shown, reference), 1) << adobe;
        const Bitmap asStored = decoded(PictureKind::Jpeg, plain);
        EXPECT_GT(test::maxChannelDifference(shown, asStored), 10) << adobe;
        EXPECT_EQ(decoded(PictureKind::Jpeg, jpeg, false), asStored) << adobe;
    }
}

TEST_F(ProfiledFiles, PngIccpEqualsLittleCms)
{
    struct Case {
        const char* name;
        const char* convertArgs;  // how ImageMagick writes the PNG
        const std::string& profile;
        bool grey;
    };
    const Case cases[] = {
        {"rgb", "PNG24:", test::kAdobeRgb, false},
        {"rgb16", "-depth 16 PNG48:", test::kAdobeRgb, false},
        {"palette", "-colors 40 PNG8:", test::kAdobeRgb, false},
        {"grey", "-colorspace Gray -depth 8 -define png:color-type=0 PNG:", test::kGreyProfile, true},
    };
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::noisePicture(50, 30, 8)));
    for (const Case& c : cases) {
        const std::string name = c.name;
        test::mustRun("convert " + quoted(dir.file("src.ppm")) + " " + c.convertArgs + quoted(dir.file(name + ".png")));
        const Data plain = file(name + ".png");
        const Bitmap asStored = decoded(PictureKind::Png, plain);
        const Bitmap reference = test::tificcReference(dir, asStored, c.profile, c.grey);
        const Data withIccp = tagged(name + "-icc.png", plain, c.profile);
        EXPECT_LE(test::maxChannelDifference(decoded(PictureKind::Png, withIccp), reference), 1) << name;
        EXPECT_GT(test::maxChannelDifference(reference, asStored), 10) << name;
        EXPECT_EQ(decoded(PictureKind::Png, withIccp, false), asStored) << name;
    }
}

TEST_F(ProfiledFiles, TiffProfileEqualsLittleCms)
{
    for (bool grey : {false, true}) {
        const Bitmap picture = test::noisePicture(50, 30, 8);
        const Data plain =
            test::plainTiff(picture.width(), picture.height(), grey ? 1 : 3, test::samplesOf(picture, grey));
        const Bitmap asStored = decoded(PictureKind::Tiff, plain);
        const std::string& profile = grey ? test::kGreyProfile : test::kAdobeRgb;
        const Bitmap reference = test::tificcReference(dir, asStored, profile, grey);
        ASSERT_GT(test::maxChannelDifference(reference, asStored), 10) << grey;
        const Data tiff = tagged("icc.tif", plain, profile);
        EXPECT_LE(test::maxChannelDifference(decoded(PictureKind::Tiff, tiff), reference), 1) << grey;
        EXPECT_EQ(decoded(PictureKind::Tiff, tiff, false), asStored) << grey;
    }
}

TEST_F(ProfiledFiles, SrgbTaggedFilesDecodeAsUntagged)
{
    const Data plainJpeg = colourJpeg();
    const Bitmap jpegPixels = decoded(PictureKind::Jpeg, plainJpeg);
    EXPECT_EQ(decoded(PictureKind::Jpeg, tagged("s.jpg", plainJpeg, test::kSrgbProfile)), jpegPixels);
    EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(plainJpeg, builtInSrgb())), jpegPixels);

    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(30, 20, 4)));
    test::mustRun("convert " + quoted(dir.file("src.ppm")) + " PNG24:" + quoted(dir.file("p.png")));
    const Data plainPng = file("p.png");
    EXPECT_EQ(decoded(PictureKind::Png, tagged("s.png", plainPng, test::kSrgbProfile)),
              decoded(PictureKind::Png, plainPng));
}

TEST_F(ProfiledFiles, ProfilesOfAnotherColourSpaceAreIgnored)
{
    const Data colour = colourJpeg();
    const Data grey = greyJpeg();
    const Data cmyk = cmykJpeg(true);
    const Data greyProfile = test::readBytes(test::kGreyProfile);
    const Data rgbProfile = test::readBytes(test::kAdobeRgb);
    const Data inkProfile = cmykProfile();
    EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(colour, greyProfile)), decoded(PictureKind::Jpeg, colour));
    EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(colour, inkProfile)), decoded(PictureKind::Jpeg, colour));
    EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(grey, rgbProfile)), decoded(PictureKind::Jpeg, grey));
    EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(cmyk, rgbProfile)), decoded(PictureKind::Jpeg, cmyk));
    // The grey step is refused by a colourful picture, whoever hands the profile in.
    Bitmap colourful = test::photoLike(8, 8);
    const Bitmap before = colourful;
    EXPECT_FALSE(convertToSrgb(colourful, greyProfile));
    EXPECT_EQ(colourful, before);
}

// Profiles a damaged or hostile file may carry.
std::vector<std::pair<std::string, Data>> brokenProfiles()
{
    const Data good = test::readBytes(test::kAdobeRgb);
    std::vector<std::pair<std::string, Data>> list;
    list.emplace_back("header only", Data(good.begin(), good.begin() + 128));
    list.emplace_back("cut in its tags", Data(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)));
    Data huge = good;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;  // declares 4 GiB
    list.emplace_back("declares 4 GiB", huge);
    Data manyTags = good;
    manyTags[128] = manyTags[129] = manyTags[130] = manyTags[131] = 0xFF;
    list.emplace_back("4 billion tags", manyTags);
    Data offsets = good;
    for (std::size_t at = 132 + 4; at + 8 <= 132 + 12 * 9; at += 12)  // every tag's offset and size
        std::fill_n(offsets.begin() + std::ptrdiff_t(at), 8, std::uint8_t(0xF0));
    list.emplace_back("tags past the end", offsets);
    Data link = good;
    std::copy_n("link", 4, link.begin() + 12);
    list.emplace_back("device link", link);
    Data noise = good;
    for (std::size_t i = 132; i < noise.size(); ++i)
        noise[i] = std::uint8_t(i * 151 + 7);
    list.emplace_back("noise after the header", noise);
    // A lut16 of 255 grid points a side: 99 MB of table in a 300-byte profile.
    Data lut(128, 0);
    lut.insert(lut.end(), {0, 0, 0, 1, 'A', '2', 'B', '0', 0, 0, 0, 144, 0, 0, 0x40, 0});
    lut.insert(lut.end(), {'m', 'f', 't', '2', 0, 0, 0, 0, 3, 3, 255, 0});
    for (int i = 0; i < 9; ++i)
        lut.insert(lut.end(), {0, std::uint8_t(i % 4 == 0 ? 1 : 0), 0, 0});
    lut.insert(lut.end(), {0, 2, 0, 2});
    lut.resize(144 + 0x4000, 0x55);
    const std::uint32_t size = std::uint32_t(lut.size());
    lut[0] = std::uint8_t(size >> 24), lut[1] = std::uint8_t(size >> 16), lut[2] = std::uint8_t(size >> 8);
    lut[3] = std::uint8_t(size);
    std::copy_n("\x02\x10\0\0mntrRGB Lab ", 16, lut.begin() + 8);
    std::copy_n("acsp", 4, lut.begin() + 36);
    list.emplace_back("huge table", lut);
    return list;
}

TEST_F(ProfiledFiles, BrokenProfilesLoadUnconverted)
{
    const Data plain = colourJpeg();
    const Bitmap asStored = decoded(PictureKind::Jpeg, plain);
    for (const auto& [name, profile] : brokenProfiles()) {
        EXPECT_EQ(decoded(PictureKind::Jpeg, test::withProfile(plain, profile, 3)), asStored) << name;
        Bitmap direct = asStored;
        EXPECT_FALSE(convertToSrgb(direct, profile)) << name;
        EXPECT_EQ(direct, asStored) << name;
        EXPECT_EQ(CmykToSrgb::create(profile, false), nullptr) << name;
    }
    // Chunk sets that do not add up.
    const std::vector<Data> chunks = test::iccChunks(test::readBytes(test::kAdobeRgb), 3);
    const std::vector<std::pair<std::string, std::vector<std::size_t>>> sets{
        {"missing", {0, 2}}, {"duplicated", {0, 1, 1, 2}}, {"only the last", {2}}};
    for (const auto& [name, picks] : sets) {
        std::vector<std::pair<std::uint8_t, Data>> segments;
        for (std::size_t i : picks)
            segments.emplace_back(0xE2, chunks[i]);
        EXPECT_EQ(decoded(PictureKind::Jpeg, test::withSegments(plain, segments)), asStored) << name;
    }
}

TEST_F(ProfiledFiles, DamagedIccpChunkLoadsUnconverted)
{
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(30, 20, 4)));
    test::mustRun("convert " + quoted(dir.file("src.ppm")) + " PNG24:" + quoted(dir.file("p.png")));
    const Data plain = file("p.png");
    Data damaged = tagged("d.png", plain, test::kAdobeRgb);
    const auto at = std::search(damaged.begin(), damaged.end(), std::begin("iCCP"), std::end("iCCP") - 1);
    ASSERT_NE(at, damaged.end());
    at[30] ^= 0x5A;  // inside the compressed profile: its CRC no longer matches
    EXPECT_EQ(decoded(PictureKind::Png, damaged), decoded(PictureKind::Png, plain));
}

}  // namespace
}  // namespace trimlet
