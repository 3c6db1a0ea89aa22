#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "codecs/picture_file.h"
#include "imaging/cut_geometry.h"
#include "imaging/region.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(Cli, UsageErrorsExitTwoWithOneLine)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"in.bmp"},
             {"in.bmp", "--output"},
             {"in.bmp", "--output", "a.jpg", "--quality", "0"},
             {"in.bmp", "--output", "a.jpg", "--quality", "9x"},
             {"in.bmp", "--output", "a.jpg", "--bogus"},
             {"info"},
         }) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("trimlet-cli: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
}  // namespace trimlet

namespace trimlet {
namespace {

class CliFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string input;
    void SetUp() override
    {
        input = dir.file("in.bmp");
        ASSERT_TRUE(writeBmpFile(test::photoLike(21, 13), input));
    }
};

TEST_F(CliFiles, InfoPrintsOneLinePerFileAndGoesOnAfterAFailure)
{
    test::writeBytes(dir.file("bad.png"), {1, 2, 3});
    const CliRun r = runCli({"info", input, dir.file("bad.png"), input});
    EXPECT_EQ(r.status, 1);
    const std::string line = input + "\tbitmap\t21\t13\n";
    EXPECT_EQ(r.out, line + line);
    EXPECT_NE(r.err.find("trimlet-cli: "), std::string::npos);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(CliFiles, ConvertWritesTheOutputAndPrintsItsPath)
{
    const std::string out = dir.file("out.jpg");
    const CliRun r = runCli({input, "--output", out, "--quality", "100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    auto loaded = loadPictureFile(out);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded.value().width(), 21);

    const std::string bmp = dir.file("out.bmp");
    ASSERT_EQ(runCli({"--output", bmp, input}).status, 0);
    EXPECT_EQ(loadPictureFile(bmp).value().bitmap(), loadPictureFile(input).value().bitmap());
}

TEST_F(CliFiles, NeverOverwritesWithoutForce)
{
    const std::string out = dir.file("out.jpg");
    test::writeBytes(out, {'k', 'e', 'e', 'p'});
    CliRun r = runCli({input, "--output", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::readBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));

    r = runCli({input, "--output", out, "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(loadPictureFile(out).value().kind(), PictureKind::Jpeg);
}

TEST_F(CliFiles, FailuresWriteNothing)
{
    EXPECT_EQ(runCli({input, "--output", dir.file("out.png")}).status, 2);
    EXPECT_EQ(runCli({dir.file("missing.bmp"), "--output", dir.file("a.jpg")}).status, 1);
    test::writeBytes(dir.file("broken.gif"), {'G', 'I', 'F'});
    EXPECT_EQ(runCli({dir.file("broken.gif"), "--output", dir.file("b.jpg")}).status, 1);
    EXPECT_FALSE(test::fileExists(dir.file("out.png")));
    EXPECT_FALSE(test::fileExists(dir.file("a.jpg")));
    EXPECT_FALSE(test::fileExists(dir.file("b.jpg")));
}

}  // namespace
}  // namespace trimlet

namespace trimlet {
namespace {

TEST_F(CliFiles, CutTakesTheFramedRegionAsTheWindowDoes)
{
    const Bitmap picture = test::photoLike(1000, 800);
    ASSERT_TRUE(writeBmpFile(picture, input));
    const std::string out = dir.file("cut.bmp");

    // Centred by default; a centre near the edge is pulled back inside.
    ASSERT_EQ(runCli({input, "--cut", "240x320", "--output", out}).status, 0);
    EXPECT_EQ(loadPictureFile(out).value().bitmap(), copyRegion(picture, 380, 240, 240, 320));
    ASSERT_EQ(runCli({input, "--cut", "240x320+990,5", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureFile(out).value().bitmap(), copyRegion(picture, 760, 0, 240, 320));

    // 30 % of a 333-pixel region is 100 pixels; a rate below the picture's minimum is raised.
    ASSERT_EQ(runCli({input, "--cut", "100x320@30", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureFile(out).value().width(), 100);
    ASSERT_EQ(runCli({input, "--cut", "240x320@5", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureFile(out).value().width(), reducedSize(minimumRate(1000, 800, 240, 320), 1000));

    for (const char* bad : {"240", "240x", "23x320", "240x4097", "240x320@0", "240x320@101", "240x320+1", "240x320+-1,2"})
        EXPECT_EQ(runCli({input, "--cut", bad, "--output", out, "--force"}).status, 2) << bad;
}

}  // namespace
}  // namespace trimlet
