#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "codecs/picture_file.h"
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
