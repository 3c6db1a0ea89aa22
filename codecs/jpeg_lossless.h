#pragma once
// Pieces of a JPEG cut from its DCT blocks: the coefficients are copied, turned and mirrored,
// never decoded to pixels or quantised again, so the piece has exactly the source's pixels.

#include <cstdint>
#include <vector>

#include "base/file_io.h"
#include "codecs/decoded.h"
#include "codecs/jpeg.h"

namespace trimlet {

// What a lossless cut needs to know of a file, from its markers up to the first scan.
struct JpegBlocks {
    int width = 0, height = 0;          // as stored
    int imcuWidth = 8, imcuHeight = 8;  // the block grid pieces start on: 8, 16 or 32 pixels
                                        // (8 × 8 for greyscale, whatever it declares)
    int orientation = 1;                // the first EXIF APP1's orientation, 1..8
};

// The header of a file a lossless cut can copy. Unsupported, saying why, for arithmetic-coded,
// 12-bit, lossless and hierarchical files, for colour spaces other than grey and YCbCr and for
// sampling factors that do not divide the largest; Corrupt when there is no header or the file
// is too short for its blocks; TooLarge past the limits as the pixel decoders refuse, and when
// the blocks a cut of a progressive or multi-scan file holds (128 bytes each, all of the
// picture's) would pass limits.maxBitmapBytes.
Result<JpegBlocks> probeJpegBlocks(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// Where a lossless piece may start in the picture shown as orientation 1..8 says (the stored
// picture turned and flipped; see imaging/plan.h): at x = offsetX + i·stepX and
// y = offsetY + j·stepY, so that every stored edge the orientation brings to the piece's left
// or top lies on the iMCU grid. The right and bottom edges may fall anywhere.
struct LosslessGrid {
    int stepX = 8, stepY = 8;
    int offsetX = 0, offsetY = 0;
};
LosslessGrid losslessGrid(const JpegBlocks& blocks, int orientation);

// Moves region's corner to the grid point nearest to it (the lower one of two as near) that
// keeps the region inside a shownW × shownH picture. False, leaving region as it was, when no
// grid point does or the region is empty.
bool snapToGrid(const LosslessGrid& grid, int shownW, int shownH, JpegRegion& region);

// The region of the picture shown as orientation (the file's own EXIF orientation is not
// applied by itself: the caller composes it in), as a new baseline JFIF file of exactly the
// region's size with optimised Huffman tables, made from the source's blocks: no EXIF, no
// comment, only the source's ICC profile copied. Fails as probeJpegBlocks does, Corrupt on
// truncated or damaged data, and Invalid when the region is empty, not inside the picture or
// not on losslessGrid (the message says which edge and the grid). A single-scan file's read
// keeps only the blocks the piece is copied from (and a row of the picture's), TooLarge when
// those would pass limits.maxBitmapBytes. Memory stays within the pixel decoders' rule; any
// thread.
Result<std::vector<std::uint8_t>> cutJpegLossless(Bytes file, int orientation, JpegRegion shown,
                                                  const DecodeLimits& limits = {});
// The same, reading the file a little at a time rather than holding it.
Result<std::vector<std::uint8_t>> cutJpegLossless(const RegularFile& file, int orientation, JpegRegion shown,
                                                  const DecodeLimits& limits = {});

}  // namespace trimlet
