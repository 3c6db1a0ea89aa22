// Grids of many tiles under an address-space limit: a decode stays within the memory rule (or
// is refused naming the limit), a region and `info` stay small, and a grid repeating one tile
// to make a huge picture of a small file is refused as a limit, never taken for damage.
// AddressSanitizer reserves terabytes of address space, so under it these tests skip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/avif.h"
#include "codecs/heif_avif_module.h"
#include "codecs/heif_grid.h"
#include "codecs/picture_file.h"
#include "codecs/rgba_rows.h"
#include "tests/codecs/heif_boxes.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/address_limit_test.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using namespace test::boxes;
constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// What work returned in a child allowed budget bytes more than it holds with the module loaded.
std::string within(std::uint64_t budget, const std::function<std::string()>& work)
{
    const auto text = test::textInChildWithin(
        budget,
        [&] {
            try {
                return work();
            } catch (const std::exception& e) {
                return std::string("escaped: ") + e.what();
            }
        },
        [] { (void)heifAvifModule(); });
    return text ? *text : "child died";
}

std::string loaded(const std::string& path)
{
    auto picture = loadPictureAsStored(path);
    return picture ? std::to_string(picture.value().width()) + "x" + std::to_string(picture.value().height())
                   : picture.error().message;
}

std::string probed(const std::string& path)
{
    auto info = probePictureFile(path);
    return info ? std::to_string(info.value().size.width) + "x" + std::to_string(info.value().size.height)
                : info.error().message;
}

class GridMemory : public test::AddressLimitTest {
protected:
    void SetUp() override
    {
        test::AddressLimitTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(test::haveTools({"convert", "avifenc", "heif-enc"}));
    }
    Tile encodedTile(const std::string& name, const std::string& command, int side)
    {
        const std::string png = dir.file(name + ".png"), out = dir.file(name);
        EXPECT_TRUE(test::ran("convert -size " + std::to_string(side) + "x" + std::to_string(side) +
                              " gradient:red-blue -depth 8 " + test::quoted(png)));
        const bool heif = command.rfind("heif-enc", 0) == 0;  // it takes the output first
        EXPECT_TRUE(test::ran(command + " " + test::quoted(heif ? out : png) + " " + test::quoted(heif ? png : out)));
        return tileOf(test::readBytes(out));
    }
};

// libavif alone keeps a decoder of some 440 KB for every tile, 7 GB for 128 × 128 tiles.
TEST_F(GridMemory, AvifGridsOfManyTilesDecodeWithinTheRule)
{
    const Tile tile = encodedTile("tile.avif", "avifenc -s 10 -y 444", 16);
    const Bitmap alone = decodeAvif(singleAvif(tile, {})).value().bitmap;
    for (const int side : {16, 64, 128}) {
        const std::string path = dir.file("grid" + std::to_string(side) + ".avif");
        const Bytes8 file = repeatedGrid(tile, "av01", 16, 16, side, side);
        test::writeBytes(path, file);
        const std::string size = std::to_string(16 * side) + "x" + std::to_string(16 * side);
        const std::uint64_t rule = decodeMemoryAllowance(file.size(), 16 * side, 16 * side);
        EXPECT_EQ(within(rule + file.size() + 16 * kMiB, [&] { return loaded(path); }), size) << side;
        EXPECT_EQ(within(10 * kMiB, [&] { return probed(path); }), size) << side;
        EXPECT_EQ(within(32 * kMiB,
                         [&] {
                             auto part = loadRegionAsStored(path, {16 * side - 100, 7, 100, 100});
                             return part ? std::string("cut") : part.error().message;
                         }),
                  "cut")
            << side;
        if (side == 16) {  // every tile as the tile alone decodes (4:4:4: no chroma read across tiles)
            const auto whole = decodeAvif(file);
            ASSERT_TRUE(whole) << whole.error().message;
            for (int y = 0; y < 16 * side; ++y)
                for (int x = 0; x < 16 * side; x += 16)
                    ASSERT_TRUE(
                        std::equal(alone.row(y % 16), alone.row(y % 16) + 48, whole.value().bitmap.row(y) + x * 3))
                        << x << "," << y;
        }
    }
}

TEST_F(GridMemory, AGridRepeatingOneTileIsRefusedAsALimit)
{
    // One 512² tile at all 31 × 31 places, padded past the file-size rule: 15872² of 6.6 KB.
    const Tile tile = encodedTile("tile.heic", "heif-enc -q 30 -o", 512);
    const std::string path = dir.file("bomb.heic");
    Bytes8 file = repeatedGrid(tile, "hvc1", 512, 512, 31, 31, true);
    file = repeatedGrid(tile, "hvc1", 512, 512, 31, 31, true, file.size() < 4000 ? 4000 - file.size() + 16 : 16);
    test::writeBytes(path, file);
    EXPECT_GE(std::uint64_t(file.size()) * kMaxPixelsPerFileByte, std::uint64_t(15872) * 15872);
    ASSERT_EQ(readGridHeader(file, file.size()).tileDataBytes, tile.data.size());  // its data counted once
    for (const auto& [what, work] : std::vector<std::pair<std::string, std::function<std::string()>>>{
             {"load", [&] { return loaded(path); }},
             {"info", [&] { return probed(path); }},
             {"cut", [&] {
                  auto part = loadRegionAsStored(path, {0, 0, 100, 100});
                  return part ? std::string("cut") : part.error().message;
              }}}) {
        const std::string text = within(what == "info" ? 10 * kMiB : 64 * kMiB, work);
        EXPECT_NE(text.find("too many tiles for the memory this picture allows"), std::string::npos)
            << what << ": " << text;
        EXPECT_EQ(text.find("damaged"), std::string::npos) << what << ": " << text;
    }
}

}  // namespace
}  // namespace trimlet
