#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/cli.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/join.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "imaging/rotate.h"
#include "tests/cli/cli_run.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/codecs/raw_fixtures.h"

namespace trimlet {
namespace {

using test::Data;

bool contains(const Data& bytes, std::string_view text)
{
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST(CliPhoto, ColourManagementSwitchIsAFlagGivenOnce)
{
    const CliRun help = runCli({"--help"});
    EXPECT_NE(help.out.find("--no-color-management"), std::string::npos);
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"in.jpg", "--save", "--no-color-management", "--no-color-management"},
          std::vector<std::string>{"in.jpg", "--save", "--no-color-management=1"}}) {
        const CliRun r = runCli(bad);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("trimlet-cli: --no-color-management ", 0), 0u) << r.err;
    }
}

// A photo turned right by its EXIF orientation, in Adobe RGB.
class CliPhotoFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        stored = encodeJpeg(test::photoLike(30, 17, 2), 93).value();
        photo = test::withProfile(test::withSegments(stored, {{0xE1, test::exifApp1(test::orientationBlock(true, 6))}}),
                                  test::readBytes(test::kAdobeRgb), 2);
        test::writeBytes(dir.file("p.jpg"), photo);
    }

    Bitmap converted(std::vector<std::string> args, const std::string& out)
    {
        args.insert(args.begin(), dir.file("p.jpg"));
        args.insert(args.end(), {"--output", dir.file(out)});
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        auto read = loadPictureAsStored(dir.file(out));
        return read ? read.value().bitmap() : Bitmap();
    }

    test::TempDir dir;
    Data stored, photo;
};

TEST_F(CliPhotoFiles, InfoPrintsTheSizeAsShown)
{
    const CliRun r = runCli({"info", dir.file("p.jpg")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, dir.file("p.jpg") + "\tjpeg\t17\t30\n");
}

TEST_F(CliPhotoFiles, InputsAndJoinsAreLoadedAsShownUnlessColoursAreKept)
{
    const Picture shown = decodePictureUpright(PictureKind::Jpeg, photo).value();
    const Bitmap asStored = orientBitmap(decodeJpeg(stored).value().bitmap, 6);
    ASSERT_GT(test::maxChannelDifference(shown.bitmap(), asStored), 10);

    EXPECT_EQ(converted({}, "a.bmp"), shown.bitmap());
    EXPECT_EQ(converted({"--no-color-management"}, "b.bmp"), asStored);

    const std::string join = "--join=" + dir.file("p.jpg") + ":right";
    const Picture plain(asStored);
    const Rgb white{255, 255, 255};
    EXPECT_EQ(converted({join}, "c.bmp"),
              joinPictures(shown, shown, JoinSide::Right, AlignH::Centre, AlignV::Centre, white));
    EXPECT_EQ(converted({join, "--no-color-management"}, "d.bmp"),
              joinPictures(plain, plain, JoinSide::Right, AlignH::Centre, AlignV::Centre, white));
}

TEST_F(CliPhotoFiles, NoMetadataReachesTheOutput)
{
    ASSERT_TRUE(contains(photo, "Exif") && contains(photo, "ICC_PROFILE"));
    const CliRun r = runCli({dir.file("p.jpg"), "--output", dir.file("out.jpg")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Data out = test::readBytes(dir.file("out.jpg"));
    EXPECT_FALSE(contains(out, "Exif"));
    EXPECT_FALSE(contains(out, "ICC_PROFILE"));
    const auto reread = loadPictureUpright(dir.file("out.jpg"));
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread.value().width(), 17);  // written upright, read upright
}

TEST(CliRaw, InfoFromTheHeadersAndThePreviewOnlyOnRequest)
{
    const test::TempDir dir;
    const std::string raw = dir.file("IMG_1.DNG");
    test::writeBytes(raw, test::dngFile({.orientation = 6, .previewWidth = 64, .previewHeight = 48}));
    EXPECT_NE(runCli({"--help"}).out.find("--raw-preview"), std::string::npos);
    const CliRun info = runCli({"info", raw});
    EXPECT_EQ(info.out, raw + "\traw\t48\t64\n") << info.err;

    Bitmap developed, preview;
    for (const bool fast : {false, true}) {
        std::vector<std::string> args{raw, "--output", dir.file(fast ? "p.bmp" : "d.bmp")};
        if (fast)
            args.push_back("--raw-preview");
        const CliRun r = runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        (fast ? preview : developed) = loadPictureAsStored(args[2]).value().bitmap();
    }
    EXPECT_EQ(developed, decodePictureUpright(PictureKind::Raw, test::readBytes(raw)).value().bitmap());
    ASSERT_EQ(preview.width(), 48);
    const std::uint32_t rgb = test::pixelAt(preview, 10, 50);  // the preview's (50, 100, 150)
    EXPECT_NEAR(int(rgb >> 16), 50, 3);
    EXPECT_NEAR(int(rgb >> 8 & 0xFF), 100, 3);
    EXPECT_NEAR(int(rgb & 0xFF), 150, 3);
    EXPECT_GT(test::maxChannelDifference(preview, developed), 20);
}

}  // namespace
}  // namespace trimlet
