#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/parallel.h"
#include "codecs/avif.h"
#include "codecs/heif.h"
#include "codecs/heif_grid.h"
#include "codecs/picture_file.h"
#include "tests/codecs/heif_boxes.h"
#include "tests/codecs/tool_fixtures.h"
#include "tests/support/test_support.h"

namespace trimlet {
namespace {

using namespace test::boxes;

// A grid of columns × rows tiles showing width × height, the primary's transforms (irot, imir
// boxes) listed in order.
Bytes8 gridFile(const std::vector<Tile>& tiles, int columns, int rows, int width, int height,
                const std::vector<Bytes8>& transforms)
{
    const std::uint32_t count = std::uint32_t(tiles.size());
    Bytes8 infes, dimg, ipco, ipma;
    put(infes, count + 1, 2);
    infes = join({infes, box("infe", {0, 1, 0, 0, 'g', 'r', 'i', 'd', 0}, 2)});
    put(dimg, 1, 2);
    put(dimg, count, 2);
    Bytes8 gridEntry{0, 1};
    Bytes8 ispe;
    put(ispe, std::uint32_t(width), 4);
    put(ispe, std::uint32_t(height), 4);
    ipco = box("ispe", ispe, 0);
    gridEntry.push_back(std::uint8_t(1 + transforms.size()));
    gridEntry.push_back(1);
    for (std::size_t i = 0; i < transforms.size(); ++i) {
        ipco = join({ipco, transforms[i]});
        gridEntry.push_back(std::uint8_t(0x80 | (i + 2)));
    }
    ipma = gridEntry;
    int property = int(1 + transforms.size());
    for (std::uint32_t t = 0; t < count; ++t) {
        const std::uint32_t id = t + 2;
        Bytes8 infe;
        put(infe, id, 2);
        infe.insert(infe.end(), {0, 0, 'h', 'v', 'c', '1', 0});
        infes = join({infes, box("infe", infe, 2, 1)});  // hidden, as cameras write them
        put(dimg, id, 2);
        put(ipma, id, 2);
        ipma.push_back(std::uint8_t(tiles[t].properties.size()));
        for (const Bytes8& p : tiles[t].properties) {
            ipco = join({ipco, p});
            ipma.push_back(std::uint8_t(++property));
        }
    }
    Bytes8 ipmaBody;
    put(ipmaBody, count + 1, 4);
    ipmaBody = join({ipmaBody, ipma});
    const Bytes8 gridPayload{0,
                             0,
                             std::uint8_t(rows - 1),
                             std::uint8_t(columns - 1),
                             std::uint8_t(width >> 8),
                             std::uint8_t(width),
                             std::uint8_t(height >> 8),
                             std::uint8_t(height)};
    const Bytes8 ftyp = box("ftyp", {'h', 'e', 'i', 'c', 0, 0, 0, 0, 'm', 'i', 'f', '1', 'h', 'e', 'i', 'c'});
    // The iloc's offsets depend on the meta's size, which does not depend on them.
    auto meta = [&](std::size_t dataStart) {
        Bytes8 iloc{0x44, 0x00};
        put(iloc, count + 1, 2);
        std::size_t at = dataStart;
        auto locate = [&](std::uint32_t id, std::size_t size) {
            put(iloc, id, 2);
            put(iloc, 0, 2);
            put(iloc, 1, 2);
            put(iloc, at, 4);
            put(iloc, size, 4);
            at += size;
        };
        locate(1, gridPayload.size());
        for (std::uint32_t t = 0; t < count; ++t)
            locate(t + 2, tiles[t].data.size());
        return box("meta",
                   join({box("hdlr", {0, 0, 0, 0, 'p', 'i', 'c', 't', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0),
                         box("pitm", {0, 1}, 0), box("iinf", infes, 0), box("iref", box("dimg", dimg), 0),
                         box("iloc", iloc, 0), box("iprp", join({box("ipco", ipco), box("ipma", ipmaBody, 0)}))}),
                   0);
    };
    const std::size_t metaSize = meta(0).size();
    Bytes8 mdat = gridPayload;
    for (const Tile& tile : tiles)
        mdat = join({mdat, tile.data});
    return join({ftyp, meta(ftyp.size() + metaSize + 8), box("mdat", mdat)});
}

TEST(HeifGrid, RegionsEqualTheWholeDecodesOwnPixels)
{
    ASSERT_TRUE(test::haveTools({"convert", "heif-enc"}));
    test::TempDir dir;
    constexpr int kTile = 64, kColumns = 3, kRows = 3, kWidth = 170, kHeight = 150;
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(kColumns * kTile, kRows * kTile)));
    std::vector<Tile> tiles;
    for (int t = 0; t < kColumns * kRows; ++t) {
        const std::string png = dir.file("tile.png"), heic = dir.file("tile.heic");
        ASSERT_TRUE(test::ran("convert " + test::quoted(dir.file("src.ppm")) + " -crop 64x64+" +
                              std::to_string(t % kColumns * kTile) + "+" + std::to_string(t / kColumns * kTile) +
                              " +repage " + test::quoted(png)));
        ASSERT_TRUE(test::ran("heif-enc -q 60 -o " + test::quoted(heic) + " " + test::quoted(png)));
        tiles.push_back(tileOf(test::readBytes(heic)));
    }
    const Bytes8 irot1 = box("irot", {1}), irot2 = box("irot", {2}), irot3 = box("irot", {3});
    const Bytes8 imir0 = box("imir", {0}), imir1 = box("imir", {1});
    for (const std::vector<Bytes8>& transforms :
         std::vector<std::vector<Bytes8>>{{}, {irot1}, {irot2}, {imir0}, {imir1}, {irot3, imir0}, {imir1, irot1}}) {
        const Bytes8 file = gridFile(tiles, kColumns, kRows, kWidth, kHeight, transforms);
        const auto whole = decodeHeif(file);
        ASSERT_TRUE(whole) << whole.error().message;
        const int w = whole.value().bitmap.width(), h = whole.value().bitmap.height();
        ASSERT_EQ(std::int64_t(w) * h, std::int64_t(kWidth) * kHeight);
        for (const int threads : {1, 2}) {
            setThreadLimit(threads);
            for (const PictureRegion region :
                 {PictureRegion{0, 0, w, h}, PictureRegion{0, 0, 5, 7}, PictureRegion{w - 9, h - 3, 9, 3},
                  PictureRegion{63, 61, 3, 5}, PictureRegion{31, 17, w - 40, 101}, PictureRegion{w - 1, 0, 1, h}}) {
                const auto part = decodeHeifRegion(file, region);
                ASSERT_TRUE(part) << part.error().message;
                EXPECT_EQ(part.value().bitmap, regionOfImage(whole.value(), region).bitmap)
                    << transforms.size() << " transforms, " << threads << " threads, at " << region.x << "," << region.y
                    << " " << region.width << "x" << region.height;
            }
        }
        setThreadLimit(0);
    }

