#pragma once
// The layout of a HEIF or AVIF file whose primary image is a grid of coded tiles, read from the
// container's boxes alone, and the one-tile file a codec library can decode a tile from. No
// library is needed; the module decodes with it, the program's fuzz target reads with it.

#include <cstdint>
#include <optional>
#include <vector>

#include "base/bytes.h"
#include "base/result.h"

namespace trimlet {

// A run of the file's bytes.
struct ByteRun {
    std::size_t offset = 0, size = 0;
};

// What the primary image does to the assembled grid, in the order the container lists it.
struct GridTransform {
    enum class Kind { Rotate, Mirror } kind = Kind::Rotate;
    int value = 0;  // Rotate: quarter turns anticlockwise 0..3; Mirror: the axis, 0 or 1
};

struct ItemGrid {
    std::uint32_t tileType = 0;  // the tiles' item type, 'hvc1' or 'av01'
    int rows = 0, columns = 0;
    int outputWidth = 0, outputHeight = 0;  // the grid, before the transforms
    int tileWidth = 0, tileHeight = 0;
    std::vector<GridTransform> transforms;
    // Per tile, row by row: its coded data (one run or more) and its property boxes, whole.
    std::vector<std::vector<ByteRun>> tileData;
    std::vector<std::vector<ByteRun>> tileProperties;
    ByteRun codecConfig;  // the first tile's hvcC or av1C box
    ByteRun colour;       // the primary's nclx colr box, whole, or an empty run
    ByteRun profile;      // the primary's ICC colr box (prof or rICC), whole, or an empty run
};

// What the boxes of a file say of its primary image when that is a grid, whether or not the
// tiles alone express it: enough to judge what a decode of it costs.
struct GridHeader {
    enum class State { NoGrid, NeedsMore, Grid } state = State::NoGrid;
    int rows = 0, columns = 0;
    int outputWidth = 0, outputHeight = 0;      // the grid, before the transforms
    int declaredWidth = 0, declaredHeight = 0;  // the primary's size box, which decoders show; 0 without one
    int tileWidth = 0, tileHeight = 0;          // the largest tile's
    std::uint64_t tileDataBytes = 0;            // the coded bytes of the tiles, each byte counted once
    std::uint64_t referencedBytes = 0;          // the same, counted at every reference
    int planeBytesTimesTwo = 12;    // twice a pixel's bytes in the tiles' decoded planes (3 for 8-bit 4:2:0)
    bool sequence = false;          // the file holds a track too, which a decoder may show instead
    std::optional<ItemGrid> exact;  // when readItemGrid would give it
};

// The primary's grid as far as the first bytes of a file of fileSize bytes show it. NeedsMore
// when the container's boxes end past head; NoGrid for anything else that is not a readable
// grid (damage included: the decoder judges it). Without tiles, exact is judged but holds no
// tile's runs (tileData and tileProperties stay empty), as a probe needs none.
GridHeader readGridHeader(Bytes head, std::uint64_t fileSize, bool tiles = true);

// libheif's and libavif's reading of the container takes time in the square of its items:
// past this many tiles, only the tiles' own decode (readItemGrid, tileFile) is used.
inline constexpr int kMaxTilesForLibraries = 1024;

// TooLarge for a grid of more than kMaxTilesForLibraries tiles that the tiles alone cannot
// express, naming that limit.
Error tooManyTiles(const GridHeader& grid);

// What a decoder holds at its peak besides the container: the decoder's own state for each
// tile it keeps at once, and the picture-sized buffers it fills, in bytes.
struct GridDecodeCost {
    std::uint64_t perTileBytes = 0;
    std::int64_t tilesHeld = 0;
    std::uint64_t pictureBytes = 0;
};

// The most a decode of a width × height picture from dataBytes of coded data may take at its
// peak: 64 MiB, four times the rendering those bytes can expand to, or twice the picture's
// rendering, whichever is most.
std::uint64_t decodeMemoryAllowance(std::uint64_t dataBytes, std::int64_t width, std::int64_t height);

// TooLarge ("FORMAT of W x H pixels is too large") when the grid's picture (the declared one
// when there is one) passes the cap on a rendering's bytes, checked first as for any picture.
Status gridWithinCap(const GridHeader& grid, std::int64_t capBytes, const char* format);

// TooLarge, naming the limit, when the grid's tiles' data cannot hold the picture only because
// tiles are repeated (a huge picture of a small file), or when cost passes the allowance;
// Corrupt ("damaged FORMAT") when the data cannot hold it even counted at every reference. The
// picture is the declared one when there is one (decoders allocate no more), else the grid's.
Status gridWithinLimits(const GridHeader& grid, const GridDecodeCost& cost, const char* format);

// The grid of file's primary image, when it is one the tiles alone can express exactly: a
// plain grid of equal-sized tiles of one coded type that covers the output with no tile wholly
// outside it, no alpha or other auxiliary image of the primary, transforms no other than
// rotations and mirrors, HEIC tiles without transforms of their own (AVIF's are ignored, as
// libavif ignores them). Nothing otherwise (not a grid,
// or anything unusual or damaged: the whole decode then judges the file).
std::optional<ItemGrid> readItemGrid(Bytes file);

// A single-image file of the grid's tile `index`, as the grid's file branded: the tile's
// properties and data, nothing else. Its size is that of the tile's boxes and data.
std::vector<std::uint8_t> tileFile(Bytes file, const ItemGrid& grid, int index);

// The size after the grid's transforms.
void transformedSize(const ItemGrid& grid, int& width, int& height);

}  // namespace trimlet
