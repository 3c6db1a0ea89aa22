// Profile files checked on their exact bytes, in memory and on disk.
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

std::string quoted(const std::string& s) { return "'" + s + "'"; }  // no quote in these names

// Plain users for the tests that run as root.
constexpr uid_t kUser = 61000, kOther = 61001;

// A command run as another user, with its standard output and error.
test::CommandResult runAs(uid_t uid, const std::string& command)
{
    const std::string id = std::to_string(uid);
    return test::runCommand("setpriv --reuid=" + id + " --regid=" + id + " --clear-groups " + command + " 2>&1");
}

// One read or write by profile_tool in a process of its own, stopped after 10 seconds
// (exit status 124) should it hang.
test::CommandResult tool(const std::string& verb, const std::string& path, const std::string& last)
{
    return test::runCommand(std::string("timeout 10 ") + PROFILE_TOOL + " " + verb + " " + quoted(path) +
                            " size width " + last + " 2>/dev/null");
}

}  // namespace

TEST(ProfileInt, ParsesLikeThePrivateProfileReader)
{
    const std::pair<const char*, int> cases[] = {
        {"42", 42},
        {" \t-17", -17},
        {"+5", 5},
        {"12abc", D},
        {"1 2", D},
        {"7 ", 7},
        {"abc", D},
        {"", D},
        {"-", D},
        {"- 5", D},
        {"0x32", 50},
        {"0X1f", 31},
        {"0xFFFFFF", 0xFFFFFF},
        {"0xFFFFFFFF", -1},
        {"-0x10", -16},
        {"0x", D},
        {"0xZZ", D},
        {"0x1g", D},
        {"0x00000000FF", 255},
        {"0x100000000", D},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", D},
        {"99999999999999999999", D},
    };
    for (const auto& [text, want] : cases)
        EXPECT_EQ(parseProfileInt(text, D), want) << text;
}

TEST(ProfileValue, FindsFirstSectionAndKeyWithoutRegardToCase)
{
    const std::pair<std::pair<const char*, const char*>, std::optional<std::string>> cases[] = {
        {{"size", "WIDTH"}, "0x280"},
        {{"size", "caption0"}, "\x89\xA1VGA"},
        {{"size", "height"}, std::nullopt},
        {{"size", "#x"}, std::nullopt},
        {{"size", "note without equals"}, std::nullopt},
        {{"concat", "bgcolor"}, " 255 "},
        {{"winposition", "main_w"}, "1024"},
        {{"jpeg", "quality"}, std::nullopt},
    };
    for (const auto& [name, want] : cases)
        EXPECT_EQ(findProfileValue(kSample, name.first, name.second), want) << name.first << "/" << name.second;
    EXPECT_EQ(findProfileValue("k=1\n[a]\n", "a", "k"), std::nullopt);
    // A Shift_JIS trail byte that looks like a letter does not fold ("\x83\x41" and "\x83\x61" differ).
    EXPECT_EQ(findProfileValue("[s]\n\x83\x41=1\n", "S", "\x83\x61"), std::nullopt);
}

