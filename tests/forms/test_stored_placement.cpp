// The stored window placement, fitted to the screen it comes back to.

#include <gtest/gtest.h>

#include "forms/main/stored_settings.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

void writeText(const std::string& path, const std::string& text) { test::writeBytes(path, {text.begin(), text.end()}); }

}  // namespace

TEST(StoredPlacement, OnAScreenLeftOfTheOrigin)
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
