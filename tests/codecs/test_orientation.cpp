#include <gtest/gtest.h>

#include "codecs/exif.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "codecs/png.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/codecs/photo_fixtures.h"

namespace trimlet {
namespace {

using test::Data;

// Where the stored picture's top-left (A), top-right (B) and bottom-left (C) corners are shown,
// straight from the EXIF definitions of the eight values ("the 0th row is the visual …, the
// 0th column the visual …"): 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right.
struct Corners {
    int a, b, c;
};
constexpr Corners kShownCorners[9] = {
    {}, {0, 1, 2}, {1, 0, 3}, {3, 2, 1}, {2, 3, 0}, {0, 2, 1}, {1, 3, 0}, {3, 1, 2}, {2, 0, 3},
};

std::uint32_t cornerPixel(const Bitmap& b, int corner)
{
    return test::pixelAt(b, corner & 1 ? b.width() - 1 : 0, corner & 2 ? b.height() - 1 : 0);
}

TEST(Orientation, CornersLandWhereExifSaysForOddSizes)
{
    for (const auto& [w, h] : {std::pair{5, 3}, std::pair{1, 4}, std::pair{7, 1}, std::pair{2, 2}}) {
        const Bitmap stored = test::noisePicture(w, h, 7);
        for (int o = 1; o <= 8; ++o) {
            const Bitmap shown = orientBitmap(stored, o);
            ASSERT_EQ(PictureSize({shown.width(), shown.height()}), shownSize({w, h}, o)) << o;
            const Corners& k = kShownCorners[o];
            EXPECT_EQ(cornerPixel(shown, k.a), test::pixelAt(stored, 0, 0)) << w << "x" << h << " o" << o;
            EXPECT_EQ(cornerPixel(shown, k.b), test::pixelAt(stored, w - 1, 0)) << w << "x" << h << " o" << o;
            EXPECT_EQ(cornerPixel(shown, k.c), test::pixelAt(stored, 0, h - 1)) << w << "x" << h << " o" << o;
        }
    }
}

TEST(Orientation, EachValueAndItsInverseGiveThePictureBack)
{
    // 6 and 8 undo each other; every other value is its own inverse.
    constexpr int kInverse[9] = {0, 1, 2, 3, 4, 5, 8, 7, 6};
    const Bitmap stored = test::noisePicture(9, 5, 3);
    for (int o = 1; o <= 8; ++o)
        EXPECT_EQ(orientBitmap(orientBitmap(stored, o), kInverse[o]), stored) << o;
    EXPECT_EQ(orientBitmap(stored, 0), stored);
    EXPECT_EQ(orientBitmap(stored, 9), stored);
}

TEST(Orientation, MaskTurnsWithThePicture)
{
    // A colour-keyed mask is a function of the colours, so after any turn it must still mark
    // exactly the key's pixels.
    Bitmap stored = test::noisePicture(7, 4, 11);
    DecodedImage image{stored, std::vector<std::uint8_t>(28)};
    for (int i : {0, 5, 6, 13, 27}) {
        std::uint8_t* p = image.bitmap.row(i / 7) + i % 7 * 3;
        p[0] = p[1] = p[2] = 0;
        image.mask[std::size_t(i)] = 1;
    }
    for (int o = 1; o <= 8; ++o) {
        DecodedImage turned = image;
        turned.orientation = o;
        ASSERT_TRUE(applyOrientation(turned));
        EXPECT_EQ(turned.orientation, 1);
        EXPECT_EQ(turned.bitmap, orientBitmap(image.bitmap, o));
        ASSERT_EQ(turned.mask.size(), 28u);
        for (int y = 0; y < turned.bitmap.height(); ++y)
            for (int x = 0; x < turned.bitmap.width(); ++x)
                EXPECT_EQ(turned.mask[std::size_t(y * turned.bitmap.width() + x)],
                          test::pixelAt(turned.bitmap, x, y) == 0 ? 1 : 0)
                    << o << " at " << x << "," << y;
    }
}

TEST(Orientation, UprightPictureBeyondTheCapIsRefusedWhole)
{
    // 999 × 1 takes 3000 bytes, 1 × 999 takes 3996.
    DecodedImage image{Bitmap(999, 1)};
    image.orientation = 6;
    const Status refused = applyOrientation(image, 3500);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::TooLarge);
    EXPECT_EQ(image.bitmap.width(), 999);
    image.orientation = 3;
    EXPECT_TRUE(applyOrientation(image, 3500));
}

// ---- files ------------------------------------------------------------------------------------

class OrientedFiles : public ::testing::Test {
protected:
    void SetUp() override { test::requireTools({"exiftool", "convert"}); }

