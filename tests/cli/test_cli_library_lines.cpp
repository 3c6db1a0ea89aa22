// What the decoding libraries print themselves reaches standard error as the program's own lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

#ifdef TRIMLET_CLI
TEST(CliLibraryLines, Dav1dsLinesCarryTheProgramsName)
{
    ASSERT_TRUE(test::haveTools({"convert", "avifenc"}));
    test::TempDir dir;
    const std::string png = dir.file("src.png"), avif = dir.file("damaged.avif");
    ASSERT_TRUE(test::ran("convert -size 64x48 gradient:red-blue " + test::quoted(png)));
    ASSERT_TRUE(test::ran("avifenc -s 10 -c aom " + test::quoted(png) + " " + test::quoted(avif)));
    // The first OBU's type made one that no AV1 decoder knows: libheif and libavif hand it on,
    // and dav1d says so.
    std::vector<std::uint8_t> file = test::readBytes(avif);
    const std::size_t mdat = std::string(file.begin(), file.end()).find("mdat");
    ASSERT_TRUE(mdat != std::string::npos && mdat + 4 < file.size());
    file[mdat + 4] ^= 0xFF;
    test::writeBytes(avif, file);

    const test::CommandResult r = test::runCommand(std::string(TRIMLET_CLI) + " " + test::quoted(avif) + " --output " +
                                                   test::quoted(dir.file("out.png")) + " 2>&1 >/dev/null");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("OBU"), std::string::npos) << "dav1d said nothing, so nothing was checked:\n" << r.out;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("trimlet-cli: ", 0), 0u) << line;
}
#endif

}  // namespace
}  // namespace trimlet
