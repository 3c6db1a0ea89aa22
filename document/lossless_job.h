#pragma once
// A lossless piece made straight from a JPEG file: its blocks copied, turned and mirrored as
// the placement and the file's orientation say, never decoded (see codecs/jpeg_lossless.h).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "base/result.h"
#include "codecs/decoded.h"
#include "codecs/jpeg.h"
#include "codecs/jpeg_lossless.h"
#include "imaging/cut.h"

namespace trimlet {

// The block grid of the open file, from as little of its head as holds the markers; Invalid
// when it is no JPEG, else probeJpegBlocks's failures.
Result<JpegBlocks> probeFileBlocks(const RegularFile& file, const DecodeLimits& limits = {});

// A JPEG file opened and its header read, placed as placement says: what a lossless cut of it
// starts from.
struct PlacedJpeg {
    RegularFile file;
    JpegBlocks blocks;
    int orientation = 1;  // the file's own composed with the placement
    PictureSize shown;    // the picture as shown and placed
};
// Fails as RegularFile::open and probeFileBlocks do, as "PATH: reason".
Result<PlacedJpeg> openPlacedJpeg(const std::string& path, int placement, const DecodeLimits& limits = {});

struct LosslessJob {
    int placement = 1;               // the turns and flips, composed as in loadPictureCut
    std::optional<CutRequest> cut;   // nothing: the whole picture
    std::optional<IntPoint> origin;  // the region's top-left corner; else the frame is centred
};

struct LosslessPieceFile {
    std::vector<std::uint8_t> bytes;
    JpegRegion region;  // in the pixels of the picture as shown and placed
};

// The piece job asks of the JPEG file at path, as a JPEG file copied from its blocks. The frame
// is placed as loadPictureCut places it, and a centred one then moves to the nearest corner of
// the block grid. Invalid, naming path, when the file is not a JPEG, the rate is not 100 (also
// as @fit makes it), a given origin is off the grid (naming the grid and the nearest corner on
// it), no corner on it leaves room for the piece or, with no cut, the picture as shown does
// not start on it; otherwise fails as frameAtOrigin and
// cutJpegLossless do, as "PATH: reason".
Result<LosslessPieceFile> cutFileLossless(const std::string& path, const LosslessJob& job,
                                          const DecodeLimits& limits = {});

}  // namespace trimlet