    // Only the tiles under the region are read: damage elsewhere is not seen, damage under it is.
    std::vector<Tile> damaged = tiles;
    damaged[8].data.resize(damaged[8].data.size() / 3);
    const Bytes8 file = gridFile(damaged, kColumns, kRows, kWidth, kHeight, {});
    EXPECT_FALSE(decodeHeif(file));
    EXPECT_TRUE(decodeHeifRegion(file, {0, 0, 100, 100}));
    const auto hit = decodeHeifRegion(file, {100, 100, 70, 50});
    ASSERT_FALSE(hit);
    EXPECT_EQ(hit.error().code, ErrorCode::Corrupt);
    EXPECT_EQ(decodeHeifRegion(file, {100, 100, 71, 50}).error().code, ErrorCode::Invalid);
}

// Regions across the tiles at odd places, chroma subsampled or not, at either depth.
TEST(AvifGrid, RegionsEqualTheWholeDecodesOwnPixels)
{
    ASSERT_TRUE(test::haveTools({"convert", "avifenc"}));
    test::TempDir dir;
    const std::string png = dir.file("src.png"), avif = dir.file("grid.avif");
    test::writeBytes(dir.file("src.ppm"), test::toPpm(test::photoLike(204, 198)));
    ASSERT_TRUE(test::ran("convert " + test::quoted(dir.file("src.ppm")) + " " + test::quoted(png)));
    for (const std::string& options : {std::string("-y 420"), std::string("-y 444 --irot 1"), std::string("-y 422"),
                                       std::string("-d 10 -y 420 -r limited"), std::string("-y 400")}) {
        ASSERT_TRUE(test::ran("avifenc -s 10 --min 20 --max 40 --grid 3x3 " + options + " " + test::quoted(png) + " " +
                              test::quoted(avif)));
        const Bytes8 file = test::readBytes(avif);
        const auto whole = decodeAvif(file);
        ASSERT_TRUE(whole) << options << ": " << whole.error().message;
        for (const int threads : {1, 2}) {
            setThreadLimit(threads);
            for (const PictureRegion region :
                 {PictureRegion{0, 0, 204, 198}, PictureRegion{0, 0, 5, 7}, PictureRegion{195, 195, 9, 3},
                  PictureRegion{67, 65, 3, 3}, PictureRegion{31, 17, 133, 101}, PictureRegion{69, 0, 1, 198}}) {
                const auto part = decodeAvifRegion(file, region);
                ASSERT_TRUE(part) << part.error().message;
                EXPECT_EQ(part.value().bitmap, regionOfImage(whole.value(), region).bitmap)
                    << options << ", " << threads << " threads, at " << region.x << "," << region.y << " "
                    << region.width << "x" << region.height;
                EXPECT_EQ(part.value().orientation, whole.value().orientation) << options;
            }
        }
        setThreadLimit(0);
        // The last tile's data spoilt: only a region over it fails, as the whole decode does.
        const auto grid = readItemGrid(file);
        ASSERT_TRUE(grid) << options;
        Bytes8 damaged = file;
        for (const ByteRun& run : grid->tileData.back())
            std::fill_n(damaged.begin() + std::ptrdiff_t(run.offset), run.size, std::uint8_t(0xff));
        EXPECT_FALSE(decodeAvif(damaged)) << options;
        EXPECT_TRUE(decodeAvifRegion(damaged, {0, 0, 100, 100})) << options;
        const auto hit = decodeAvifRegion(damaged, {150, 150, 54, 48});
        ASSERT_FALSE(hit) << options;
        EXPECT_EQ(hit.error().code, ErrorCode::Corrupt) << options;
    }
}

// The memory rule at its edges: the floor, the picture's data, and a grid repeating its tiles.
TEST(GridCost, PeakIsHeldToWhatTheDataAndThePictureAllow)
{
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    EXPECT_EQ(decodeMemoryAllowance(10, 16, 16), 64 * kMiB);
    EXPECT_EQ(decodeMemoryAllowance(1 << 20, 4096, 4096), 4u * 3 * 4096 * 4096);
    // 100 bytes hold 6553600 pixels: four renderings of those, less than two of the picture.
    EXPECT_EQ(decodeMemoryAllowance(100, 4096, 4096), 2u * 3 * 4096 * 4096);
    EXPECT_EQ(decodeMemoryAllowance(200, 4096, 4096), 4u * 3 * 200 * 65536);

    GridHeader grid;
    grid.state = GridHeader::State::Grid;
    grid.rows = grid.columns = 31;
    grid.outputWidth = grid.outputHeight = grid.declaredWidth = grid.declaredHeight = 31 * 512;
    grid.tileWidth = grid.tileHeight = 512;
    grid.tileDataBytes = 245;  // one tile referenced everywhere
    grid.referencedBytes = 245 * 961;
    const Status bomb = gridWithinLimits(grid, {}, "HEIF");
    ASSERT_FALSE(bomb);
    EXPECT_EQ(bomb.error().code, ErrorCode::TooLarge);
    EXPECT_NE(bomb.error().message.find("too many tiles for the memory this picture allows"), std::string::npos)
        << bomb.error().message;
    grid.referencedBytes = 245;  // too little even counted at every reference: damage
    EXPECT_EQ(gridWithinLimits(grid, {}, "HEIF").error().code, ErrorCode::Corrupt);

    grid.tileDataBytes = grid.referencedBytes = 961 * 300;
    const std::uint64_t allowed = decodeMemoryAllowance(grid.tileDataBytes, 31 * 512, 31 * 512);
    EXPECT_TRUE(gridWithinLimits(grid, {1000, 961, allowed - 961 * 1000}, "HEIF"));
    const Status over = gridWithinLimits(grid, {1000, 961, allowed - 961 * 1000 + 1}, "HEIF");
    ASSERT_FALSE(over);
    EXPECT_EQ(over.error().code, ErrorCode::TooLarge);
    EXPECT_NE(over.error().message.find("too many tiles"), std::string::npos);
    // Only the tiles the grid has are held, however many a decoder could hold.
    EXPECT_TRUE(gridWithinLimits(grid, {1000, 100000, allowed - 961 * 1000}, "HEIF"));
    // The declared picture rules over the grid's own descriptor.
    grid.declaredWidth = grid.declaredHeight = 64;
    EXPECT_TRUE(gridWithinLimits(grid, {1000, 961, 64 * kMiB - 961 * 1000}, "HEIF"));
}

}  // namespace
}  // namespace trimlet
