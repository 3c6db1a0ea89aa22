// trimlet-cli --cut-set and --span: one piece a size or a monitor, under one serial number.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/exif.h"
#include "codecs/picture_file.h"
#include "document/output_job.h"
#include "document/stored_settings.h"
#include "tests/cli/cli_run.h"
#include "tests/codecs/photo_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

namespace fs = std::filesystem;
using test::quoted;

const std::string kSet = "1920x1080,1080x2400,2560x1600";
const std::string kScreens = "2560x1440+0+0/597,1920x1080+2560+180/527";

std::string sizeOf(const std::string& path)
{
    const auto probed = probePictureFile(path);
    if (!probed)
        return "unreadable";
    const PictureSize s = shownSize(probed.value().size, probed.value().orientation);
    return std::to_string(s.width) + "x" + std::to_string(s.height);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    for (std::size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        out.push_back(text.substr(at, nl - at));
    return out;
}

Bitmap djpeg(const std::string& command)
{
    const test::CommandResult r = test::runCommand(command + " | djpeg");
    return test::fromPnm({r.out.begin(), r.out.end()});
}

class CliSets : public ::testing::Test {
protected:
    void SetUp() override { test::requireTools({"cjpeg", "djpeg", "jpegtran"}); }

    std::string photo(const std::string& name, int w, int h, std::uint32_t seed = 1)
    {
        test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(w, h, seed)));
        test::mustRun("cjpeg -quality 85 -sample 2x2 -outfile " + quoted(dir.file(name)) + " " +
                      quoted(dir.file("src.ppm")));
        fs::remove(dir.file("src.ppm"));
        return dir.file(name);
    }

    // The written pieces' names in the folder, each with its size.
    std::vector<std::string> pieces(const std::string& folder)
    {
        std::vector<std::string> named;
        for (const std::string& name : test::entryNames(folder))
            if (name.find('_') != std::string::npos)
                named.push_back(name + " " + sizeOf(folder + "/" + name));
        return named;
    }

    test::TempDir dir;
};