    // A file of the picture, tagged with each orientation in turn by exiftool.
    Data tagged(const std::string& base, int orientation, bool littleEndian = false)
    {
        const std::string path = dir.file("o" + std::to_string(orientation) + base);
        test::writeBytes(path, test::readBytes(dir.file(base)));
        test::setOrientation(path, orientation, littleEndian);
        return test::readBytes(path);
    }

    test::TempDir dir;
};

TEST_F(OrientedFiles, JpegShowsAsTheKernelsTurnIt)
{
    const Bitmap source = test::photoLike(37, 21, 5);
    const auto encoded = encodeJpeg(source, 92);
    ASSERT_TRUE(encoded);
    test::writeBytes(dir.file("p.jpg"), encoded.value());
    const auto reference = decodeJpeg(encoded.value());
    ASSERT_TRUE(reference);
    for (int o = 1; o <= 8; ++o) {
        for (bool littleEndian : {false, true}) {
            const Data file = tagged("p.jpg", o, littleEndian);
            const HeaderProbe probe = probeJpeg(file, file.size());
            EXPECT_EQ(probe.orientation, o);
            const auto photo = decodePictureUpright(PictureKind::Jpeg, file);
            ASSERT_TRUE(photo) << o;
            EXPECT_EQ(photo.value().bitmap(), orientBitmap(reference.value().bitmap, o)) << o << " " << littleEndian;
            EXPECT_EQ(photo.value().kind(), PictureKind::Jpeg);  // unedited: the file's kind and bytes
            EXPECT_EQ(photo.value().fileBytes(), file);
            // As stored without the photo step, as the preview reads its own files.
            const auto stored = decodePictureAsStored(PictureKind::Jpeg, file);
            ASSERT_TRUE(stored);
            EXPECT_EQ(stored.value().bitmap(), reference.value().bitmap);
        }
    }
}

TEST_F(OrientedFiles, PngAndItsTransparencyShowAsTheKernelsTurnThem)
{
    Bitmap source = test::photoLike(19, 10, 9);
    for (int x = 0; x < 19; x += 3)
        std::fill_n(source.row(x % 10) + 3 * x, 3, std::uint8_t(0));  // pure black is the key
    test::writeBytes(dir.file("p.ppm"), test::toPpm(source));
    test::mustRun("convert " + test::quoted(dir.file("p.ppm")) + " -transparent black " +
                  test::quoted(dir.file("p.png")));
    const auto reference = decodePng(test::readBytes(dir.file("p.png")));
    ASSERT_TRUE(reference);
    ASSERT_FALSE(reference.value().mask.empty());
    for (int o = 1; o <= 8; ++o) {
        const Data file = tagged("p.png", o);
        EXPECT_EQ(probePng(file, file.size()).orientation, o);
        const auto photo = decodePictureUpright(PictureKind::Png, file);
        ASSERT_TRUE(photo) << o;
        const Picture& p = photo.value();
        EXPECT_EQ(p.bitmap(), orientBitmap(reference.value().bitmap, o)) << o;
        EXPECT_EQ(p.kind(), PictureKind::Png);
        ASSERT_TRUE(p.hasTransparency());
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                ASSERT_EQ(p.mask()[std::size_t(y * p.width() + x)], test::pixelAt(p.bitmap(), x, y) == 0 ? 1 : 0)
                    << o << " at " << x << "," << y;
    }
}

TEST_F(OrientedFiles, FileInfoGivesTheStoredSizeAndTheOrientation)
{
    ASSERT_TRUE(encodeJpeg(test::photoLike(40, 10), 90));
    test::writeBytes(dir.file("w.jpg"), encodeJpeg(test::photoLike(40, 10), 90).value());
    tagged("w.jpg", 8);
    const auto info = probePictureFile(dir.file("o8w.jpg"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info.value().size, (PictureSize{40, 10}));
    EXPECT_EQ(info.value().orientation, 8);
    const auto loaded = loadPictureUpright(dir.file("o8w.jpg"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(PictureSize({loaded.value().width(), loaded.value().height()}), (PictureSize{10, 40}));
}

TEST(OrientedJpeg, HostileExifLoadsAsStored)
{
    const auto encoded = encodeJpeg(test::photoLike(16, 9), 90);
    ASSERT_TRUE(encoded);
    const auto stored = decodeJpeg(encoded.value());
    ASSERT_TRUE(stored);
    Data beyondEnd = test::orientationBlock(true, 6);
    std::fill_n(beyondEnd.begin() + 4, 4, std::uint8_t(0xFF));
    const std::vector<Data> blocks = {
        beyondEnd,                                              // IFD0 past the end
        test::tiffBlock(false, {{0x0100, 3, 1, 6}}, 8, 8),      // a loop of IFDs
        test::tiffBlock(false, {{0x0112, 3, 0xFFFFFFFFu, 0}}),  // a huge count
        test::tiffBlock(false, {{0x0112, 9, 1, 6}}),            // a bogus type
        Data{'I', 'I', 42, 0},                                  // no IFD offset
        Data{'M', 'M', 0, 42, 0, 0, 0, 8, 0xFF, 0xFF},          // 65535 entries, none stored
    };
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Data file = test::withSegments(encoded.value(), {{0xE1, test::exifApp1(blocks[i])}});
        const auto photo = decodePictureUpright(PictureKind::Jpeg, file);
        ASSERT_TRUE(photo) << i;
        EXPECT_EQ(photo.value().bitmap(), stored.value().bitmap) << i;
    }
    // Only the first EXIF block counts; an XMP block before it is passed over.
    const Data xmpFirst =
        test::withSegments(encoded.value(), {{0xE1, Data{'h', 't', 't', 'p', ':', 0}},
                                             {0xE1, test::exifApp1(test::orientationBlock(true, 3))},
                                             {0xE1, test::exifApp1(test::orientationBlock(true, 6))}});
    EXPECT_EQ(probeJpeg(xmpFirst, xmpFirst.size()).orientation, 3);
}

TEST(OrientedJpeg, ExifBetweenScansIsNotTheFilesOrientation)
{
    const Bitmap stored = test::photoLike(16, 9);
    Data rgb;
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x) {
            const std::uint32_t p = test::pixelAt(stored, x, y);
            rgb.insert(rgb.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
        }
    const Data progressive =
        test::libjpeg(rgb, 16, 3, JCS_RGB, [](jpeg_compress_struct* c) { jpeg_simple_progression(c); });
    // A multi-scan file is read whole before its pixels: the marker comes into view only then.
    std::size_t second = 0;
    for (std::size_t i = 2, scans = 0; i + 1 < progressive.size() && !second; ++i)
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xDA && ++scans == 2)
            second = i;
    ASSERT_NE(second, 0u);
    const Data app1 = test::exifApp1(test::orientationBlock(true, 6));
    Data file(progressive.begin(), progressive.begin() + std::ptrdiff_t(second));
    file.insert(file.end(), {0xFF, 0xE1, std::uint8_t((app1.size() + 2) >> 8), std::uint8_t(app1.size() + 2)});
    file.insert(file.end(), app1.begin(), app1.end());
    file.insert(file.end(), progressive.begin() + std::ptrdiff_t(second), progressive.end());

    EXPECT_EQ(probeJpeg(file, file.size()).orientation, 1);
    const auto photo = decodePictureUpright(PictureKind::Jpeg, file);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo.value().width(), 16);
    EXPECT_EQ(photo.value().height(), 9);
}

TEST(OrientedJpeg, SizeCapCountsTheUprightPictureBeforeDecoding)
{
    const auto encoded = encodeJpeg(test::photoLike(999, 1), 90);
    ASSERT_TRUE(encoded);
    DecodeLimits limits;
    limits.maxBitmapBytes = 3500;  // 3000 bytes as stored, 3996 turned
    EXPECT_TRUE(decodeJpeg(encoded.value(), limits));
    const Data turned = test::withSegments(encoded.value(), {{0xE1, test::exifApp1(test::orientationBlock(false, 6))}});
    const auto refused = decodeJpeg(turned, limits);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::TooLarge);
    EXPECT_FALSE(probeJpeg(turned, turned.size(), limits).size);
}

}  // namespace
}  // namespace trimlet
