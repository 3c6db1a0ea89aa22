// --max-kb: the written file keeps to the limit at the best quality, or is not written.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "codecs/output_file.h"
#include "codecs/picture_file.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

class CliMaxKb : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string input;
    Bitmap picture;

    void SetUp() override
    {
        input = dir.file("in.bmp");
        picture = test::photoLike(400, 300, 6);
        ASSERT_TRUE(writeBmpFile(picture, input));
    }

    std::uint64_t sizeAt(OutputFormat format, int quality) const
    {
        return encodeOutput(picture, format, quality).value().size();
    }
};

TEST_F(CliMaxKb, WritesTheHighestQualityThatFits)
{
    for (const auto& [format, extension] :
         {std::pair{OutputFormat::Jpeg, ".jpg"}, std::pair{OutputFormat::Webp, ".webp"}}) {
        const std::uint64_t kilobytes = sizeAt(format, 70) / 1024;
        const std::uint64_t limit = kilobytes * 1024;
        const std::string out = dir.file(std::string("out") + extension);
        // --quality is overridden by the limit, up as well as down.
        const CliRun r = runCli({input, "--output", out, "--quality", "5", "--max-kb", std::to_string(kilobytes)});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto written = test::readBytes(out);
        EXPECT_LE(written.size(), limit);
        int q = 1;
        while (q <= 100 && encodeOutput(picture, format, q).value() != written)
            ++q;
        ASSERT_LE(q, 100) << "not the encoder's file at any quality";
        if (q < 100) {
            EXPECT_GT(sizeAt(format, q + 1), limit) << q;
        }
    }

    // --save takes the same file.
    const std::uint64_t kilobytes = sizeAt(OutputFormat::Jpeg, 40) / 1024;
    const CliRun r = runCli({input, "--save", "--max-kb=" + std::to_string(kilobytes)});
    ASSERT_EQ(r.status, 0) << r.err;
    const CliRun o = runCli({input, "--output", dir.file("same.jpg"), "--max-kb", std::to_string(kilobytes)});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(test::readBytes(dir.file("in(1).jpg")), test::readBytes(dir.file("same.jpg")));

    // 0 is no limit: --quality as given.
    ASSERT_EQ(runCli({input, "--output", dir.file("q33.jpg"), "--quality", "33", "--max-kb", "0"}).status, 0);
    EXPECT_EQ(test::readBytes(dir.file("q33.jpg")), encodeOutput(picture, OutputFormat::Jpeg, 33).value());
}

TEST_F(CliMaxKb, WritesNothingThatCannotFit)
{
    const Bitmap noise = test::noisePicture(300, 300, 4);
    ASSERT_TRUE(writeBmpFile(noise, input));
    for (const char* name : {"a.jpg", "a.webp", "a.png", "a.bmp"}) {
        const CliRun r = runCli({input, "--output", dir.file(name), "--max-kb", "1"});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_NE(r.err.find("does not fit in 1 kB"), std::string::npos) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file(name)));
    }
    EXPECT_EQ(runCli({input, "--save", "--max-kb", "1"}).status, 1);
    EXPECT_FALSE(test::fileExists(dir.file("in(1).jpg")));

    // A BMP within the limit is written as it always is.
    const std::uint64_t bmp = encodeOutput(noise, OutputFormat::Bmp, 0).value().size();
    const CliRun r = runCli({input, "--output", dir.file("b.bmp"), "--max-kb", std::to_string(bmp / 1024 + 1)});
    EXPECT_EQ(r.status, 0) << r.err;

    for (const char* bad : {"-1", "x", "1.5", ""}) {
        const CliRun u = runCli({input, "--output", dir.file("u.jpg"), "--max-kb", bad});
        EXPECT_EQ(u.status, 2) << bad;
    }
}

}  // namespace
}  // namespace trimlet
