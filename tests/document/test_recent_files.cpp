// The recent-files list: its order and identity rules, and its [recent] section through a
// real settings file, with every byte a Linux file name may hold and hand-edited damage.

#include <gtest/gtest.h>

#include <filesystem>

#include "document/recent_files.h"
#include "settings/profile_file.h"
#include "tests/support/test_support.h"

using namespace trimlet;
using trimlet::test::TempDir;

TEST(RecentFiles, keepsTenNewestFirstWithOneEntryAFile)
{
    TempDir dir;
    test::writeBytes(dir.file("a.png"), {1});
    std::filesystem::create_symlink(dir.file("a.png"), dir.file("link.png"));
    RecentFiles list;
    for (int i = 0; i < 12; ++i)
        list.add("/p/" + std::to_string(i) + ".jpg");
    list.add(dir.file("a.png"));
    list.add("/p/5.jpg");
    list.add(dir.file("link.png"));  // the same file under another name replaces it
    ASSERT_EQ(list.paths().size(), RecentFiles::kMaxEntries);
    EXPECT_EQ(list.paths()[0], dir.file("link.png"));
    EXPECT_EQ(list.paths()[1], "/p/5.jpg");
    EXPECT_EQ(list.paths()[2], "/p/11.jpg");
    EXPECT_EQ(list.paths()[9], "/p/3.jpg");

    list.step("/p/5.jpg", "/p/6.jpg");  // not the newest: no change
    EXPECT_EQ(list.paths()[0], dir.file("link.png"));
    list.step(dir.file("a.png"), "/p/6.jpg");  // the walk moves the newest entry, once
    list.step("/p/6.jpg", "/p/7.jpg");
    EXPECT_EQ(list.paths().size(), 8u);  // 6 and 7 were listed already
    EXPECT_EQ(list.paths()[0], "/p/7.jpg");
    EXPECT_EQ(list.paths()[1], "/p/5.jpg");

    EXPECT_EQ(list.removeMissing([](const std::string& p) { return p != "/p/5.jpg"; }), 1u);
    EXPECT_EQ(list.paths()[1], "/p/11.jpg");
}

TEST(RecentFiles, everyByteOfANameSurvivesTheSettingsFile)
{
    TempDir dir;
    const std::string ini = dir.file("trimlet.ini");
    std::vector<std::string> names;
    for (int b = 1; b < 256; ++b)
        if (b != '/')
            names.push_back(std::string("/x/ ") + char(b) + "\"");
    names.push_back("/x/写真 %41 ");
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < names.size(); i += RecentFiles::kMaxEntries) {
        const std::vector<std::string> chunk(names.begin() + i,
                                             names.begin() + std::min(names.size(), i + RecentFiles::kMaxEntries));
        ASSERT_TRUE(updateRecentFiles(ini, [&](RecentFiles& l) { l = RecentFiles(chunk); }));
        EXPECT_EQ(readRecentFiles(ini).paths(), chunk);
    }
    // Other sections are kept; writing is under the file's own rules.
    ASSERT_TRUE(ProfileFile(ini).writeString("size", "width", "300"));
    ASSERT_TRUE(updateRecentFiles(ini, [](RecentFiles& l) { l.clear(); }));
    EXPECT_TRUE(readRecentFiles(ini).paths().empty());
    EXPECT_EQ(ProfileFile(ini).readInt("size", "width", 0), 300);
}

TEST(RecentFiles, aHandEditedSectionKeepsWhatIsValid)
{
    TempDir dir;
    const std::string ini = dir.file("trimlet.ini");
    test::writeBytes(ini, [] {
        const std::string text =
            "[recent]\n3=/c.png\n1=/a%2\n2=relative.png\nx=/x.png\n11=/eleven.png\n0=/zero.png\n"
            "4=/d%25.png\n5=/a%2f..\n6=/nul%00.png\n7=/c.png\n+8=/plus.png\n10 = /ten.png \n";
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }());
    EXPECT_EQ(readRecentFiles(ini).paths(), (std::vector<std::string>{"/c.png", "/d%.png", "/a/..", "/ten.png"}));
    EXPECT_FALSE(decodeRecentPath("/a%4"));
    EXPECT_FALSE(decodeRecentPath("/a%g1"));
    EXPECT_FALSE(decodeRecentPath(""));
}
