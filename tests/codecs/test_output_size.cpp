// The bytes an output file holds, and the quality a size limit picks for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/output_file.h"
#include "codecs/picture_file.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

std::uint64_t sizeAt(const Bitmap& bitmap, OutputFormat format, int quality)
{
    auto bytes = encodeOutput(bitmap, format, quality);
    EXPECT_TRUE(bytes);
    return bytes ? bytes.value().size() : 0;
}

TEST(OutputSize, EncodedBytesAreWhatTheWritersSave)
{
    const test::TempDir dir;
    const Bitmap bitmap = test::photoLike(77, 51);
    const std::string jpg = dir.file("a.jpg"), bmp = dir.file("a.bmp"), png = dir.file("a.png"),
                      webp = dir.file("a.webp");
    ASSERT_TRUE(writeJpegFile(bitmap, 71, jpg));
    ASSERT_TRUE(writeBmpFile(bitmap, bmp));
    ASSERT_TRUE(writePngFile(bitmap, png));
    ASSERT_TRUE(writeWebpFile(bitmap, 71, webp));
    EXPECT_EQ(encodeOutput(bitmap, OutputFormat::Jpeg, 71).value(), test::readBytes(jpg));
    EXPECT_EQ(encodeOutput(bitmap, OutputFormat::Bmp, 71).value(), test::readBytes(bmp));
    EXPECT_EQ(encodeOutput(bitmap, OutputFormat::Png, 71).value(), test::readBytes(png));
    EXPECT_EQ(encodeOutput(bitmap, OutputFormat::Webp, 71).value(), test::readBytes(webp));
    EXPECT_FALSE(encodeOutput(Bitmap(), OutputFormat::Bmp, 90));
    EXPECT_FALSE(encodeOutput(bitmap, OutputFormat::Jpeg, 0));
}

TEST(OutputSize, LimitPicksTheHighestQualityThatFits)
{
    const Bitmap bitmap = test::photoLike(300, 200, 4);
    for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Webp}) {
        // Limits across the range, including ones right at a file's exact size.
        for (const int at : {2, 17, 50, 83, 99}) {
            for (const std::int64_t slack : {-1, 0, 1}) {
                const std::uint64_t limit = sizeAt(bitmap, format, at) + slack;
                auto fitted = encodeOutputWithin(bitmap, format, 90, limit);
                ASSERT_TRUE(fitted);
                const int q = fitted.value().quality;
                SCOPED_TRACE(std::to_string(int(format)) + " at " + std::to_string(at) + " q " + std::to_string(q));
                // Low qualities can share one file size, so a limit just under one may fit none.
                const bool anyFits = sizeAt(bitmap, format, 1) <= limit;
                EXPECT_EQ(fitted.value().fits, anyFits);
                if (!anyFits)
                    continue;
                EXPECT_LE(fitted.value().bytes.size(), limit);
                EXPECT_EQ(fitted.value().bytes, encodeOutput(bitmap, format, q).value());
                if (q < 100) {
                    EXPECT_GT(sizeAt(bitmap, format, q + 1), limit);
                }
                if (slack >= 0) {
                    EXPECT_GE(q, at);
                }
            }
        }
    }
}

TEST(OutputSize, LimitEdges)
{
    const Bitmap noise = test::noisePicture(120, 90, 2);
    // No limit: the quality asked for.
    auto plain = encodeOutputWithin(noise, OutputFormat::Jpeg, 37, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain.value().quality, 37);
    EXPECT_EQ(plain.value().bytes.size(), sizeAt(noise, OutputFormat::Jpeg, 37));

    // Room for the best file: 100, whatever was asked.
    auto roomy = encodeOutputWithin(noise, OutputFormat::Jpeg, 37, 1u << 30);
    ASSERT_TRUE(roomy);
    EXPECT_EQ(roomy.value().quality, 100);

    // Too small for quality 1: said so, with quality 1's size to tell the user.
    auto tight = encodeOutputWithin(noise, OutputFormat::Webp, 90, 100);
    ASSERT_TRUE(tight);
    EXPECT_FALSE(tight.value().fits);
    EXPECT_EQ(tight.value().quality, 1);
    EXPECT_EQ(tight.value().bytes.size(), sizeAt(noise, OutputFormat::Webp, 1));

    // Lossless formats are measured once against the limit, at the quality given.
    const std::uint64_t png = sizeAt(noise, OutputFormat::Png, 0);
    EXPECT_TRUE(encodeOutputWithin(noise, OutputFormat::Png, 90, png).value().fits);
    EXPECT_FALSE(encodeOutputWithin(noise, OutputFormat::Png, 90, png - 1).value().fits);
    const std::uint64_t bmp = sizeAt(noise, OutputFormat::Bmp, 0);
    EXPECT_FALSE(encodeOutputWithin(noise, OutputFormat::Bmp, 90, bmp - 1).value().fits);
    EXPECT_EQ(encodeOutputWithin(noise, OutputFormat::Bmp, 90, bmp).value().bytes.size(), bmp);

    // A search nobody waits for any more stops between encodes.
    int asked = 0;
    auto stopped = encodeOutputWithin(noise, OutputFormat::Jpeg, 90, sizeAt(noise, OutputFormat::Jpeg, 50),
                                      [&] { return ++asked > 1; });
    EXPECT_FALSE(stopped);
    EXPECT_EQ(asked, 2);

    // A right guess, as while framing under a limit, is settled by two encodes.
    const std::uint64_t limit = sizeAt(noise, OutputFormat::Jpeg, 64);
    const int answer = encodeOutputWithin(noise, OutputFormat::Jpeg, 90, limit).value().quality;
    int between = 0;
    auto guessed = encodeOutputWithin(noise, OutputFormat::Jpeg, answer, limit, [&] { return ++between > 9; });
    ASSERT_TRUE(guessed);
    EXPECT_EQ(guessed.value().quality, answer);
    EXPECT_EQ(between, 1);

    EXPECT_EQ(limitBytes(0), 0u);
    EXPECT_EQ(limitBytes(-3), 0u);
    EXPECT_EQ(limitBytes(200), 204800u);
}

}  // namespace
}  // namespace trimlet
