// The twenty cut-size presets: the built-in table, and presets the user stores over them.
#include <gtest/gtest.h>

#include <string>

#include "settings/cut_size_presets.h"
#include "tests/support/test_support.h"

using namespace trimlet;

namespace {

bool samePreset(const CutSizePreset& a, const CutSizePreset& b)
{
    return a.name == b.name && a.width == b.width && a.height == b.height;
}

std::string fileText(const std::string& path)
{
    const auto b = test::readBytes(path);
    return {b.begin(), b.end()};
}

}  // namespace

TEST(CutSizePresets, BuiltInTableHasTwentySlotsAndNothingOutside)
{
    EXPECT_TRUE(samePreset(builtInCutSizePreset(0), {"横VGA", 640, 480}));
    EXPECT_TRUE(samePreset(builtInCutSizePreset(9), {"横FHD", 1920, 1080}));
    EXPECT_TRUE(samePreset(builtInCutSizePreset(kCutSizePresetCount - 1), {"MSX2", 256, 212}));
    for (int slot : {-1, kCutSizePresetCount, kCutSizePresetCount + 1})
        EXPECT_TRUE(samePreset(builtInCutSizePreset(slot), {})) << slot;
    for (int slot = 0; slot < kCutSizePresetCount; ++slot) {
        const CutSizePreset p = builtInCutSizePreset(slot);
        EXPECT_FALSE(p.name.empty()) << slot;
        EXPECT_GT(p.width, 0) << slot;
        EXPECT_GT(p.height, 0) << slot;
    }
}

TEST(CutSizePresets, StoredPresetsReadBackAndKeepTheirOwnSlot)
{
    test::TempDir dir;
    ProfileFile file(dir.file("trimlet.ini"));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 3), builtInCutSizePreset(3)));  // no file yet

    ASSERT_TRUE(writeCutSizePreset(file, 3, {"壁紙", 1234, 567}));
    ASSERT_TRUE(writeCutSizePreset(file, 4, {"phone", 480, 854}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 3), {"壁紙", 1234, 567}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 4), {"phone", 480, 854}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 5), builtInCutSizePreset(5)));
    // The file is shared with a Windows program that reads Shift_JIS.
    EXPECT_NE(fileText(file.path()).find("caption3=\x95\xC7\x8E\x86"), std::string::npos);

    // An empty name gives the slot back to the built-in preset.
    ASSERT_TRUE(writeCutSizePreset(file, 3, {"", 1, 1}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 3), builtInCutSizePreset(3)));
}

TEST(CutSizePresets, AMissingWidthOrHeightReadsAsAHundred)
{
    test::TempDir dir;
    ProfileFile file(dir.file("trimlet.ini"));
    ASSERT_TRUE(file.writeString("size", "caption7", "only a name"));
    ASSERT_TRUE(file.writeInt("size", "width8", 640));
    ASSERT_TRUE(file.writeString("size", "caption8", "no height"));
    ASSERT_TRUE(file.writeString("size", "caption9", "no width"));
    ASSERT_TRUE(file.writeInt("size", "height9", 480));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 7), {"only a name", 100, 100}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 8), {"no height", 640, 100}));
    EXPECT_TRUE(samePreset(readCutSizePreset(file, 9), {"no width", 100, 480}));
}

TEST(CutSizePresets, CaptionsAndShiftJisText)
{
    EXPECT_EQ(presetCaption({"横HD", 1366, 768}), "横HD(1366×768)");
    EXPECT_EQ(utf8ToShiftJis("横VGA"), "\x89\xA1VGA");
    EXPECT_EQ(shiftJisToUtf8("\x89\xA1VGA"), "横VGA");
    // Text that does not convert comes back unchanged rather than cut short.
    EXPECT_EQ(shiftJisToUtf8("\x81"), "\x81");
    EXPECT_EQ(utf8ToShiftJis("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}
