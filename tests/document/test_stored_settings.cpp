// The stored settings as values: a round trip through the file, the sibling program's share
// and the colour code.

#include <gtest/gtest.h>

#include "document/stored_settings.h"
#include "settings/profile_file.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

StoredSettings sample()
{
    StoredSettings s;
    s.previewWidth = 700;
    s.previewHeight = 500;
    s.power = 37;
    s.quality = 64;
    s.width = 1024;
    s.height = 768;
    s.fit = 1;
    s.format = 1;
    s.tail = 1;
    s.folder = "/pictures/\x8e\xca\x90\x5e";  // not UTF-8: kept as bytes
    s.topBottom = 3;
    s.leftRight = 1;
    s.background = {10, 200, 30};
    return s;
}

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

}  // namespace

TEST(StoredSettings, WhatIsWrittenReadsBack)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    const StoredPlacement place{-250, 33, 900, 600, true};
    ASSERT_TRUE(writeStoredSettings(own, place, sample()));
    const StoredSettings back = readStoredSettings(own);
    const StoredSettings s = sample();
    EXPECT_EQ(back.previewWidth, s.previewWidth);
    EXPECT_EQ(back.previewHeight, s.previewHeight);
    EXPECT_EQ(back.power, s.power);
    EXPECT_EQ(back.quality, s.quality);
    EXPECT_EQ(back.width, s.width);
    EXPECT_EQ(back.height, s.height);
    EXPECT_EQ(back.fit, 1);
    EXPECT_EQ(back.format, s.format);
    EXPECT_EQ(back.tail, s.tail);
    EXPECT_EQ(back.folder, s.folder);
    EXPECT_EQ(back.topBottom, s.topBottom);
    EXPECT_EQ(back.leftRight, s.leftRight);
    EXPECT_EQ(back.background, s.background);
    EXPECT_FALSE(back.sibling);
    EXPECT_FALSE(test::fileExists(dir.file("postlet.ini")));  // never created

    const ProfileFile f(own);
    EXPECT_EQ(f.readInt("winPosition", "main_x", 0), -250);
    EXPECT_EQ(f.readInt("winPosition", "main_y", 0), 33);
    EXPECT_EQ(f.readInt("winPosition", "main_max", 0), 1);
    EXPECT_EQ(f.readInt("size", "fit", 0), 1);
    EXPECT_EQ(f.readInt("concat", "bgcolor", 0), 0x1EC80A);  // 0x00BBGGRR
}

TEST(StoredSettings, MissingFileGivesTheDefaults)
{
    test::TempDir dir;
    const StoredSettings s = readStoredSettings(dir.file("none.ini"));
    EXPECT_EQ(s.previewWidth, 480);
    EXPECT_EQ(s.previewHeight, 360);
    EXPECT_EQ(s.power, 100);
    EXPECT_EQ(s.quality, 90);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 640);
    EXPECT_EQ(s.fit, 0);
    EXPECT_EQ(s.format, 0);
    EXPECT_EQ(s.folder, "");
    EXPECT_EQ(s.topBottom, 2);
    EXPECT_EQ(s.leftRight, 2);
    EXPECT_EQ(s.background, Rgb{});
}

TEST(StoredSettings, SiblingFileSharesQualityAndCutSize)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini"), sibling = dir.file("postlet.ini");
    writeText(sibling, "[jpeg]\r\nquality=55\r\n[size]\r\nwidth=111\r\n");
    StoredSettings s = readStoredSettings(own);
    ASSERT_TRUE(s.sibling);
    EXPECT_EQ(s.sibling->quality, 55);
    EXPECT_EQ(s.sibling->width, 111);
    EXPECT_EQ(s.sibling->height, 240);  // the sibling's own default

    ASSERT_TRUE(writeStoredSettings(own, {}, sample()));
    const ProfileFile f(sibling);
    EXPECT_EQ(f.readInt("jpeg", "quality", 0), 64);
    EXPECT_EQ(f.readInt("size", "width", 0), 1024);
    EXPECT_EQ(f.readInt("size", "height", 0), 768);
    EXPECT_EQ(f.readString("size", "power", "-"), "-");  // only its three keys
}

TEST(StoredSettings, TheLoadSectionIsReadAndTheRawPreviewKeyLeftAsTheUserWroteIt)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    writeText(own, "[load]\ncolor_management=0\nraw_preview=1\n");
    const StoredSettings read = readStoredSettings(own);
    const DecodeLimits limits = read.load.limits();
    EXPECT_FALSE(limits.colourManagement);
    EXPECT_TRUE(limits.rawPreview);
    EXPECT_TRUE(readLoadChoices(own).limits().rawPreview);
    StoredSettings other = read;
    other.load.rawPreview = 0;
    ASSERT_TRUE(writeStoredSettings(own, {}, other));
    EXPECT_EQ(ProfileFile(own).readInt("load", "raw_preview", -1), 1);
    EXPECT_FALSE(StoredSettings{}.load.limits().rawPreview);
}

TEST(StoredSettings, ColourCodes)
{
    EXPECT_EQ(colourFromSetting(0x0000FF), (Rgb{255, 0, 0}));
    EXPECT_EQ(colourFromSetting(0xFF0000), (Rgb{0, 0, 255}));
    EXPECT_EQ(colourFromSetting(-16777201), Rgb{});  // a system colour code: white
    EXPECT_EQ(colourFromSetting(0x1000000), Rgb{});
    for (const Rgb& c : {Rgb{1, 2, 3}, Rgb{255, 255, 255}, Rgb{0, 0, 0}, Rgb{128, 64, 200}})
        EXPECT_EQ(colourFromSetting(settingFromColour(c)), c);
}

TEST(StoredSettings, CutSetsReadBackInOrderAndABadValueStays)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    writeText(own, "[size]\nwidth=800\n[sets]\nbroken=12x\n");
    CutSet phone{"\xE3\x82\xB9\xE3\x83\x9E\xE3\x83\x9B \xE3\x81\xA8PC",
                 CutSet::Kind::Sizes,
                 {{1080, 2400}, {1920, 1080}},
                 {},
                 0};  // "スマホ とPC"
    CutSet desk{"desk", CutSet::Kind::Span, {}, {{2560, 1440, 0, 0, 597}, {1920, 1080, 2560, 180, 527}}, 10};
    ASSERT_TRUE(writeCutSets(own, {phone, desk}));
    EXPECT_EQ(readCutSets(own), (std::vector<CutSet>{phone, desk}));
    EXPECT_EQ(readStoredSettings(own).width, 800);
    EXPECT_EQ(ProfileFile(own).readString("sets", "broken", ""), "12x");  // for the user to mend

    ASSERT_TRUE(writeCutSets(own, {desk}));
    EXPECT_EQ(readCutSets(own), std::vector<CutSet>{desk});
    EXPECT_EQ(ProfileFile(own).readString("sets", "broken", ""), "12x");

    const auto before = test::readBytes(own);
    for (const char* bad : {"a=b", "[a", ";a", "#a", " a", "a ", "a\nb", "", "Desk"}) {
        CutSet named = phone;
        named.name = bad;
        EXPECT_FALSE(writeCutSets(own, {desk, named})) << bad;
        EXPECT_EQ(test::readBytes(own), before) << bad;
    }
}
