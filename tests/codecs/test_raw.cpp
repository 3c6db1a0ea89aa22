#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/picture_file.h"
#include "codecs/raw.h"
#include "imaging/orientation.h"
#include "tests/codecs/raw_fixtures.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using test::dngFile;
using test::DngLayout;

// The settings the decoder develops with, given to LibRaw's own command-line program.
Bitmap developedByDcrawEmu(const std::string& path)
{
    const test::CommandResult r = test::runCommand("dcraw_emu -w -o 1 -g 2.4 12.92 -q 3 -Z - " + test::quoted(path));
    return test::fromPnm({r.out.begin(), r.out.end()});
}

TEST(RawDecode, DevelopsAsDcrawEmuDoesWithTheOrientationAndProbeAgrees)
{
    ASSERT_TRUE(test::haveTools({"dcraw_emu"}));
    const test::TempDir dir;
    const std::vector<std::pair<std::string, DngLayout>> samples = {
        {"rggb_o6.dng", {.orientation = 6}},
        {"grbg_o8.dng", {.width = 50, .height = 38, .cfa = {1, 0, 2, 1}, .orientation = 8}},
        {"bggr_o3.dng", {.width = 40, .height = 64, .cfa = {2, 1, 1, 0}, .orientation = 3}},
        {"gbrg_o2.dng", {.cfa = {1, 2, 0, 1}, .orientation = 2}},
        {"preview_o1.dng", {.previewWidth = 64, .previewHeight = 48}},  // developed all the same
    };
    for (const auto& [name, layout] : samples) {
        SCOPED_TRACE(name);
        const auto file = dngFile(layout);
        test::writeBytes(dir.file(name), file);
        const auto decoded = decodeRaw(file);
        ASSERT_TRUE(decoded) << decoded.error().message;
        const Bitmap upright = orientBitmap(decoded.value().bitmap, decoded.value().orientation);
        const Bitmap reference = developedByDcrawEmu(dir.file(name));
        ASSERT_EQ(upright.width(), reference.width());
        ASSERT_EQ(upright.height(), reference.height());
        EXPECT_LE(test::maxChannelDifference(upright, reference), 1);
        EXPECT_EQ(decoded.value().orientation, layout.orientation);

        const auto info = probePictureFile(dir.file(name));
        ASSERT_TRUE(info) << info.error().message;
        EXPECT_EQ(info.value().kind, PictureKind::Raw);
        EXPECT_EQ(info.value().size, (PictureSize{decoded.value().bitmap.width(), decoded.value().bitmap.height()}));
        EXPECT_EQ(info.value().orientation, layout.orientation);
    }
}

TEST(RawDecode, PreviewOnlyWhenAskedAndAboutTheRawsSize)
{
    const DecodeLimits preview{.rawPreview = true};
    const auto full = dngFile({.orientation = 6, .previewWidth = 64, .previewHeight = 48});
    const auto shown = decodeRaw(full, preview);
    ASSERT_TRUE(shown) << shown.error().message;
    EXPECT_EQ(shown.value().orientation, 6);
    const Bitmap& b = shown.value().bitmap;
    ASSERT_EQ(b.width(), 64);
    ASSERT_EQ(b.height(), 48);
    Bitmap flat(64, 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            flat.row(y)[3 * x] = 150, flat.row(y)[3 * x + 1] = 100, flat.row(y)[3 * x + 2] = 50;
    EXPECT_LE(test::maxChannelDifference(b, flat), 3);

    const auto developed = decodeRaw(full);
    ASSERT_TRUE(developed);
    EXPECT_GT(test::maxChannelDifference(developed.value().bitmap, b), 20);

    // A thumbnail is no stand-in for the picture.
    const auto small = dngFile({.orientation = 6, .previewWidth = 16, .previewHeight = 12});
    const auto fallback = decodeRaw(small, preview);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback.value().bitmap, developed.value().bitmap);
    EXPECT_EQ(fallback.value().orientation, 6);
}

// Patches the first directory entry of tag in a little-endian TIFF with a new 32-bit value.
void patchTag(std::vector<std::uint8_t>& file, std::uint16_t tag, std::uint32_t value)
{
    std::uint32_t ifd = file[4] | file[5] << 8 | file[6] << 16 | std::uint32_t(file[7]) << 24;
    const int count = file[ifd] | file[ifd + 1] << 8;
    for (int i = 0; i < count; ++i) {
        std::uint8_t* e = &file[ifd + 2 + 12 * i];
        if ((e[0] | e[1] << 8) == tag) {
            e[2] = 4, e[3] = 0, e[4] = 1, e[5] = e[6] = e[7] = 0;
            for (int k = 0; k < 4; ++k)
                e[8 + k] = std::uint8_t(value >> (8 * k));
        }
    }
}

TEST(RawDecode, HostileAndDamagedFilesFailCleanly)
{
    const auto good = dngFile({});
    auto huge = good;
    patchTag(huge, 256, 60000);
    patchTag(huge, 257, 60000);
    const auto refused = decodeRaw(huge);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, ErrorCode::Corrupt) << refused.error().message;
    EXPECT_FALSE(probeRaw(huge, huge.size()).size);

    const auto capped = decodeRaw(good, {.maxBitmapBytes = 4096});
    ASSERT_FALSE(capped);
    EXPECT_EQ(capped.error().code, ErrorCode::TooLarge);

    const std::vector<std::uint8_t> text(300, 'x');
    const auto notRaw = decodeRaw(text);
    ASSERT_FALSE(notRaw);
    EXPECT_EQ(notRaw.error().code, ErrorCode::Unsupported);

    // LibRaw fills what a cut file lacks; it must never read past it or crash.
    for (std::size_t keep : {std::size_t{0}, std::size_t{7}, std::size_t{100}, good.size() / 2, good.size() - 1}) {
        const std::vector<std::uint8_t> cut(good.begin(), good.begin() + std::ptrdiff_t(keep));
        const auto decoded = decodeRaw(cut);
        if (decoded) {
            EXPECT_EQ(decoded.value().bitmap.width(), 64) << keep;
        }
    }
}

}  // namespace
}  // namespace trimlet
