// Profile files checked on their exact bytes, in memory and on disk.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "settings/profile_file.h"
#include "tests/support/test_support.h"

using namespace trimlet;
using test::TempDir;

namespace {

constexpr int D = -99;  // default that no case parses to

// "[size]" holds the preset "横VGA" in Shift_JIS; "[Size]" later repeats the section.
const std::string kSample =
    "; trimlet\r\n[winPosition]\r\nmain_w=1024\r\n\r\n[SIZE]\r\n  Width = 0x280 \r\ncaption0=\x89\xA1VGA\r\n"
    "note without equals\r\n#x=1\r\nwidth=1\r\n\r\n[concat]\r\nbgcolor=\" 255 \"\r\n[Size]\r\nheight=9\r\n";

std::string fileText(const std::string& path)
{
    const auto b = test::readBytes(path);
    return {b.begin(), b.end()};
}

void writeText(const std::string& path, const std::string& s) { test::writeBytes(path, {s.begin(), s.end()}); }

}  // namespace

TEST(ProfileInt, ParsesLikeThePrivateProfileReader)
{
    const std::pair<const char*, int> cases[] = {
        {"42", 42}, {" \t-17", -17}, {"+5", 5}, {"12abc", D}, {"1 2", D}, {"7 ", 7}, {"abc", D}, {"", D}, {"-", D},
        {"- 5", D}, {"0x32", 50}, {"0X1f", 31}, {"0xFFFFFF", 0xFFFFFF}, {"0xFFFFFFFF", -1}, {"-0x10", -16},
        {"0x", D}, {"0xZZ", D}, {"0x1g", D}, {"0x00000000FF", 255}, {"0x100000000", D}, {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN}, {"2147483648", D}, {"99999999999999999999", D},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(parseProfileInt(text, D), want) << text;
}

TEST(ProfileValue, FindsFirstSectionAndKeyWithoutRegardToCase)
{
    const std::pair<std::pair<const char*, const char*>, std::optional<std::string>> cases[] = {
        {{"size", "WIDTH"}, "0x280"},           {{"size", "caption0"}, "\x89\xA1VGA"},
        {{"size", "height"}, std::nullopt},     {{"size", "#x"}, std::nullopt},
        {{"size", "note without equals"}, std::nullopt}, {{"concat", "bgcolor"}, " 255 "},
        {{"winposition", "main_w"}, "1024"},    {{"jpeg", "quality"}, std::nullopt},
    };
    for (const auto& [name, want] : cases)
        EXPECT_EQ(findProfileValue(kSample, name.first, name.second), want) << name.first << "/" << name.second;
    EXPECT_EQ(findProfileValue("k=1\n[a]\n", "a", "k"), std::nullopt);
    // A Shift_JIS trail byte that looks like a letter does not fold ("\x83\x41" and "\x83\x61" differ).
    EXPECT_EQ(findProfileValue("[s]\n\x83\x41=1\n", "S", "\x83\x61"), std::nullopt);
}

TEST(ProfileValue, ChangesOnlyTheKeyInTheFilesOwnLineEnding)
{
    struct Case { std::string before, section, key, value, after; };
    const Case cases[] = {
        {"; c\n[Size]\nWidth = 640 \nfoo\n\n[jpeg]\n", "size", "width", "800",
         "; c\n[Size]\nWidth = 800\nfoo\n\n[jpeg]\n"},
        {"[a]\r\nx=1\r\n\r\n; of b\r\n[b]\r\n", "A", "y", "2", "[a]\r\nx=1\r\ny=2\r\n\r\n; of b\r\n[b]\r\n"},
        {"[a]\nx=1\n", "b", "y", "2", "[a]\nx=1\n[b]\ny=2\n"},
        {"[a]\nx=1", "a", "y", "2", "[a]\nx=1\ny=2\n"},
        {"[a]\nx=1", "b", "y", "", "[a]\nx=1\n[b]\ny=\n"},
        {"", "size", "w", " a ", "[size]\r\nw=\" a \"\r\n"},
        {"\xEF\xBB\xBF", "s", "k", "\"q\"", "\xEF\xBB\xBF[s]\r\nk=\"\"q\"\"\r\n"},
        {"[a]\nk=1\nk=2\n[a]\nz=0\n", "a", "K", "3", "[a]\nk=3\nk=2\n[a]\nz=0\n"},
    };
    for (const auto& c : cases) {
        const auto out = setProfileValue(c.before, c.section, c.key, c.value);
        ASSERT_TRUE(out) << c.before;
        EXPECT_EQ(out.value(), c.after);
        EXPECT_EQ(findProfileValue(out.value(), c.section, c.key), c.value);
    }
}

TEST(ProfileValue, RefusesWhatWouldNotReadBack)
{
    const std::pair<const char*, const char*> names[] = {
        {"", "k"}, {"s]", "k"}, {" s", "k"}, {"s", ""}, {"s", "a=b"},
        {"s", "[k"}, {"s", ";k"}, {"s", "#k"}, {"s", "k\n"}, {"s", " k"},
    };
    for (const auto& [section, key] : names)
        EXPECT_EQ(setProfileValue("", section, key, "v").error().code, ErrorCode::Invalid) << section << "/" << key;
    for (const std::string& value : {std::string("a\r\nb"), std::string("a\nb"), std::string("a\0b", 3)})
        EXPECT_FALSE(setProfileValue(kSample, "size", "width", value));
}

TEST(ProfileValue, EveryTruncationKeepsItsOtherKeys)
{
    const std::pair<const char*, const char*> keys[] = {{"winPosition", "main_w"}, {"size", "caption0"},
                                                       {"size", "width"}, {"concat", "bgcolor"}};
    for (std::size_t n = 0; n <= kSample.size(); ++n) {
        const std::string text = kSample.substr(0, n);
        const auto out = setProfileValue(text, "size", "new", "\x89\xA1");
        ASSERT_TRUE(out);
        EXPECT_EQ(findProfileValue(out.value(), "size", "new"), "\x89\xA1") << n;
        EXPECT_EQ(setProfileValue(out.value(), "size", "new", "\x89\xA1").value(), out.value());
        for (const auto& [section, key] : keys)
            EXPECT_EQ(findProfileValue(out.value(), section, key), findProfileValue(text, section, key)) << n;
    }
}

TEST(ProfileFile, ReadsAndWritesThroughTheDisk)
{
    TempDir dir;
    ProfileFile missing(dir.file("none.ini"));
    EXPECT_EQ(missing.readInt("size", "width", 640), 640);
    EXPECT_EQ(missing.readString("output", "path", "dflt"), "dflt");

    ProfileFile ini(dir.file("t.ini"));
    writeText(ini.path(), kSample);
    ASSERT_TRUE(ini.writeInt("size", "width", -5));
    ASSERT_TRUE(ini.writeString("size", "caption1", "\x8F\x63"));
    ASSERT_TRUE(ini.writeInt("jpeg", "quality", 50));
    EXPECT_EQ(ini.readInt("SIZE", "width", D), -5);
    EXPECT_EQ(ini.readString("size", "caption1", ""), "\x8F\x63");
    EXPECT_EQ(fileText(ini.path()),
              "; trimlet\r\n[winPosition]\r\nmain_w=1024\r\n\r\n[SIZE]\r\n  Width = -5\r\ncaption0=\x89\xA1VGA\r\n"
              "note without equals\r\n#x=1\r\nwidth=1\r\ncaption1=\x8F\x63\r\n\r\n[concat]\r\nbgcolor=\" 255 \"\r\n"
              "[Size]\r\nheight=9\r\n[jpeg]\r\nquality=50\r\n");

    // Through a link the link's target changes, and the link stays.
    std::filesystem::create_symlink("t.ini", dir.file("link.ini"));
    ASSERT_TRUE(ProfileFile(dir.file("link.ini")).writeInt("jpeg", "quality", 70));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(ini.readInt("jpeg", "quality", D), 70);
}

TEST(ProfileFile, ARefusedWriteFailsAndKeepsTheOldFile)
{
    TempDir dir;
    writeText(dir.file("plain"), "x");
    EXPECT_FALSE(ProfileFile(dir.file("no/such/folder/t.ini")).writeInt("a", "b", 1));
    EXPECT_FALSE(ProfileFile(dir.file("plain/t.ini")).writeInt("a", "b", 1));

    ProfileFile ini(dir.file("t.ini"));
    writeText(ini.path(), kSample);
    Status written;
    test::withFileSizeLimit(kSample.size(), [&] { written = ini.writeString("size", "caption0", "a longer name than before"); });
    EXPECT_FALSE(written);
    EXPECT_EQ(fileText(ini.path()), kSample);

    // A file too large to be settings reads as empty and is never replaced; none grows past the cap.
    const std::string head = "[size]\nwidth=5\n";
    for (const std::string& text : {head + std::string(kMaxProfileBytes, 'x'),
                                    head + std::string(kMaxProfileBytes - head.size(), 'x')}) {
        writeText(ini.path(), text);
        EXPECT_EQ(ini.readInt("size", "width", D), text.size() > kMaxProfileBytes ? D : 5);
        EXPECT_EQ(ini.writeInt("size", "width", 123456).error().code, ErrorCode::TooLarge);
        EXPECT_EQ(fileText(ini.path()), text);
    }
}

TEST(ProfileFile, AReadOnlyFileOrFolderRefusesTheWrite)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    TempDir dir;
    ProfileFile ini(dir.file("t.ini"));
    writeText(ini.path(), kSample);
    std::filesystem::permissions(ini.path(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(ini.writeInt("size", "width", 7));
    std::filesystem::permissions(ini.path(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(ini.writeInt("size", "width", 7));
    EXPECT_FALSE(ProfileFile(dir.file("new.ini")).writeInt("size", "width", 7));
    EXPECT_EQ(fileText(ini.path()), kSample);
}
