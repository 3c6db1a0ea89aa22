#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "codecs/jpeg.h"
#include "imaging/photo.h"
#include "imaging/photo_streamed.h"
#include "tests/codecs/libjpeg_writer.h"
#include "tests/codecs/photo_fixtures.h"

namespace trimlet {
namespace {

using test::Data;

// The streamed load against loadPictureUpright, which reads the whole file: the same picture, the same
// kind, and for a JPEG no file bytes held.
void expectSamePicture(const std::string& path, const DecodeLimits& limits = {})
{
    const auto whole = loadPictureUpright(path, limits);
    const auto streamed = loadPictureUprightStreamed(path, limits);
    ASSERT_EQ(bool(whole), bool(streamed)) << path;
    if (!whole) {
        EXPECT_EQ(whole.error().code, streamed.error().code) << path;
        return;
    }
    EXPECT_EQ(streamed.value().bitmap(), whole.value().bitmap()) << path;
    EXPECT_EQ(streamed.value().kind(), whole.value().kind()) << path;
    EXPECT_EQ(streamed.value().mask(), whole.value().mask()) << path;
    if (whole.value().kind() == PictureKind::Jpeg)
        EXPECT_TRUE(streamed.value().fileBytes().empty()) << path;
    else
        EXPECT_EQ(streamed.value().fileBytes(), whole.value().fileBytes()) << path;
}

class StreamedPhoto : public ::testing::Test {
protected:
    void SetUp() override { test::requireTools({"exiftool", "convert"}); }

    std::string write(const std::string& name, const Data& bytes)
    {
        const std::string path = dir.file(name);
        test::writeBytes(path, bytes);
        return path;
    }

    test::TempDir dir;
};

TEST_F(StreamedPhoto, EveryOrientationTurnsAsTheWholeFileLoad)
{
    // Odd sizes, more rows than one read of the file holds at this quality.
    const auto jpeg = encodeJpeg(test::photoLike(901, 603, 4), 95);
    ASSERT_TRUE(jpeg);
    for (int o = 1; o <= 8; ++o) {
        const std::string path = write("o" + std::to_string(o) + ".jpg", jpeg.value());
        test::setOrientation(path, o);
        expectSamePicture(path);
    }
}

TEST_F(StreamedPhoto, ProfileConvertedOrKeptAsTheSettingSays)
{
    const auto jpeg = encodeJpeg(test::photoLike(64, 40, 2), 90);
    ASSERT_TRUE(jpeg);
    const std::string path = write("adobe.jpg", test::withProfile(jpeg.value(), test::readBytes(test::kAdobeRgb), 3));
    DecodeLimits stored;
    stored.colourManagement = false;
    expectSamePicture(path);
    expectSamePicture(path, stored);
    EXPECT_NE(loadPictureUprightStreamed(path).value().bitmap(),
              loadPictureUprightStreamed(path, stored).value().bitmap());
}

TEST_F(StreamedPhoto, GreyProgressiveAndCmykFilesAsTheWholeFileLoad)
{
    std::vector<std::uint8_t> grey(45 * 33);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = std::uint8_t(i * 7);
    expectSamePicture(write("grey.jpg", test::libjpeg(grey, 45, 1, JCS_GRAYSCALE, [](j_compress_ptr) {})));
    const Bitmap colour = test::photoLike(45, 33, 3);
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            rgb.insert(rgb.end(), {colour.row(y)[3 * x + 2], colour.row(y)[3 * x + 1], colour.row(y)[3 * x]});
    expectSamePicture(write("progressive.jpg",
                            test::libjpeg(rgb, 45, 3, JCS_RGB, [](j_compress_ptr c) { jpeg_simple_progression(c); })));
    std::vector<std::uint8_t> cmyk(45 * 33 * 4);
    for (std::size_t i = 0; i < cmyk.size(); ++i)
        cmyk[i] = std::uint8_t(i * 13);
    expectSamePicture(write("cmyk.jpg", test::libjpeg(cmyk, 45, 4, JCS_CMYK, [](j_compress_ptr) {})));
}

TEST_F(StreamedPhoto, DamageAndOtherKindsFailOrLoadAsTheWholeFileLoad)
{
    const auto jpeg = encodeJpeg(test::photoLike(80, 60, 1), 90);
    ASSERT_TRUE(jpeg);
    Data truncated = jpeg.value();
    truncated.resize(truncated.size() / 2);
    expectSamePicture(write("truncated.jpg", truncated));
    expectSamePicture(write("empty.jpg", {}));
    expectSamePicture(dir.file("missing.jpg"));
    EXPECT_FALSE(loadPictureUprightStreamed(dir.file("missing.jpg")));

    DecodeLimits small;
    small.maxBitmapBytes = 80 * 60 * 3 - 1;
    const std::string fits = write("fits.jpg", jpeg.value());
    expectSamePicture(fits, small);
    EXPECT_EQ(loadPictureUprightStreamed(fits, small).error().code, ErrorCode::TooLarge);

    // A GIF keeps its bytes, which the clipboard hands on.
    test::writeBytes(dir.file("p.ppm"), test::toPpm(test::photoLike(20, 10, 6)));
    for (const char* name : {"p.gif", "p.png"})
        test::mustRun("convert " + test::quoted(dir.file("p.ppm")) + " " + test::quoted(dir.file(name)));
    expectSamePicture(dir.file("p.gif"));
    EXPECT_FALSE(loadPictureUprightStreamed(dir.file("p.gif")).value().fileBytes().empty());
    expectSamePicture(dir.file("p.png"));
}

TEST_F(StreamedPhoto, ADecodeWaitsBetweenBandsWhileItsCallerSaysSo)
{
    const std::string path = write("tall.jpg", encodeJpeg(test::photoLike(300, 1500, 2), 90).value());
    std::promise<void> go;
    const std::shared_future<void> gate = go.get_future().share();
    int calls = 0;
    DecodeLimits limits;
    limits.betweenBands = [&] {
        ++calls;
        gate.wait();
    };
    auto load = std::async(std::launch::async, [&] { return loadPictureUprightStreamed(path, limits); });
    EXPECT_EQ(load.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    go.set_value();
    const auto streamed = load.get();
    ASSERT_TRUE(streamed) << streamed.error().message;
    EXPECT_EQ(streamed.value().bitmap(), loadPictureUpright(path).value().bitmap());
    EXPECT_GT(calls, 1);
}

}  // namespace
}  // namespace trimlet
