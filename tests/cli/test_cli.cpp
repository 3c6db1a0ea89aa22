#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>

#include "cli/cli.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "codecs/webp.h"
#include "imaging/cut.h"
#include "imaging/cut_geometry.h"
#include "imaging/flip.h"
#include "imaging/join.h"
#include "imaging/quarter_turn.h"
#include "imaging/region.h"
#include "imaging/rotate.h"
#include "tests/cli/cli_run.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
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
             {"in.bmp", "--output", "a.gif"},
             {"in.bmp", "--output", "a.jpg", "--output", "b.jpg"},
             {"in.bmp", "--save", "--output", "a.jpg"},
             {"in.bmp", "--save", "--format", "gif"},
             {"in.bmp", "--save", "--tail"},
             {"in.bmp", "--save", "--tail", "dash"},
             {"in.bmp", "--output", "a.jpg", "--format", "bmp"},
             {"a.bmp", "b.bmp", "--output", "a.jpg"},
             {"--save"},
             {"--turn", "up", "--help"},
             {"info"},
             {"info", "in.bmp", "--quality", "5"},
             {"info", "--help"},
             {"in.bmp", "--save=yes"},
             {"in.bmp", "--save", "--bogus=1"},
             {"in.bmp", "--save", "--rotate="},
             {"in.bmp", "--save", "--jobs", "0"},
             {"in.bmp", "--save", "--jobs=2x"},
         }) {
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("trimlet-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
}

TEST(Cli, AMissingValueNeverSwallowsTheNextOption)
{
    for (const char* option :
         {"--turn", "--flip", "--rotate", "--join", "--cut", "--cut-set", "--span", "--bezel", "--output", "--quality",
          "--format", "--tail", "--background", "--align-h", "--align-v"}) {
        for (const auto& args : std::vector<std::vector<std::string>>{{"in.bmp", option, "--save"},
                                                                      {"in.bmp", "--save", option, "-h"},
                                                                      {"in.bmp", "--save", option, "--"},
                                                                      {"in.bmp", "--save", option}}) {
            const CliRun r = runCli(args);
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(r.err, "trimlet-cli: " + std::string(option) + " needs a value\n");
        }
    }
}

TEST(Cli, EveryOptionButTheStepsIsGivenOnce)
{
    const std::pair<const char*, const char*> once[] = {
        {"--output", "a.jpg"}, {"--quality", "50"},        {"--format", "bmp"},
        {"--tail", "hyphen"},  {"--background", "000000"}, {"--align-h", "top"},
        {"--align-v", "left"}, {"--save", nullptr},        {"--force", nullptr},
    };
    for (const auto& [option, value] : once) {
        std::vector<std::string> args{"in.bmp", "--save"};
        for (int twice = 0; twice < 2; ++twice) {
            args.emplace_back(option);
            if (value)
                args.emplace_back(value);
        }
        if (std::string_view(option) == "--save")
            args.erase(args.begin() + 1);
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "trimlet-cli: " + std::string(option) + " given twice\n");
    }
}

TEST(Cli, HelpAndVersionGoToStandardOutput)
{
    for (const char* help : {"--help", "-h"}) {
        const CliRun r = runCli({"in.bmp", help, "--bogus"});  // acts where it stands
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(r.err.empty());
        EXPECT_EQ(r.out.rfind("usage: trimlet-cli", 0), 0u);
        // Every option is explained, in lines that fit a terminal.
        for (const char* option :
             {"--turn",       "--flip",    "--rotate",  "--join",     "--cut",     "--cut-set", "--span",
              "--bezel",      "--output",  "--save",    "--save-dir", "--quality", "--format",  "--tail",
              "--background", "--align-h", "--align-v", "--force",    "--help",    "--version", "info"})
            EXPECT_NE(r.out.find(option), std::string::npos) << option;
        for (const std::string& line : lines(r.out))
            EXPECT_LE(line.size(), 79u) << line;
    }
    const CliRun v = runCli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_TRUE(std::regex_match(v.out, std::regex("trimlet-cli [0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\n"))) << v.out;
}

class CliFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string input;
    // Runs the input through the steps into out (replacing it) and reads the result back.
    Bitmap runSteps(std::vector<std::string> steps, const std::string& out)
    {
        steps.insert(steps.begin(), input);
        for (const char* rest : {"--output", out.c_str(), "--force"})
            steps.emplace_back(rest);
        const CliRun r = runCli(steps);
        EXPECT_EQ(r.status, 0) << r.err;
        return loadPictureAsStored(out).value().bitmap();
    }
    // Expects every argument list, each after `input --output bad.bmp`, to be a usage error.
    void expectUsageErrors(const std::vector<std::vector<std::string>>& cases)
    {
        for (const std::vector<std::string>& bad : cases) {
            std::vector<std::string> args{input, "--output", dir.file("bad.bmp")};
            args.insert(args.end(), bad.begin(), bad.end());
            const CliRun r = runCli(args);
            EXPECT_EQ(r.status, 2) << bad[0] << ' ' << (bad.size() > 1 ? bad[1] : "");
            EXPECT_EQ(r.err.rfind("trimlet-cli: ", 0), 0u);
        }
        EXPECT_FALSE(test::fileExists(dir.file("bad.bmp")));
    }

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
    EXPECT_EQ(r.err.rfind("trimlet-cli: " + dir.file("bad.png") + ": ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

TEST_F(CliFiles, ConvertWritesTheOutputAndPrintsItsPath)
{
    const std::string out = dir.file("out.jpg");
    const CliRun r = runCli({input, "--output", out, "--quality", "100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, out + "\n");
    EXPECT_TRUE(r.err.empty());
    auto loaded = loadPictureAsStored(out);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded.value().width(), 21);

    const std::string bmp = dir.file("out.bmp");
    ASSERT_EQ(runCli({"--output", bmp, input}).status, 0);
    EXPECT_EQ(loadPictureAsStored(bmp).value().bitmap(), loadPictureAsStored(input).value().bitmap());
}

TEST_F(CliFiles, PngAndWebpOutputsFollowTheExtensionOrTheFormat)
{
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();
    const std::string png = dir.file("out.PNG");
    ASSERT_EQ(runCli({input, "--output", png}).status, 0);
    EXPECT_EQ(loadPictureAsStored(png).value().bitmap(), picture);

    // --quality reaches the WebP encoder: the files differ and both are the encoder's own bytes.
    for (const char* quality : {"20", "95"}) {
        const std::string webp = dir.file(std::string("q") + quality + ".webp");
        const CliRun r = runCli({input, "--output", webp, "--quality", quality});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(test::readBytes(webp), encodeWebp(picture, std::stoi(quality)).value());
    }

    auto save = [&](const char* format) {
        const CliRun r = runCli({input, "--save", "--format", format, "--quality", "60"});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(save("png"), dir.file("in(1).png") + "\n");
    EXPECT_EQ(save("png"), dir.file("in(2).png") + "\n");
    EXPECT_EQ(loadPictureAsStored(dir.file("in(2).png")).value().bitmap(), picture);
    EXPECT_EQ(save("webp"), dir.file("in(1).webp") + "\n");
    EXPECT_EQ(test::readBytes(dir.file("in(1).webp")), encodeWebp(picture, 60).value());

    // Wider than WebP can hold: a failure that writes nothing.
    const std::string wide = dir.file("wide.bmp");
    ASSERT_TRUE(writeBmpFile(Bitmap(kMaxWebpSide + 1, 1), wide));
    const CliRun r = runCli({wide, "--output", dir.file("wide.webp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(test::fileExists(dir.file("wide.webp")));
}

// A JPEG written whole as JPEG XL is recompressed: djxl gives the very file back. A step, or a
// limit the recompressed file passes, encodes the pixels instead.
TEST_F(CliFiles, AWholeJpegGoesLosslesslyIntoJpegXl)
{
    ASSERT_TRUE(test::haveProgram("djxl"));
    const std::string jpeg = dir.file("photo.jpg");
    test::writeBytes(jpeg, encodeJpeg(test::photoLike(300, 200), 88).value());
    const std::string jxl = dir.file("photo.jxl");
    ASSERT_EQ(runCli({jpeg, "--output", jxl}).status, 0);
    ASSERT_EQ(test::runCommand("djxl '" + jxl + "' '" + dir.file("back.jpg") + "' >/dev/null 2>&1").exitCode, 0);
    EXPECT_EQ(test::readBytes(dir.file("back.jpg")), test::readBytes(jpeg));
    const std::uint64_t whole = test::readBytes(jxl).size();

    ASSERT_EQ(runCli({jpeg, "--turn", "right", "--output", dir.file("turned.jxl")}).status, 0);
    EXPECT_EQ(loadPictureAsStored(dir.file("turned.jxl")).value().width(), 200);
    const std::string small = dir.file("small.jxl");
    ASSERT_EQ(runCli({jpeg, "--output", small, "--max-kb", std::to_string(whole / 2048)}).status, 0);
    EXPECT_LE(test::readBytes(small).size(), whole / 2048 * 1024);
    test::runCommand("djxl '" + small + "' '" + dir.file("no.jpg") + "' >/dev/null 2>&1");
    EXPECT_NE(test::readBytes(dir.file("no.jpg")), test::readBytes(jpeg));
}

TEST_F(CliFiles, NeverOverwritesWithoutForce)
{
    const std::string out = dir.file("out.jpg");
    test::writeBytes(out, {'k', 'e', 'e', 'p'});
    CliRun r = runCli({input, "--output", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("trimlet-cli: " + input + ": ", 0), 0u) << r.err;
    EXPECT_EQ(test::readBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));

    r = runCli({input, "--output", out, "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(loadPictureAsStored(out).value().kind(), PictureKind::Jpeg);
}

TEST_F(CliFiles, FailuresWriteNothing)
{
    EXPECT_EQ(runCli({input, "--output", dir.file("out.gif")}).status, 2);
    const CliRun missing = runCli({dir.file("missing.bmp"), "--output", dir.file("a.jpg")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("trimlet-cli: " + dir.file("missing.bmp") + ": ", 0), 0u) << missing.err;
    test::writeBytes(dir.file("broken.gif"), {'G', 'I', 'F'});
    const CliRun broken = runCli({dir.file("broken.gif"), "--output", dir.file("b.jpg")});
    EXPECT_EQ(broken.status, 1);
    // The decoder's message names the file already; it is not named twice.
    const std::string named = "trimlet-cli: " + dir.file("broken.gif") + ": ";
    EXPECT_EQ(broken.err.rfind(named, 0), 0u) << broken.err;
    EXPECT_EQ(broken.err.find(dir.file("broken.gif"), named.size()), std::string::npos) << broken.err;
    EXPECT_FALSE(test::fileExists(dir.file("out.gif")));
    EXPECT_FALSE(test::fileExists(dir.file("a.jpg")));
    EXPECT_FALSE(test::fileExists(dir.file("b.jpg")));
}

TEST_F(CliFiles, WriteFailuresNameTheirCause)
{
    // A serial name one past the file system's 255 bytes, from an input whose name fits.
    const std::string stem(250, 'n');
    ASSERT_TRUE(writeBmpFile(test::photoLike(4, 3), dir.file(stem + ".bmp")));
    const CliRun tooLong = runCli({dir.file(stem + ".bmp"), "--save"});
    EXPECT_EQ(tooLong.status, 1);
    EXPECT_NE(tooLong.err.find(dir.file(stem + "(1).jpg") + ": "), std::string::npos) << tooLong.err;
    EXPECT_TRUE(tooLong.err.ends_with(" (the file name is too long)\n")) << tooLong.err;

    std::filesystem::create_directory(dir.file("ro"));
    const test::ReadOnlyFolder readOnly(dir.file("ro"));
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a read-only folder here";
    // Refused whether it may replace or not.
    for (const std::vector<std::string>& args : {std::vector<std::string>{input, "--output", dir.file("ro/out.png")},
                                                 {input, "--output", dir.file("ro/out.png"), "--force"}}) {
        const CliRun refused = runCli(args);
        EXPECT_EQ(refused.status, 1);
        EXPECT_EQ(refused.err.rfind("trimlet-cli: " + input + ": ", 0), 0u) << refused.err;
        EXPECT_TRUE(refused.err.ends_with(" (no permission to write in that folder, or it is read-only)\n"))
            << refused.err;
    }
    EXPECT_EQ(test::entryNames(dir.file("ro")), std::vector<std::string>{});
}

TEST_F(CliFiles, CutTakesTheFramedRegionAsTheWindowDoes)
{
    const Bitmap picture = test::photoLike(1000, 800);
    ASSERT_TRUE(writeBmpFile(picture, input));
    const std::string out = dir.file("cut.bmp");

    // Centred by default; a centre near the edge is pulled back inside.
    ASSERT_EQ(runCli({input, "--cut", "240x320", "--output", out}).status, 0);
    EXPECT_EQ(loadPictureAsStored(out).value().bitmap(), copyRegion(picture, 380, 240, 240, 320));
    ASSERT_EQ(runCli({input, "--cut", "240x320+990,5", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureAsStored(out).value().bitmap(), copyRegion(picture, 760, 0, 240, 320));

    // 30 % of a 333-pixel region is 100 pixels; a rate below the picture's minimum is raised.
    ASSERT_EQ(runCli({input, "--cut", "100x320@30", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureAsStored(out).value().width(), 100);
    ASSERT_EQ(runCli({input, "--cut", "240x320@5", "--output", out, "--force"}).status, 0);
    EXPECT_EQ(loadPictureAsStored(out).value().width(), reducedSize(minimumRate(1000, 800, 240, 320), 1000));

    for (const char* bad :
         {"240", "240x", "23x320", "240x4097", "240x320@0", "240x320@101", "240x320+1", "240x320+-1,2"})
        EXPECT_EQ(runCli({input, "--cut", bad, "--output", out, "--force"}).status, 2) << bad;
}

TEST_F(CliFiles, CutAtAnOriginRepeatsTheWindowsCutExactly)
{
    const int pw = 300, ph = 200;
    const Bitmap picture = test::noisePicture(pw, ph, 3);
    ASSERT_TRUE(writeBmpFile(picture, input));
    const std::string out = dir.file("cut.bmp");
    const IntRect displays[] = {fitPicture(pw, ph, 1000, 1000, 0), fitPicture(pw, ph, 97, 97, 0),
                                fitPicture(pw, ph, 211, 150, 30)};
    // Exact and reduced cuts, one clipped at the picture's edge, one raised to the minimum
    // rate, one no smaller than the picture.
    const int cuts[][3] = {{24, 32, 100},  {100, 50, 100}, {120, 90, 37},  {280, 240, 100},
                           {290, 400, 80}, {60, 40, 1},    {400, 300, 100}};
    for (const IntRect& display : displays) {
        for (const auto& [W, H, R] : cuts) {
            // The rate the window's 縮小率 can hold, as its status line names it.
            const int rate = std::clamp(R, minimumRate(pw, ph, W, H), 100);
            for (const IntPoint at : {IntPoint{0, 0}, IntPoint{display.w / 3, display.h / 2},
                                      IntPoint{display.w - 1, 7}, IntPoint{display.w, display.h}}) {
                const IntRect start{display.x + at.x, display.y + at.y, 1, 1};
                const FrameSizing s = resizeCutFrame(start, display, pw, ph, W, H, rate);
                const IntPoint origin = cutOrigin(s.frame, display, pw, ph, s.cutSrcWidth, s.cutSrcHeight);
                const Bitmap window = cutsRegion(pw, ph, W, H)
                                          ? cutRegion(picture, origin, s.cutSrcWidth, s.cutSrcHeight, rate)
                                          : picture;
                const std::string cut = std::to_string(W) + "x" + std::to_string(H) + "@" + std::to_string(R) + ":" +
                                        std::to_string(origin.x) + "," + std::to_string(origin.y);
                const CliRun r = runCli({input, "--cut", cut, "--output", out, "--force"});
                ASSERT_EQ(r.status, 0) << cut << " " << r.err;
                EXPECT_EQ(loadPictureAsStored(out).value().bitmap(), window) << cut << " on " << display.w;
            }
        }
    }

    // A region that reaches past the picture fails that file, before anything is written.
    std::filesystem::remove(out);
    for (const char* outside : {"100x50:201,0", "100x50:0,151", "100x80@50:101,0", "400x300:1,0"}) {
        const CliRun r = runCli({input, "--cut", outside, "--output", out});
        EXPECT_EQ(r.status, 1) << outside;
        EXPECT_EQ(r.err.rfind("trimlet-cli: " + input + ": --cut ", 0), 0u) << r.err;
        EXPECT_FALSE(test::fileExists(out));
    }
    EXPECT_NE(runCli({input, "--cut", "100x80@50:101,0", "--output", out}).err.find("takes 200x160 pixels"),
              std::string::npos);
    for (const char* bad : {"100x50:-1,0", "100x50:1", "100x50:1,2,3", "100x50+1,2:3,4", "100x50:", "100x50@:1,1"})
        EXPECT_EQ(runCli({input, "--cut", bad, "--output", out}).status, 2) << bad;
}

TEST_F(CliFiles, CutAtFitTakesTheFullSizeFromThePictureAsItStands)
{
    const Bitmap picture = test::noisePicture(600, 400, 5);
    ASSERT_TRUE(writeBmpFile(picture, input));
    const std::string out = dir.file("fit.bmp"), numeric = dir.file("numeric.bmp");
    const auto cut = [&](std::vector<std::string> steps, const std::string& to) {
        steps.insert(steps.begin(), input);
        for (const char* tail : {"--output", to.c_str(), "--force"})
            steps.emplace_back(tail);
        const CliRun r = runCli(steps);
        EXPECT_EQ(r.status, 0) << r.err;
        return loadPictureAsStored(to).value().bitmap();
    };
    // The fit rate of the picture at the cut's step: 32 for 600 × 400, 48 once turned upright.
    for (const auto& [turn, rate] : {std::pair{"180", 32}, {"right", 48}}) {
        for (const std::string place : {"", "+10,590", ":0,0"}) {
            const std::string fit = "192x108@fit" + place, given = "192x108@" + std::to_string(rate) + place;
            const Bitmap piece = cut({"--turn", turn, "--cut", fit}, out);
            EXPECT_EQ(piece.width(), 192) << turn << " " << fit;
            EXPECT_EQ(piece.height(), 108) << turn << " " << fit;
            EXPECT_EQ(piece, cut({"--turn", turn, "--cut", given}, numeric)) << turn << " " << fit;
        }
    }
    // A picture smaller than the cut is taken at 100 %, as large as it allows.
    EXPECT_EQ(cut({"--cut", "800x300@fit"}, out), cut({"--cut", "800x300@100"}, numeric));
    for (const char* bad : {"192x108@fi", "192x108@fit5", "192x108@Fit", "192x108fit", "192x108@fit:"})
        EXPECT_EQ(runCli({input, "--cut", bad, "--output", out, "--force"}).status, 2) << bad;
}

TEST_F(CliFiles, SaveTakesTheNextFreeSerialNameAndNeverReplaces)
{
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();
    auto save = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{input, "--save"};
        args.insert(args.end(), extra.begin(), extra.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_EQ(save({}), dir.file("in(1).jpg") + "\n");
    EXPECT_EQ(save({"--quality", "50"}), dir.file("in(2).jpg") + "\n");
    EXPECT_EQ(loadPictureAsStored(dir.file("in(2).jpg")).value().kind(), PictureKind::Jpeg);
    EXPECT_EQ(save({"--tail", "hyphen"}), dir.file("in-1.jpg") + "\n");
    EXPECT_EQ(save({"--format", "bmp"}), dir.file("in(1).bmp") + "\n");
    EXPECT_EQ(loadPictureAsStored(dir.file("in(1).bmp")).value().bitmap(), picture);

    // A gap is filled first; whatever holds a name, even a folder, is skipped, not replaced.
    std::filesystem::remove(dir.file("in(1).jpg"));
    std::filesystem::create_directory(dir.file("in(3).jpg"));
    EXPECT_EQ(save({"--force"}), dir.file("in(1).jpg") + "\n");
    const auto second = test::readBytes(dir.file("in(2).jpg"));
    EXPECT_EQ(save({}), dir.file("in(4).jpg") + "\n");
    EXPECT_EQ(test::readBytes(dir.file("in(2).jpg")), second);
}

TEST_F(CliFiles, SaveDirCountsTheSerialNamesThereAndWritesNothingBeside)
{
    const std::string folder = dir.file("pieces");
    std::filesystem::create_directory(folder);
    const std::vector<std::uint8_t> mine{'m', 'i', 'n', 'e'};
    test::writeBytes(folder + "/in(1).jpg", mine);
    const CliRun r = runCli({input, "--save", "--save-dir", folder});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, folder + "/in(2).jpg\n");
    ASSERT_EQ(runCli({input, "--output", dir.file("same.jpg")}).status, 0);
    EXPECT_EQ(test::readBytes(folder + "/in(2).jpg"), test::readBytes(dir.file("same.jpg")));
    EXPECT_EQ(test::readBytes(folder + "/in(1).jpg"), mine);

    // A missing folder, or one with --output, is refused before any file is touched.
    for (const auto& args :
         std::vector<std::vector<std::string>>{{input, "--save", "--save-dir", dir.file("gone")},
                                               {input, "--save", "--save-dir", input},
                                               {input, "--save-dir", folder, "--output", dir.file("other.jpg")},
                                               {input, "--save", "--save-dir="}}) {
        const CliRun refused = runCli(args);
        EXPECT_EQ(refused.status, 2) << args[2];
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    }
    EXPECT_EQ(test::entryNames(dir.path()), (std::vector<std::string>{"in.bmp", "pieces", "same.jpg"}));
    EXPECT_EQ(test::entryNames(folder), (std::vector<std::string>{"in(1).jpg", "in(2).jpg"}));
}

TEST_F(CliFiles, ManyInputsAreDoneOneByOneAndFailuresReportedPerFile)
{
    const std::string other = dir.file("other.bmp");
    const Bitmap otherPicture = test::photoLike(30, 40, 5);
    ASSERT_TRUE(writeBmpFile(otherPicture, other));
    const std::string missing = dir.file("missing.bmp");

    // Steps and options before the inputs; the same file twice gets two serial names.
    const CliRun r = runCli({"--turn", "right", "--save", "--format", "bmp", input, missing, other, input});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.file("in(1).bmp") + "\n" + dir.file("other(1).bmp") + "\n" + dir.file("in(2).bmp") + "\n");
    ASSERT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("trimlet-cli: " + missing + ": ", 0), 0u) << r.err;
    const Bitmap turned = turnRight(loadPictureAsStored(input).value().bitmap());
    EXPECT_EQ(loadPictureAsStored(dir.file("in(1).bmp")).value().bitmap(), turned);
    EXPECT_EQ(loadPictureAsStored(dir.file("in(2).bmp")).value().bitmap(), turned);
    EXPECT_EQ(loadPictureAsStored(dir.file("other(1).bmp")).value().bitmap(), turnRight(otherPicture));

    // All good: status 0. A usage error is found before any file is touched.
    EXPECT_EQ(runCli({input, other, "--save"}).status, 0);
    EXPECT_EQ(runCli({input, other, "--save", "--turn", "up"}).status, 2);
    EXPECT_FALSE(test::fileExists(dir.file("in(2).jpg")));
}

TEST_F(CliFiles, ProgressLineOnlyOnATerminalAndWipedBeforeOtherLines)
{
    const std::string missing = dir.file("missing.bmp");
    // One file after the other: with more jobs the line counts the files finished.
    const std::vector<std::string> args{input, missing, "--save", "--jobs", "1"};
    const CliRun quiet = runCli(args, {false, 80});
    EXPECT_EQ(quiet.err.find('\r'), std::string::npos);
    EXPECT_EQ(quiet.err.find("[1/2]"), std::string::npos);

    const CliRun shown = runCli(args, {true, 0});
    EXPECT_EQ(shown.status, 1);
    const std::string wipe1 = "\r" + std::string(("[1/2] " + input).size(), ' ') + "\r";
    const std::string wipe2 = "\r" + std::string(("[2/2] " + missing).size(), ' ') + "\r";
    EXPECT_EQ(shown.err, "\r[1/2] " + input + wipe1 + "\r[2/2] " + missing + wipe2 + "trimlet-cli: " + missing +
                             ": cannot open " + missing + ": No such file or directory\n");
    EXPECT_EQ(shown.out, dir.file("in(2).jpg") + "\n");

    // One input: nothing to count. A narrow terminal keeps the end of the path on one line.
    EXPECT_EQ(runCli({input, "--save"}, {true, 80}).err, "");
    const CliRun narrow = runCli(args, {true, 20});
    EXPECT_NE(narrow.err.find("\r[1/2] ..." + input.substr(input.size() - 10) + "\r"), std::string::npos) << narrow.err;
}

TEST_F(CliFiles, ProgressLineCutsLongPathsAtCharacterBoundaries)
{
    const std::string wide = dir.file("写真写真写真.bmp");  // three bytes a character
    ASSERT_TRUE(writeBmpFile(test::photoLike(24, 32), wide));
    const CliRun r = runCli({wide, input, "--save", "--jobs", "1"}, {true, 22});
    ASSERT_EQ(r.status, 0) << r.err;
    // 21 bytes of room: "[1/2] ..." leaves 12, of which the name's tail takes whole characters.
    EXPECT_NE(r.err.find("\r[1/2] ...写真.bmp\r"), std::string::npos) << r.err;
}

// Runs the test from another folder, so that relative names can start with a dash.
class InFolder {
public:
    explicit InFolder(const std::string& path) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST_F(CliFiles, ValuesAndInputsAsGnuToolsTakeThem)
{
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();
    const std::string out = dir.file("out.bmp");
    // A negative number is a value; --option=value is the same as two arguments.
    const Bitmap rotated = *rotateBilinear(picture, -30, Rgb{0x12, 0x34, 0x56});
    EXPECT_EQ(runSteps({"--rotate", "-30", "--background", "123456"}, out), rotated);
    EXPECT_EQ(runSteps({"--rotate=-30", "--background=123456"}, out), rotated);

    InFolder inDir(dir.path());
    ASSERT_TRUE(writeBmpFile(picture, "-dash.bmp"));
    ASSERT_TRUE(writeBmpFile(test::photoLike(8, 30, 7), "--join.bmp"));
    // After "--" every argument is an input, even one that names an option.
    CliRun r = runCli({"--save", "--format", "bmp", "--", "-dash.bmp", "--force"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "-dash(1).bmp\n");
    EXPECT_EQ(r.err.rfind("trimlet-cli: --force: ", 0), 0u) << r.err;
    EXPECT_EQ(loadPictureAsStored("-dash(1).bmp").value().bitmap(), picture);
    // A value that starts with -- is given after '='.
    r = runCli({"-dash.bmp", "--join=--join.bmp:left", "--output=--out.bmp"});
    EXPECT_EQ(r.status, 2) << r.err;  // an input that starts with '-' needs "--" before it
    r = runCli({"--join=--join.bmp:left", "--output=--out.bmp", "--", "-dash.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(loadPictureAsStored("--out.bmp").value().width(), 29);

    r = runCli({"info", "--", "-dash.bmp", "--join.bmp"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "-dash.bmp\tbitmap\t21\t13\n--join.bmp\tbitmap\t8\t30\n");
    EXPECT_EQ(runCli({"info", "-dash.bmp"}).status, 2);
}

TEST_F(CliFiles, ControlCharactersInNamesAreNeverPrintedRaw)
{
    // A newline, a terminal's colour sequence, a tab, DEL and the one-byte CSI of C1.
    const std::string name = dir.file("a\nb\x1b[31m\tc\x7f\xc2\x9b");
    const std::string shown = dir.file("a\\nb\\x1b[31m\\tc\\x7f\\xc2\\x9b");
    ASSERT_TRUE(writeBmpFile(loadPictureAsStored(input).value().bitmap(), name + ".bmp"));
    const auto rawControls = [](const std::string& text) {
        return std::count_if(text.begin(), text.end(), [](char c) { return std::uint8_t(c) < 0x20 && c != '\r'; });
    };

    // Written paths and info lines: one line each, fields apart.
    // One job at a time, so that the progress line names the first file first.
    CliRun r = runCli({name + ".bmp", dir.file("gone\n.bmp"), "--save", "--jobs", "1"}, {true, 0});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, shown + "(1).jpg\n");
    ASSERT_TRUE(test::fileExists(name + "(1).jpg"));
    // The progress line and the failure name them escaped too.
    EXPECT_NE(r.err.find("\r[1/2] " + shown + ".bmp\r"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("trimlet-cli: " + dir.file("gone\\n.bmp") + ": "), std::string::npos) << r.err;
    EXPECT_EQ(rawControls(r.err), 1);  // the failure line's own end

    r = runCli({"info", name + ".bmp"});
    EXPECT_EQ(r.out, shown + ".bmp\tbitmap\t21\t13\n");
    r = runCli({name + ".bmp", "--join", name + ".bmp:up", "--save"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(rawControls(r.err), 1) << r.err;
}

TEST_F(CliFiles, NamesThatAreNotUtf8KeepTheirBytes)
{
    // "表示" in Shift_JIS, from an old archive: the second byte is a backslash.
    const std::string sjis = dir.file("\x95\x5c\x8e\xa6");
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();
    ASSERT_TRUE(writeBmpFile(picture, sjis + ".bmp"));

    // A script gets the bytes it can open, only the backslash doubled as every backslash is.
    const std::string kept = dir.file("\x95\\\\\x8e\xa6");
    CliRun r = runCli({sjis + ".bmp", "--save", "--format", "bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kept + "(1).bmp\n");
    EXPECT_EQ(loadPictureAsStored(sjis + "(1).bmp").value().bitmap(), picture);
    r = runCli({"info", sjis + ".bmp"});
    EXPECT_EQ(r.out, kept + ".bmp\tbitmap\t21\t13\n");

    // A terminal sees the bytes escaped.
    const std::string escaped = dir.file("\\x95\\\\\\x8e\\xa6");
    r = runCli({"info", sjis + ".bmp"}, {false, 0, true});
    EXPECT_EQ(r.out, escaped + ".bmp\tbitmap\t21\t13\n");
    r = runCli({sjis + ".jpg", "--save"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("trimlet-cli: " + escaped + ".jpg: ", 0), 0u) << r.err;
}

#ifdef TRIMLET_CLI
TEST_F(CliFiles, TheProgramTakesNamesAsBytesFromItsCommandLine)
{
    const std::string sjis = dir.file("\x95\x5c\x8e\xa6");
    ASSERT_TRUE(writeBmpFile(loadPictureAsStored(input).value().bitmap(), sjis + ".bmp"));
    const auto quoted = [](const std::string& arg) { return "'" + arg + "'"; };  // no quote in these names
    const std::string program = TRIMLET_CLI;
    test::CommandResult r = test::runCommand(program + " --save " + quoted(sjis + ".bmp") + " 2>&1");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    const std::string kept = dir.file("\x95\\\\\x8e\xa6");  // the backslash doubled
    EXPECT_EQ(r.out, kept + "(1).jpg\n");
    EXPECT_EQ(loadPictureAsStored(sjis + "(1).jpg").value().width(), 21);
    r = test::runCommand(program + " info " + quoted(sjis + "(1).jpg"));
    EXPECT_EQ(r.out, kept + "(1).jpg\tjpeg\t21\t13\n");
}
#endif

TEST_F(CliFiles, TurnFlipAndRotateStepsApplyLeftToRight)
{
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();
    const std::string out = dir.file("out.bmp");
    auto run = [&](std::vector<std::string> steps) { return runSteps(std::move(steps), out); };
    EXPECT_EQ(run({"--turn", "right", "--flip", "vertical"}), flipVertical(turnRight(picture)));
    EXPECT_EQ(run({"--flip", "vertical", "--turn", "right"}), turnRight(flipVertical(picture)));
    EXPECT_EQ(run({"--turn", "left", "--flip", "horizontal", "--turn", "180"}),
              halfTurn(flipHorizontal(turnLeft(picture))));
    // The background is an option: it holds for every rotation, wherever it stands.
    EXPECT_EQ(run({"--rotate", "-30", "--turn", "right", "--background", "123456"}),
              turnRight(*rotateBilinear(picture, -30, Rgb{0x12, 0x34, 0x56})));
    EXPECT_EQ(run({"--rotate", "45"}), *rotateBilinear(picture, 45, Rgb{}));
    EXPECT_EQ(run({"--rotate", "0"}), picture);
    EXPECT_EQ(run({"--turn", "right", "--cut", "24x32"}).height(), 21);

    expectUsageErrors({{"--turn", "up"},
                       {"--turn"},
                       {"--flip", "diagonal"},
                       {"--rotate", "360"},
                       {"--rotate", "-360"},
                       {"--rotate", "1.5"},
                       {"--rotate", ""},
                       {"--background", "FFF"},
                       {"--background", "GGGGGG"},
                       {"--background", "-12345"},
                       {"--background", "0x1234"},
                       {"--background", "1234567"}});
}

TEST_F(CliFiles, JoinStepsUseTheAlignmentsAndBackground)
{
    const Bitmap picture = loadPictureAsStored(input).value().bitmap();  // 21 × 13
    const std::string addedPath = dir.file("added:1.bmp");               // a colon in the name
    const Bitmap added = test::photoLike(8, 30, 7);
    ASSERT_TRUE(writeBmpFile(added, addedPath));
    const std::string out = dir.file("out.bmp");
    auto run = [&](std::vector<std::string> steps) { return runSteps(std::move(steps), out); };

    const Bitmap left = run({"--join", addedPath + ":left", "--align-h", "bottom", "--background", "102030"});
    ASSERT_EQ(left.width(), 29);
    ASSERT_EQ(left.height(), 30);
    EXPECT_EQ(test::pixelAt(left, 8, 0), 0x102030u);
    EXPECT_EQ(test::pixelAt(left, 8, 17), test::pixelAt(picture, 0, 0));
    EXPECT_EQ(test::pixelAt(left, 7, 29), test::pixelAt(added, 7, 29));
    EXPECT_EQ(left, joinPictures(Picture(picture), Picture(added), JoinSide::Left, AlignH::Bottom, AlignV::Centre,
                                 Rgb{0x10, 0x20, 0x30}));

    // Default centre; trimming across a vertical join; steps before and after a join.
    EXPECT_EQ(run({"--join", addedPath + ":top"}),
              joinPictures(Picture(picture), Picture(added), JoinSide::Top, AlignH::Centre, AlignV::Centre, Rgb{}));
    EXPECT_EQ(run({"--turn", "right", "--join", addedPath + ":bottom", "--align-v", "trim", "--flip", "vertical"}),
              flipVertical(joinPictures(Picture(turnRight(picture)), Picture(added), JoinSide::Bottom, AlignH::Centre,
                                        AlignV::Trim, Rgb{})));

    // A join file that cannot be read fails the input it was to be joined to.
    const CliRun missing = runCli({input, "--join", dir.file("none.bmp") + ":right", "--output", dir.file("m.bmp")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("trimlet-cli: " + input + ": ", 0), 0u) << missing.err;
    EXPECT_NE(missing.err.find(dir.file("none.bmp")), std::string::npos) << missing.err;
    EXPECT_FALSE(test::fileExists(dir.file("m.bmp")));

    expectUsageErrors({{"--join", addedPath},
                       {"--join", addedPath + ":up"},
                       {"--join", ":left"},
                       {"--join"},
                       {"--join", addedPath + ":Left"},
                       {"--align-h", "left"},
                       {"--align-h", "center"},
                       {"--align-v", "top"},
                       {"--align-v", ""},
                       {"--align-v"}});
}

TEST_F(CliFiles, JoinKeepsTheInputsTransparencyUntilTheFirstEdit)
{
    // A 2 × 1 GIF whose second pixel is transparent.
    const std::vector<std::uint8_t> gif{'G', 'I', 'F',  '8', '9',  'a',  2, 0, 1, 0,    0x80, 0, 0,    0xFF, 0,
                                        0,   0,   0xFF, 0,   0x21, 0xF9, 4, 1, 0, 0,    1,    0, 0x2C, 0,    0,
                                        0,   0,   2,    0,   1,    0,    0, 2, 2, 0x44, 0x0A, 0, 0x3B};
    const std::string gifPath = dir.file("t.gif");
    test::writeBytes(gifPath, gif);
    const auto loaded = loadPictureAsStored(gifPath);
    ASSERT_TRUE(loaded) << loaded.error().message;
    ASSERT_TRUE(loaded.value().hasTransparency());

    // A rotation by 0 leaves the picture alone, as the window's does.
    const std::string out = dir.file("out.bmp");
    CliRun r =
        runCli({gifPath, "--rotate", "0", "--join", input + ":bottom", "--background", "0000FF", "--output", out});
    ASSERT_EQ(r.status, 0) << r.err;
    Bitmap joined = loadPictureAsStored(out).value().bitmap();
    ASSERT_EQ(joined.width(), 21);
    EXPECT_EQ(test::pixelAt(joined, 0, 0), 0x0000FFu);   // left margin of the centred GIF
    EXPECT_EQ(test::pixelAt(joined, 9, 0), 0xFF0000u);   // the GIF's opaque red pixel
    EXPECT_EQ(test::pixelAt(joined, 10, 0), 0x0000FFu);  // its transparent pixel

    // After a flip the picture is a plain bitmap: its hidden colour shows.
    r = runCli({gifPath, "--flip", "horizontal", "--join", input + ":bottom", "--output", out, "--force"});
    ASSERT_EQ(r.status, 0) << r.err;
    joined = loadPictureAsStored(out).value().bitmap();
    EXPECT_EQ(test::pixelAt(joined, 9, 0), test::pixelAt(loaded.value().bitmap(), 1, 0));
}

}  // namespace
}  // namespace trimlet
