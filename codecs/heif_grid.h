#pragma once
// The layout of a HEIF or AVIF file whose primary image is a grid of coded tiles, read from the
// container's boxes alone, and the one-tile file a codec library can decode a tile from. No
// library is needed; the module decodes with it, the program's fuzz target reads with it.

#include <cstdint>
#include <optional>
#include <vector>

#include "base/bytes.h"

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
};

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
