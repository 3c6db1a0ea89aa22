// The HEIF and AVIF module as an installed or moved trimlet-cli meets it: found from the
// program's own folder, and its absence a plain failure of those files only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "codecs/bmp.h"
#include "codecs/heif_avif_module.h"
#include "codecs/picture_file.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

namespace fs = std::filesystem;

#ifdef TRIMLET_CLI
TEST(CliModule, AMovedProgramReadsHeifAndAvifWhereItsModuleIs)
{
    test::TempDir dir;
    const fs::path prefix = dir.path();
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "elsewhere");
    fs::copy_file(TRIMLET_CLI, prefix / "bin/trimlet-cli");
    fs::create_symlink(prefix / "bin/trimlet-cli", prefix / "elsewhere/trimlet-cli");
    const std::string seeds = TRIMLET_SOURCE_DIR "/fuzz/seeds/";
    const std::string heic = test::quoted(seeds + "heic/lossy.heic"), avif = test::quoted(seeds + "avif/grey.avif");
    const std::string bmp = dir.file("small.bmp");
    test::writeBytes(bmp, encodeBmp(test::photoLike(3, 2)));
    const auto run = [&](const std::string& program, const std::string& args) {
        return test::runCommand(test::quoted((prefix / program).string()) + " " + args + " 2>&1");
    };

    // Where this build keeps the module, below the build directory, is where the moved program
    // looks below its prefix.
    const fs::path module = heifAvifModulePath();
    const fs::path placed = prefix / module.lexically_relative(fs::path(TRIMLET_CLI).parent_path().parent_path());
    test::CommandResult r = run("bin/trimlet-cli", "info " + heic);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("HEIF and AVIF support is missing: " + placed.string()), std::string::npos) << r.out;
    r = run("bin/trimlet-cli", avif + " --output " + test::quoted(dir.file("out.jpg")));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("HEIF and AVIF support is missing"), std::string::npos) << r.out;
    EXPECT_FALSE(test::fileExists(dir.file("out.jpg")));
    r = run("bin/trimlet-cli", "info " + test::quoted(bmp));  // the other formats need no module
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, bmp + "\tbitmap\t3\t2\n");

    fs::create_directories(placed.parent_path());
    fs::copy_file(module, placed);
    for (const char* program : {"bin/trimlet-cli", "elsewhere/trimlet-cli"}) {
        r = run(program, "info " + heic + " " + avif);
        EXPECT_EQ(r.exitCode, 0) << program << ": " << r.out;
        EXPECT_EQ(r.out, seeds + "heic/lossy.heic\theif\t23\t17\n" + seeds + "avif/grey.avif\tavif\t23\t17\n");
    }
    r = run("bin/trimlet-cli", avif + " --output " + test::quoted(dir.file("out.jpg")));
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(loadPictureAsStored(dir.file("out.jpg")).value().width(), 23);
}
#endif

}  // namespace
}  // namespace trimlet