TEST_F(CliSets, RefusesWhatDoesNotHoldTogether)
{
    const std::string in = photo("in.jpg", 64, 64);
    struct Refusal {
        std::vector<std::string> args;
        std::string message;
    };
    const Refusal cases[] = {
        {{"--cut-set", kSet, "--turn", "right", "--save"}, "--cut-set must be the last step"},
        {{"--cut-set", kSet, "--cut-set", "640x480", "--save"}, "one --cut-set or --span at most"},
        {{"--span", kScreens, "--cut-set", kSet, "--save"}, "one --cut-set or --span at most"},
        {{"--cut", "640x480", "--cut-set", kSet, "--save"}, "--cut-set does not go with --cut"},
        {{"--cut-set", kSet, "--output", dir.file("x.jpg")}, "--cut-set writes several files; use --save"},
        {{"--span", kScreens, "--output", dir.file("x.jpg")}, "--span writes several files; use --save"},
        {{"--span", kScreens, "--lossless", "--save"}, "--span does not go with --lossless: a span resamples"},
        {{"--cut-set", kSet + "@50", "--lossless", "--save"}, "--cut-set takes the rate 100 (or @fit), not 50"},
        {{"--rotate", "3", "--cut-set", kSet, "--lossless", "--save"}, "--rotate does not go with --lossless"},
        {{"--cut-set", kSet, "--bezel", "3", "--save"}, "--bezel goes with --span"},
        {{"--bezel", "3", "--save"}, "--bezel goes with --span"},
        {{"--span", kScreens, "--bezel", "1001", "--save"}, "--bezel takes millimetres 0..1000"},
        {{"--span", "1920x1080+0+0", "--save"}, "--span takes SCREENS"},
        {{"--cut-set", "1920x1080,20x1080", "--save"}, "--cut-set 1920x1080,20x1080: "},
        {{"--cut-set", "1920x1080@0", "--save"}, "--cut-set takes NAME or WxH,WxH"},
        {{"--cut-set", "1920x1080+5", "--save"}, "--cut-set takes NAME or WxH,WxH"},
        {{"--cut-set", "\xE3\x81\x93\xE3\x81\xAE\xE7\x94\xBB\xE9\x9D\xA2\xE3\x81\x99\xE3\x81\xB9\xE3\x81\xA6",
          "--save"},
         "the command line has no screens: give the sizes"},
        {{"--cut-set", "no such set", "--save"}, "no cut set named no such set in "},
    };
    for (const Refusal& c : cases) {
        std::vector<std::string> args{in};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = runCli(args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(test::entryNames(dir.path()), std::vector<std::string>{"in.jpg"});
}

TEST_F(CliSets, EachPhotoGetsEverySizeUnderOneNumberAndTheNextRunTheNext)
{
    const std::string wide = photo("wide.jpg", 2800, 2600, 1), tall = photo("tall.jpg", 2600, 2800, 2);
    const CliRun first = runCli({wide, tall, "--cut-set", kSet + "@fit", "--save"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(lines(first.out),
              (std::vector<std::string>{dir.file("wide(1)_1920x1080.jpg"), dir.file("wide(1)_1080x2400.jpg"),
                                        dir.file("wide(1)_2560x1600.jpg"), dir.file("tall(1)_1920x1080.jpg"),
                                        dir.file("tall(1)_1080x2400.jpg"), dir.file("tall(1)_2560x1600.jpg")}));
    ASSERT_EQ(runCli({wide, tall, "--cut-set", kSet + "@fit", "--save"}).status, 0);
    std::vector<std::string> want;
    for (const char* stem : {"tall", "wide"})
        for (const char* n : {"(1)", "(2)"})
            for (const char* size : {"1080x2400", "1920x1080", "2560x1600"})
                want.push_back(stem + std::string(n) + "_" + size + ".jpg " + size);
    EXPECT_EQ(pieces(dir.path()), want);

    // The main size is placed exactly as --cut places it: the same file.
    ASSERT_EQ(runCli({wide, "--cut", "1920x1080@fit+700,900", "--output", dir.file("single.jpg")}).status, 0);
    const CliRun again = runCli({wide, "--cut-set", kSet + "@fit+700,900", "--save", "--save-dir", dir.path()});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(test::readBytes(dir.file("wide(3)_1920x1080.jpg")), test::readBytes(dir.file("single.jpg")));
}

TEST_F(CliSets, APieceThatCannotBeWrittenLeavesNoneOfItsPhoto)
{
    const std::string in = photo("in.jpg", 2800, 2600);
    test::writeBytes(dir.file("broken.jpg"), {0xFF, 0xD8, 0xFF, 0x00});
    fs::create_directory(dir.file("probe"));
    ASSERT_EQ(runCli({in, "--cut-set", kSet, "--save", "--save-dir", dir.file("probe")}).status, 0);
    const auto bytes = [&](const char* size) { return fs::file_size(dir.file("probe/in(1)_") + size + ".jpg"); };
    const std::uintmax_t small = std::max(bytes("1920x1080"), bytes("1080x2400")), large = bytes("2560x1600");
    ASSERT_LT(small, large);

    // The disk fills at the last piece, after two are written.
    fs::create_directory(dir.file("full"));
    CliRun full{};
    test::withFileSizeLimit((small + large) / 2, [&] {
        full = runCli({in, "--cut-set", kSet, "--save", "--save-dir", dir.file("full")});
    });
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err.rfind("trimlet-cli: " + in + ": ", 0), 0u) << full.err;
    EXPECT_NE(full.err.find(dir.file("full/in(1)_2560x1600.jpg")), std::string::npos) << full.err;
    EXPECT_EQ(test::entryNames(dir.file("full")), std::vector<std::string>{});

    // A piece over --max-kb fails its photo before anything is written; the other inputs run.
    const CliRun limited = runCli({in, "--cut-set", kSet, "--save", "--max-kb", "1"});
    EXPECT_EQ(limited.status, 1);
    EXPECT_NE(limited.err.find(in + ": the 1920x1080 piece: the result does not fit in 1 kB"), std::string::npos)
        << limited.err;
    const CliRun past = runCli({in, "--cut-set", kSet + ":1000,0", "--save"});
    EXPECT_EQ(past.status, 1);
    EXPECT_NE(past.err.find(in + ": --cut-set 1920x1080@100 takes 1920x1080 pixels, which from 1000,0 reach past"),
              std::string::npos)
        << past.err;
    const CliRun batch = runCli({dir.file("broken.jpg"), in, "--cut-set", kSet, "--save"});
    EXPECT_EQ(batch.status, 1);
    EXPECT_EQ(lines(batch.out).size(), 3u) << batch.out;
    EXPECT_EQ(test::entryNames(dir.path()),
              (std::vector<std::string>{"broken.jpg", "full", "in(1)_1080x2400.jpg", "in(1)_1920x1080.jpg",
                                        "in(1)_2560x1600.jpg", "in.jpg", "probe"}));

    fs::create_directory(dir.file("ro"));
    const test::ReadOnlyFolder readOnly(dir.file("ro"));
    if (!readOnly.ok())
        GTEST_SKIP() << "cannot make a read-only folder here";
    const CliRun refused = runCli({in, "--cut-set", kSet, "--save", "--save-dir", dir.file("ro")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.ends_with(" (no permission to write in that folder, or it is read-only)\n")) << refused.err;
}

#ifdef TRIMLET_CLI
TEST_F(CliSets, ANameIsASetOfTheWindowsSettingsFile)
{
    // A copy in a folder of its own runs portably, with the window's file beside it.
    fs::create_directory(dir.file("bin"));
    fs::copy_file(TRIMLET_CLI, dir.file("bin/trimlet-cli"));
    const std::string phone = "\xE3\x82\xB9\xE3\x83\x9E\xE3\x83\x9B";  // スマホ
    const std::vector<CutSet> sets = {
        {phone, CutSet::Kind::Sizes, {{1080, 2400}, {640, 480}}, {}, 0},
        {"desk", CutSet::Kind::Span, {}, {{2560, 1440, 0, 0, 597}, {1920, 1080, 2560, 180, 527}}, 10},
    };
    ASSERT_TRUE(writeCutSets(dir.file("bin/trimlet.ini"), sets));
    const std::string in = photo("in.jpg", 2800, 2600);
    const auto run = [&](const std::string& name) {
        return test::runCommand(quoted(dir.file("bin/trimlet-cli")) + " " + quoted(in) + " --save --cut-set " +
                                quoted(name) + " 2>&1");
    };
    test::CommandResult r = run(phone);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, dir.file("in(1)_1080x2400.jpg") + "\n" + dir.file("in(1)_640x480.jpg") + "\n");
    r = run("desk");
    EXPECT_EQ(r.exitCode, 0) << r.out;
    // Its names are free at the first number still.
    EXPECT_EQ(r.out, dir.file("in(1)_2560x1440.jpg") + "\n" + dir.file("in(1)_1920x1080.jpg") + "\n");
    r = run("laptop");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "trimlet-cli: no cut set named laptop in " + dir.file("bin/trimlet.ini") + "\n");
}
#endif

TEST_F(CliSets, ASpanWritesAPieceAScreenAtItsOwnSize)
{
    const std::string in = photo("in.jpg", 3000, 2000);
    const CliRun r = runCli({in, "--span", kScreens + "@fit", "--bezel", "10", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out),
              (std::vector<std::string>{dir.file("in(1)_2560x1440.jpg"), dir.file("in(1)_1920x1080.jpg")}));
    EXPECT_EQ(pieces(dir.path()),
              (std::vector<std::string>{"in(1)_1920x1080.jpg 1920x1080", "in(1)_2560x1440.jpg 2560x1440"}));
    // Two screens of one size keep apart by their place.
    const CliRun twins = runCli({in, "--span", "1920x1080+0+0/527,1920x1080+1920+0/527", "--save"});
    ASSERT_EQ(twins.status, 0) << twins.err;
    const std::vector<std::string> written = lines(twins.out);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_NE(written[0], written[1]);
    for (const std::string& path : written)
        EXPECT_EQ(sizeOf(path), "1920x1080") << path;
}

TEST_F(CliSets, LosslessMembersAreTheSourcesBlocksOnTheGrid)
{
    // 16-pixel blocks; the main size's centred corner 160,128 is on the grid, and 250x320 about
    // the same centre, from 195,80, moves to the nearest grid corner 192,80.
    const std::string in = photo("in.jpg", 640, 480);
    const CliRun r =
        runCli({in, "--turn", "180", "--turn", "180", "--cut-set", "320x224,250x320,480x288", "--lossless", "--save"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::pair<const char*, const char*> cases[] = {
        {"320x224", "320x224+160+128"}, {"250x320", "250x320+192+80"}, {"480x288", "480x288+80+96"}};
    for (const auto& [size, crop] : cases) {
        SCOPED_TRACE(size);
        const Bitmap want = djpeg("jpegtran -copy none -crop " + std::string(crop) + " " + quoted(in));
        ASSERT_FALSE(want.empty());
        EXPECT_TRUE(djpeg("cat " + quoted(dir.file("in(1)_" + std::string(size) + ".jpg"))) == want);
    }
}

}  // namespace
}  // namespace trimlet
