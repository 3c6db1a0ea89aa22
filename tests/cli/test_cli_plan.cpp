#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/cut.h"
#include "imaging/photo.h"
#include "imaging/quarter_turn.h"
#include "tests/cli/cli_run.h"
#include "tests/codecs/photo_fixtures.h"

namespace trimlet {
namespace {

using test::Data;

// Cuts after turns and flips are made on the file's own pixels (of a JPEG, only the region is
// decoded); a --rotate 0 in front sends the same chain through the whole picture, as every
// chain went before.
class CliCutFirst : public ::testing::Test {
protected:
    void SetUp() override
    {
        const Data stored = encodeJpeg(test::photoLike(203, 157, 4), 91).value();
        const Data profile = test::readBytes(test::kAdobeRgb);
        for (int orientation : {1, 6, 7}) {
            const Data photo = test::withProfile(
                test::withSegments(stored, {{0xE1, test::exifApp1(test::orientationBlock(true, orientation))}}),
                profile);
            test::writeBytes(dir.file("o" + std::to_string(orientation) + ".jpg"), photo);
        }
        ASSERT_TRUE(writePngFile(decodeJpeg(stored).value().bitmap, dir.file("p.png")));
    }

    Data output(const std::string& input, std::vector<std::string> chain)
    {
        chain.insert(chain.begin(), input);
        chain.insert(chain.end(), {"--output", dir.file("out.bmp"), "--force"});
        const CliRun r = runCli(chain);
        EXPECT_EQ(r.status, 0) << r.err;
        return test::readBytes(dir.file("out.bmp"));
    }

    test::TempDir dir;
};

TEST_F(CliCutFirst, EveryPlacementAndCutGivesTheWholePicturesBytes)
{
    const std::vector<std::vector<std::string>> placements = {
        {},
        {"--turn", "right"},
        {"--turn", "180"},
        {"--turn", "left"},
        {"--flip", "horizontal"},
        {"--flip", "vertical"},
        {"--turn", "right", "--flip", "horizontal"},
        {"--flip", "horizontal", "--turn", "right"},
        {"--turn", "left", "--flip", "vertical", "--turn", "180", "--flip", "horizontal"},
    };
    const std::vector<std::string> cuts = {"--cut=40x50",
                                           "--cut=60x40@50",
                                           "--cut=30x40@73+20,30",
                                           "--cut=24x32:5,9",
                                           "--cut=80x60@61:3,1",
                                           "--cut=300x300",
                                           ""};
    for (const std::string input : {"o1.jpg", "o6.jpg", "o7.jpg", "p.png"})
        for (const auto& placement : placements)
            for (const std::string& cut : cuts)
                for (const bool managed : {true, false}) {
                    std::vector<std::string> chain = placement;
                    if (!cut.empty())  // else the turns and flips alone, made as one
                        chain.push_back(cut);
                    chain.insert(chain.end(), {"--turn", "left"});  // a step after the cut
                    if (!managed)
                        chain.push_back("--no-color-management");
                    std::vector<std::string> whole = chain;
                    whole.insert(whole.begin(), {"--rotate", "0"});
                    const Data planned = output(dir.file(input), chain);
                    ASSERT_FALSE(planned.empty());
                    ASSERT_EQ(planned, output(dir.file(input), whole)) << input << " " << testing::PrintToString(chain);
                }
}

TEST_F(CliCutFirst, MatchesTheKernelsAndRefusesTheSameCuts)
{
    // Against the kernels themselves: turned upright by EXIF, then right, then cut.
    const Bitmap shown = loadPictureUpright(dir.file("o6.jpg")).value().bitmap();
    const Bitmap expected = cutPicture(turnRight(shown), {60, 40, 50, false, {}, false});
    output(dir.file("o6.jpg"), {"--turn", "right", "--cut", "60x40@50"});
    EXPECT_EQ(loadPictureAsStored(dir.file("out.bmp")).value().bitmap(), expected);

    for (const std::string input : {"o6.jpg", "p.png"}) {
        const CliRun planned = runCli({dir.file(input), "--turn", "left", "--cut", "100x90:150,3", "--save"});
        const CliRun whole =
            runCli({dir.file(input), "--rotate", "0", "--turn", "left", "--cut", "100x90:150,3", "--save"});
        EXPECT_EQ(planned.status, 1);
        EXPECT_EQ(planned.err, whole.err);
        EXPECT_NE(planned.err.find("reach past the "), std::string::npos) << planned.err;
    }
}

// Over 2^21 pixels, so that the rows are placed on a second core while the next ones are
// decoded; 1025 = 32 × 32 + 1 rows leave one row in the last of the hand-off's 32-row chunks
// (and of the decoder's 8- or 16-row bands).
TEST(CliTurnWhileDecoding, PlacesALastBandOfOneRow)
{
    test::TempDir dir;
    ASSERT_TRUE(writeJpegFile(test::photoLike(2053, 1025, 9), 90, dir.file("tall.jpg")));
    const CliRun r = runCli({dir.file("tall.jpg"), "--turn", "right", "--output", dir.file("out.bmp")});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bitmap expected = turnRight(loadPictureUpright(dir.file("tall.jpg")).value().bitmap());
    EXPECT_TRUE(loadPictureAsStored(dir.file("out.bmp")).value().bitmap() == expected);
}

}  // namespace
}  // namespace trimlet
