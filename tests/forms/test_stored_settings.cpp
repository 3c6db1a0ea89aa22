// The main window's settings as values: a round trip through the file, the sibling program's
// share, the colour code and the stored window placement.

#include <gtest/gtest.h>

#include "forms/main/stored_settings.h"
#include "settings/profile_file.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

MainSettings sample()
{
    MainSettings s;
    s.preview = QSize(700, 500);
    s.power = 37;
    s.quality = 64;
    s.width = 1024;
    s.height = 768;
    s.format = 1;
    s.tail = 1;
    s.topBottom = 3;
    s.leftRight = 1;
    s.background = QColor(10, 200, 30);
    return s;
}

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

}  // namespace

TEST(MainSettings, WhatIsWrittenReadsBack)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    const WindowPlacement place{QPoint(-250, 33), QSize(900, 600), true};
    ASSERT_TRUE(writeMainSettings(own, place, sample()));
    const MainSettings back = readMainSettings(own);
    const MainSettings s = sample();
    EXPECT_EQ(back.preview, s.preview);
    EXPECT_EQ(back.power, s.power);
    EXPECT_EQ(back.quality, s.quality);
    EXPECT_EQ(back.width, s.width);
    EXPECT_EQ(back.height, s.height);
    EXPECT_EQ(back.format, s.format);
    EXPECT_EQ(back.tail, s.tail);
    EXPECT_EQ(back.topBottom, s.topBottom);
    EXPECT_EQ(back.leftRight, s.leftRight);
    EXPECT_EQ(back.background, s.background);
    EXPECT_FALSE(back.sibling);
    EXPECT_FALSE(test::fileExists(dir.file("postlet.ini")));  // never created

    const ProfileFile f(own);
    EXPECT_EQ(f.readInt("winPosition", "main_x", 0), -250);
    EXPECT_EQ(f.readInt("winPosition", "main_y", 0), 33);
    EXPECT_EQ(f.readInt("winPosition", "main_max", 0), 1);
    EXPECT_EQ(f.readInt("concat", "bgcolor", 0), 0x1EC80A);  // 0x00BBGGRR
}

TEST(MainSettings, MissingFileGivesTheDefaults)
{
    test::TempDir dir;
    const MainSettings s = readMainSettings(dir.file("none.ini"));
    EXPECT_EQ(s.preview, QSize(480, 360));
    EXPECT_EQ(s.power, 100);
    EXPECT_EQ(s.quality, 90);
    EXPECT_EQ(s.width, 640);
    EXPECT_EQ(s.height, 640);
    EXPECT_EQ(s.format, 0);
    EXPECT_EQ(s.topBottom, 2);
    EXPECT_EQ(s.leftRight, 2);
    EXPECT_EQ(s.background, QColor(Qt::white));
}

TEST(MainSettings, SiblingFileSharesQualityAndCutSize)
{
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini"), sibling = dir.file("postlet.ini");
    writeText(sibling, "[jpeg]\r\nquality=55\r\n[size]\r\nwidth=111\r\n");
    MainSettings s = readMainSettings(own);
    ASSERT_TRUE(s.sibling);
    EXPECT_EQ(s.sibling->quality, 55);
    EXPECT_EQ(s.sibling->width, 111);
    EXPECT_EQ(s.sibling->height, 240);  // the sibling's own default

    ASSERT_TRUE(writeMainSettings(own, {}, sample()));
    const ProfileFile f(sibling);
    EXPECT_EQ(f.readInt("jpeg", "quality", 0), 64);
    EXPECT_EQ(f.readInt("size", "width", 0), 1024);
    EXPECT_EQ(f.readInt("size", "height", 0), 768);
    EXPECT_EQ(f.readString("size", "power", "-"), "-");  // only its three keys
}

TEST(MainSettings, ColourCodes)
{
    EXPECT_EQ(colourFromSetting(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(colourFromSetting(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(colourFromSetting(-16777201), QColor(Qt::white));  // a system colour code
    EXPECT_EQ(colourFromSetting(0x1000000), QColor(Qt::white));
    for (const QColor& c : {QColor(1, 2, 3), QColor(255, 255, 255), QColor(0, 0, 0), QColor(128, 64, 200)})
        EXPECT_EQ(colourFromSetting(settingFromColour(c)), c);
}

TEST(MainSettings, PlacementOnAScreenLeftOfTheOrigin)
{
    // A second screen left of the primary one: its negative coordinates are a place like any.
    test::TempDir dir;
    const std::string own = dir.file("trimlet.ini");
    const QRect left(-1920, -200, 1920, 1080);
    const QSize minimum(800, 480);
    auto placed = [&](int x, int y) {
        writeText(own, "[winPosition]\r\nmain_w=800\r\nmain_h=480\r\nmain_x=" + std::to_string(x) +
                           "\r\nmain_y=" + std::to_string(y) + "\r\n");
        return readPlacement(own, left, minimum).framePos;
    };
    EXPECT_EQ(placed(-1500, -150), QPoint(-1500, -150));
    EXPECT_EQ(placed(-1920 - 704, -100), QPoint(-1920 - 704, -100));  // 96 pixels still on it
    EXPECT_EQ(placed(-9000, -100), QPoint(-1920 + 96 - 800, -100));   // on no screen: brought back
    EXPECT_EQ(placed(-1000, -900), QPoint(-1000, -200));              // never above the screen
    EXPECT_EQ(placed(500, 2000), QPoint(-96, 1080 - 200 - 96));

    // Without a stored place the window is centred on the screen's size.
    writeText(own, "[winPosition]\r\nmain_w=1000\r\nmain_h=600\r\n");
    const WindowPlacement centred = readPlacement(own, QRect(0, 0, 1920, 1080), minimum);
    EXPECT_EQ(centred.framePos, QPoint(460, 240));
    EXPECT_EQ(centred.clientSize, QSize(1000, 600));
    writeText(own, "[winPosition]\r\nmain_w=100\r\nmain_h=100\r\n");
    EXPECT_EQ(readPlacement(own, QRect(0, 0, 1920, 1080), minimum).clientSize, minimum);
}