TEST(ProfileValue, ChangesOnlyTheKeyInTheFilesOwnLineEnding)
{
    struct Case {
        std::string before, section, key, value, after;
    };
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

TEST(ProfileSection, ListsAndReplacesTheFirstSectionsKeysKeepingEveryOtherLine)
{
    const std::string before =
        "[a]\r\nx=1\r\n[Sets]\r\n; mine\r\nOne = 1 \r\nnote\r\none=dup\r\n\"q\"\r\n"
        "two=\" 2\"\r\n\r\n[b]\r\ny=2\r\n[sets]\r\nlater=9\r\n";
    EXPECT_EQ(findProfileSection(before, "sets"),
              (std::vector<ProfileEntry>{{"One", "1"}, {"two", " 2"}}));  // the first "one" only
    struct Case {
        std::string before;
        std::vector<ProfileEntry> entries;
        std::string after;
    };
    const Case cases[] = {
        {before,
         {{"three", "3"}, {"one", " x"}},
         "[a]\r\nx=1\r\n[Sets]\r\n; mine\r\nthree=3\r\none=\" x\"\r\nnote\r\n\"q\"\r\n\r\n[b]\r\ny=2\r\n"
         "[sets]\r\nlater=9\r\n"},
        {"[sets]\n; only a comment\n\n[b]\n", {{"k", "v"}}, "[sets]\nk=v\n; only a comment\n\n[b]\n"},
        {"[sets]\nk=1\nj=2", {}, "[sets]\n"},
        {"[a]\nx=1", {{"k", "v"}}, "[a]\nx=1\n[sets]\nk=v\n"},
        {"[a]\nx=1\n", {}, "[a]\nx=1\n"},
    };
    for (const Case& c : cases) {
        const auto out = replaceProfileSection(c.before, "sets", c.entries);
        ASSERT_TRUE(out) << c.before;
        EXPECT_EQ(out.value(), c.after);
        EXPECT_EQ(findProfileSection(out.value(), "sets"), c.entries);
    }
    for (const std::vector<ProfileEntry>& bad : std::vector<std::vector<ProfileEntry>>{{{"a=b", "1"}},
                                                                                       {{"[a", "1"}},
                                                                                       {{";a", "1"}},
                                                                                       {{" a", "1"}},
                                                                                       {{"a\n", "1"}},
                                                                                       {{"", "1"}},
                                                                                       {{"a", "1\r"}},
                                                                                       {{"Abc", "1"}, {"aBC", "2"}}})
        EXPECT_FALSE(replaceProfileSection(before, "sets", bad)) << bad.front().key;
}

TEST(ProfileValue, RefusesWhatWouldNotReadBack)
{
    const std::pair<const char*, const char*> names[] = {
        {"", "k"},   {"s]", "k"}, {" s", "k"}, {"s", ""},    {"s", "a=b"},
        {"s", "[k"}, {"s", ";k"}, {"s", "#k"}, {"s", "k\n"}, {"s", " k"},
    };
    for (const auto& [section, key] : names)
        EXPECT_EQ(setProfileValue("", section, key, "v").error().code, ErrorCode::Invalid) << section << "/" << key;
    for (const std::string& value : {std::string("a\r\nb"), std::string("a\nb"), std::string("a\0b", 3)})
        EXPECT_FALSE(setProfileValue(kSample, "size", "width", value));
}

TEST(ProfileValue, BlanksAtEitherEndAndQuotesReadBack)
{
    for (const char* value : {"a ", " a", "\ta", "a\t", " ", "\"a\"", "\"", "\"a", "a\"", "in side", ""}) {
        const auto out = setProfileValue("[s]\r\n", "s", "k", value);
        ASSERT_TRUE(out) << value;
        EXPECT_EQ(findProfileValue(out.value(), "s", "k"), value) << out.value();
    }
}

TEST(ProfileValue, EveryTruncationKeepsItsOtherKeys)
{
    const std::pair<const char*, const char*> keys[] = {
        {"winPosition", "main_w"}, {"size", "caption0"}, {"size", "width"}, {"concat", "bgcolor"}};
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

    // Through our own links the last target changes, and the links stay.
    std::filesystem::create_symlink("t.ini", dir.file("link.ini"));
    std::filesystem::create_symlink(dir.file("link.ini"), dir.file("link2.ini"));
    ASSERT_TRUE(ProfileFile(dir.file("link2.ini")).writeInt("jpeg", "quality", 70));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link2.ini")));
    EXPECT_EQ(ini.readInt("jpeg", "quality", D), 70);

    // A link that leads to no file is no settings file to rewrite: it stays a link.
    std::filesystem::create_symlink("gone.ini", dir.file("dangling.ini"));
    EXPECT_FALSE(ProfileFile(dir.file("dangling.ini")).writeInt("jpeg", "quality", 70));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.ini")));
    EXPECT_FALSE(test::fileExists(dir.file("gone.ini")));
}

TEST(ProfileFile, OnlyARegularFileIsReadOrWrittenAndNothingHangs)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir.file("to-fifo.ini"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.ini"));
    std::filesystem::create_symlink("/dev/null", dir.file("null.ini"));
    std::filesystem::create_directory(dir.file("folder.ini"));
    for (const char* name : {"fifo.ini", "to-fifo.ini", "zero.ini", "null.ini", "folder.ini"}) {
        test::CommandResult r = tool("read", dir.file(name), "640");
        EXPECT_EQ(r.exitCode, 0) << name;  // 124 when it hung
        EXPECT_EQ(r.out, "640\n") << name;
        EXPECT_EQ(tool("write", dir.file(name), "800").exitCode, 1) << name;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("null.ini")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ini")));
}

TEST(ProfileFile, TwoProcessesWritingAtOnceKeepEveryKey)
{
    TempDir dir;
    const std::string path = dir.file("t.ini");
    writeText(path, kSample);
    constexpr int kWrites = 150;
    std::vector<pid_t> children;
    for (const char* prefix : {"a", "b"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ProfileFile ini(path);
            int failed = 0;
            for (int i = 0; i < kWrites; ++i)
                failed += ini.writeInt("size", prefix + std::to_string(i), i) ? 0 : 1;
            ::_exit(failed == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = fileText(path);
    for (int i = 0; i < kWrites; ++i)
        for (const char* prefix : {"a", "b"})
            EXPECT_EQ(findProfileValue(text, "size", prefix + std::to_string(i)), std::to_string(i)) << prefix << i;
    EXPECT_EQ(findProfileValue(text, "size", "caption0"), "\x89\xA1VGA");
}

TEST(ProfileFile, ALockHeldForGoodFailsTheWriteInsteadOfHanging)
{
    TempDir dir;
    ProfileFile ini(dir.file("t.ini"));
    writeText(ini.path(), kSample);
    const int reader = ::open(ini.path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(reader, LOCK_SH), 0);
    EXPECT_FALSE(ini.writeInt("size", "width", 7));
    EXPECT_EQ(fileText(ini.path()), kSample);
    ::close(reader);
    EXPECT_TRUE(ini.writeInt("size", "width", 7));
}

// As root, through setpriv: a user, and another user who can write the same (portable) folder.
TEST(ProfileFile, LinksAreFollowedOnlyWhenTheyAndTheirTargetAreTheUsersOwn)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two users through setpriv needs root";
    if (!test::haveProgram("setpriv"))
        GTEST_SKIP() << "setpriv is not installed";
    const auto as = runAs;
    const auto link = [&](uid_t uid, const std::string& target, const std::string& name) {
        ASSERT_EQ(as(uid, "ln -s " + quoted(target) + " " + quoted(name)).exitCode, 0) << name;
    };
    const auto write = [&](const std::string& path) {
        return as(kUser, "timeout 10 " + std::string(PROFILE_TOOL) + " write " + quoted(path) + " size width 800");
    };

    TempDir dir;
    ::chmod(dir.path().c_str(), 0755);
    const std::string home = dir.file("home"), shared = dir.file("shared");
    std::filesystem::create_directory(home);
    ASSERT_EQ(::chown(home.c_str(), kUser, kUser), 0);
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0777);  // no sticky bit: the kernel's link protection stays out of it
    const std::string bashrc = home + "/.bashrc", othersFile = shared + "/other.ini";
    writeText(bashrc, "export A=1\n");
    ASSERT_EQ(::chown(bashrc.c_str(), kUser, kUser), 0);
    writeText(othersFile, kSample);
    ASSERT_EQ(::chmod(othersFile.c_str(), 0666), 0);
    ASSERT_EQ(::chown(othersFile.c_str(), kOther, kOther), 0);

    // The other user points the shared settings file at the user's ~/.bashrc.
    link(kOther, bashrc, shared + "/trimlet.ini");
    test::CommandResult r = write(shared + "/trimlet.ini");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("link of another user"), std::string::npos) << r.out;
    // The user's own link, but through one of the other user's, or to the other user's file.
    link(kOther, bashrc, shared + "/hop.ini");
    link(kUser, shared + "/hop.ini", home + "/chain.ini");
    link(kUser, othersFile, home + "/to-other.ini");
    EXPECT_EQ(write(home + "/chain.ini").exitCode, 1);
    r = write(home + "/to-other.ini");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("file of another user"), std::string::npos) << r.out;
    EXPECT_EQ(fileText(bashrc), "export A=1\n");
    EXPECT_EQ(fileText(othersFile), kSample);
    EXPECT_TRUE(std::filesystem::is_symlink(shared + "/trimlet.ini"));

    // A dotfile setup: the user's link to the user's file is followed and stays a link.
    ASSERT_EQ(as(kUser, "mkdir " + quoted(home + "/dotfiles")).exitCode, 0);
    ASSERT_EQ(write(home + "/dotfiles/trimlet.ini").exitCode, 0);
    link(kUser, "dotfiles/trimlet.ini", home + "/trimlet.ini");
    ASSERT_EQ(
        as(kUser, std::string(PROFILE_TOOL) + " write " + quoted(home + "/trimlet.ini") + " jpeg quality 50").exitCode,
        0);
    EXPECT_TRUE(std::filesystem::is_symlink(home + "/trimlet.ini"));
    EXPECT_EQ(ProfileFile(home + "/dotfiles/trimlet.ini").readInt("jpeg", "quality", D), 50);
    EXPECT_EQ(ProfileFile(home + "/dotfiles/trimlet.ini").readInt("size", "width", D), 800);
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
    test::withFileSizeLimit(kSample.size(),
                            [&] { written = ini.writeString("size", "caption0", "a longer name than before"); });
    EXPECT_FALSE(written);
    EXPECT_EQ(fileText(ini.path()), kSample);

    // A file too large to be settings reads as empty and is never replaced; none grows past the cap.
    const std::string head = "[size]\nwidth=5\n";
    for (const std::string& text :
         {head + std::string(kMaxProfileBytes, 'x'), head + std::string(kMaxProfileBytes - head.size(), 'x')}) {
        writeText(ini.path(), text);
        EXPECT_EQ(ini.readInt("size", "width", D), text.size() > kMaxProfileBytes ? D : 5);
        EXPECT_EQ(ini.writeInt("size", "width", 123456).error().code, ErrorCode::TooLarge);
        EXPECT_EQ(fileText(ini.path()), text);
    }
}

TEST(ProfileFile, AReadOnlyFileOrFolderRefusesTheWrite)
{
    // Permissions do not stop root, so as root the writes run as a plain user.
    const bool root = ::geteuid() == 0;
    if (root && !test::haveProgram("setpriv"))
        GTEST_SKIP() << "permissions do not stop root, and setpriv is not installed to act as another user";
    TempDir dir;
    ProfileFile ini(dir.file("t.ini"));
    writeText(ini.path(), kSample);
    if (root) {
        ASSERT_EQ(::chown(dir.path().c_str(), kUser, kUser), 0);
        ASSERT_EQ(::chown(ini.path().c_str(), kUser, kUser), 0);
    }
    const auto written = [&](const std::string& path) {
        if (!root)
            return bool(ProfileFile(path).writeInt("size", "width", 7));
        return runAs(kUser, std::string(PROFILE_TOOL) + " write " + quoted(path) + " size width 7").exitCode == 0;
    };
    std::filesystem::permissions(ini.path(), std::filesystem::perms::owner_read);
    EXPECT_FALSE(written(ini.path()));
    std::filesystem::permissions(ini.path(), std::filesystem::perms::owner_all);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(written(ini.path()));
    EXPECT_FALSE(written(dir.file("new.ini")));
    EXPECT_EQ(fileText(ini.path()), kSample);
    EXPECT_FALSE(test::fileExists(dir.file("new.ini")));
    // The same write goes through once the folder lets it.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(written(ini.path()));
}
