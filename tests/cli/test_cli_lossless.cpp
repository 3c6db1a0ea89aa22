// trimlet-cli --lossless against jpegtran, which copies blocks the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "document/output_job.h"
#include "tests/cli/cli_run.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::quoted;

Bitmap djpeg(const std::string& command)
{
    const test::CommandResult r = test::runCommand(command + " | djpeg");
    return test::fromPnm({r.out.begin(), r.out.end()});
}

class CliLossless : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::requireTools({"cjpeg", "djpeg", "jpegtran"});
        // Sides of whole iMCUs, so that jpegtran turns every block; and one that ends mid-block.
        make("plain.jpg", 224, 160, "-sample 2x2");
        make("odd.jpg", 203, 157, "-sample 2x1");
        const test::Data plain = test::readBytes(dir.file("plain.jpg"));
        test::writeBytes(dir.file("right.jpg"),
                         test::withSegments(plain, {{0xE1, test::exifApp1(test::orientationBlock(true, 6))}}));
    }

    void make(const std::string& name, int w, int h, const std::string& options)
    {
        test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(w, h, 3)));
        test::mustRun(("cjpeg -quality 91 " + options + " -outfile " + quoted(dir.file(name)) + " " +
                       quoted(dir.file("src.ppm"))));
    }

    test::TempDir dir;
};

TEST_F(CliLossless, PiecesAreJpegtransCropsOfTheTurnedSource)
{
    struct Case {
        std::string input;
        std::vector<std::string> steps;
        std::string jpegtran;  // its transform and crop of the same piece
    };
    const Case cases[] = {
        {"plain.jpg", {"--cut", "96x40"}, "-crop 96x40+64+64"},  // the centre 64,60 moves to the grid
        {"plain.jpg", {"--cut", "64x48:32,16"}, "-crop 64x48+32+16"},
        {"plain.jpg", {"--turn", "right", "--cut", "64x40"}, "-rotate 90 -crop 64x40+48+96"},
        {"plain.jpg", {"--flip", "horizontal", "--cut=224x40@fit"}, "-flip horizontal -crop 224x40+0+64"},
        {"plain.jpg", {"--turn", "180", "--flip", "vertical"}, "-flip horizontal"},
        {"right.jpg", {"--cut", "64x40:16,32"}, "-rotate 90 -crop 64x40+16+32"},
        {"right.jpg", {"--turn", "left"}, ""},  // undoes the file's own turn: the stored picture
        {"odd.jpg", {"--cut", "59x45:144,112"}, "-crop 59x45+144+112"},  // to the far edges
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input + " " + c.jpegtran);
        std::vector<std::string> args{dir.file(c.input), "--lossless", "--output", dir.file("out.jpg"), "--force"};
        args.insert(args.end(), c.steps.begin(), c.steps.end());
        const CliRun r = runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const Bitmap want = djpeg("jpegtran -copy none " + c.jpegtran + " " + quoted(dir.file(c.input)));
        ASSERT_FALSE(want.empty());
        EXPECT_TRUE(djpeg("cat " + quoted(dir.file("out.jpg"))) == want);
    }
}

TEST_F(CliLossless, RefusesWhatItCannotCopy)
{
    const std::string in = dir.file("plain.jpg");
    struct Refusal {
        std::vector<std::string> args;
        std::string message;
    };
    const Refusal usage[] = {
        {{"--rotate", "90"}, "--rotate does not go with --lossless: it makes new pixels"},
        {{"--join", in + ":left"}, "--join does not go with --lossless: it makes new pixels"},
        {{"--cut", "64x48", "--turn", "left"}, "with --lossless, --cut must be the last step"},
        {{"--cut", "64x48", "--cut", "32x32"}, "--lossless takes one --cut at most"},
        {{"--cut", "64x48@50"}, "--cut takes the rate 100 (or @fit), not 50"},
        {{"--quality", "80"}, "--quality does not go with --lossless"},
        {{"--save", "--format", "png"}, "--lossless writes JPEG files only, not --format png"},
        {{"--output", dir.file("x.png")}, "--output must end in .jpg or .jpeg"},
    };
    for (const Refusal& u : usage) {
        std::vector<std::string> args{in, "--lossless"};
        args.insert(args.end(), u.args.begin(), u.args.end());
        if (args.back() != dir.file("x.png") && std::find(args.begin(), args.end(), "--save") == args.end())
            args.insert(args.end(), {"--output", dir.file("x.jpg")});
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2) << u.message;
        EXPECT_NE(r.err.find(u.message), std::string::npos) << r.err;
    }

    // Each fails its input alone, writing nothing.
    test::requireTools({"convert"});
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(64, 64, 1)));
    test::writeBytes(dir.file("ppm.jpg"), test::readBytes(dir.file("src.ppm")));
    test::mustRun(("convert " + quoted(dir.file("src.ppm")) + " " + quoted(dir.file("pic.png"))));
    test::mustRun(("cjpeg -arithmetic -outfile " + quoted(dir.file("arith.jpg")) + " " + quoted(dir.file("src.ppm"))));
    const Refusal perFile[] = {
        {{"pic.png"}, "pic.png: not a JPEG file: --lossless copies only a JPEG's blocks"},
        {{"ppm.jpg"}, "ppm.jpg: not a JPEG file"},
        {{"arith.jpg"}, "arith.jpg: "},
        {{"plain.jpg", "--cut", "64x48:17,30"},
         "plain.jpg: --cut 64x48:17,30 is off the block grid that --lossless cuts on (every 16x16 pixels from "
         "0,0); the nearest corner on it is 16,32"},
        {{"odd.jpg", "--turn", "180"},
         "odd.jpg: as shown, the picture's left or top edge is not on the file's block grid (every 16x8 "
         "pixels from 11,5)"},
        {{"plain.jpg", "--cut", "200x150@fit"}, "plain.jpg: --cut 200x150@fit comes to the rate"},
        {{"plain.jpg", "--max-kb", "1"}, "plain.jpg: the result does not fit in 1 kB (1024 bytes)"},
    };
    const std::string out = dir.file("out.jpg");
    for (const Refusal& f : perFile) {
        std::vector<std::string> args{dir.file(f.args[0]), "--lossless", "--output", out};
        args.insert(args.end(), f.args.begin() + 1, f.args.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 1) << f.message;
        EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
        EXPECT_FALSE(pathExists(out));
    }
    // and the others of a batch are still done.
    const CliRun batch = runCli({dir.file("arith.jpg"), in, dir.file("pic.png"), "--lossless", "--save"});
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(batch.out, dir.file("plain(1).jpg") + "\n");
}

}  // namespace
}  // namespace trimlet
