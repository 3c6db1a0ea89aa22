// The limits of every option value: the last value taken and the first one refused.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace trimlet {
namespace {

// The exit status for one option value on an input that does not exist: 1 when the value was
// taken (the file then fails), 2 when it was refused as a usage error.
int statusFor(const std::string& option, const std::string& value)
{
    std::ostringstream out, err;
    return cli::run({"no-such-input.bmp", "--save", option, value}, out, err, {});
}

TEST(CliArguments, NumbersAreTakenUpToTheirLimitsAndNoFurther)
{
    struct Limit {
        const char* option;
        const char* taken;
        const char* refused;
    };
    const Limit limits[] = {
        {"--cut", "24x32", "23x32"},
        {"--cut", "24x32", "24x31"},
        {"--cut", "4096x4096", "4097x4096"},
        {"--cut", "4096x4096", "4096x4097"},
        {"--cut", "24x32@1", "24x32@0"},
        {"--cut", "24x32@100", "24x32@101"},
        {"--cut", "24x32+0,0", "24x32+-1,0"},
        {"--cut", "24x32+0,0", "24x32+0,-1"},
        {"--cut", "24x32@50:0,0", "24x32@50:-1,0"},
        {"--cut", "24x32@50:0,0", "24x32@50:0,-1"},
        {"--rotate", "-359", "-360"},
        {"--rotate", "359", "360"},
        {"--quality", "1", "0"},
        {"--quality", "100", "101"},
        {"--background", "ffffff", "fffffff"},
    };
    for (const Limit& l : limits) {
        EXPECT_EQ(statusFor(l.option, l.taken), 1) << l.option << " " << l.taken;
        EXPECT_EQ(statusFor(l.option, l.refused), 2) << l.option << " " << l.refused;
    }
}

TEST(CliArguments, AJoinedFileMayHaveColonsInItsName)
{
    // Only the last colon separates the side.
    EXPECT_EQ(statusFor("--join", "a:b.png:left"), 1);
    EXPECT_EQ(statusFor("--join", "c:\\b.png:top"), 1);
    EXPECT_EQ(statusFor("--join", "a:b.png:up"), 2);
    EXPECT_EQ(statusFor("--join", ":left"), 2);
}

}  // namespace
}  // namespace trimlet
