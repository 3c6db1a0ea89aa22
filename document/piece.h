#pragma once
// The piece the frame cuts, as a value the preview, a save and the live size all start from,
// and the measuring of its saved size. No Qt: the window's worker thread only runs these.

#include <cstdint>
#include <functional>
#include <vector>

#include "base/result.h"
#include "codecs/output_file.h"
#include "codecs/picture.h"
#include "document/frame_state.h"
#include "document/work_values.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

// What the frame cuts: a region of the source reduced by a rate, or the whole source. The
// source is shared with the window, so a request costs no pixels.
struct PieceRequest {
    Picture source;
    bool whole = true;
    IntPoint origin;
    int cutW = 0;
    int cutH = 0;
    int rate = 100;
};

// What frame, standing over display, cuts out of source for cut: the region its corner maps to,
// of the size it stands for, at cut's rate; the whole source when cut takes no region of it.
PieceRequest framedPiece(const Picture& source, const CutSettings& cut, const FrameState& frame,
                         const IntRect& display);

// The whole source, or cutRegion of the cutW × cutH region at origin reduced by rate; empty
// when that region reaches past the source.
Bitmap cutPiece(const PieceRequest& request);

// True when choice writes pieces of picture from its JPEG file's blocks: lossless JPEG is
// chosen and the picture is still that file's own pixels, turned and flipped at most.
bool copiesBlocks(const OutputChoice& choice, const Picture& picture);

// The piece as a JPEG file copied from the blocks of the file the source's pixels are (see
// codecs/jpeg_lossless.h). Invalid when the source has no JPEG origin or the rate is not
// 100, Io when the file cannot be opened or has changed since the source was read, and
// cutJpegLossless's failures (off the block grid, refused or damaged files).
Result<std::vector<std::uint8_t>> losslessPiece(const PieceRequest& request);

struct LiveSizeJob {
    PieceRequest piece;
    OutputFormat format = OutputFormat::Jpeg;
    int quality = 90;
    std::uint64_t maxBytes = 0;  // 0: no limit
    bool lossless = false;       // the piece is copied from the blocks (losslessPiece)
};

struct LiveSizeResult {
    std::uint64_t generation = 0;
    bool ok = false;   // false: the piece could not be cut or encoded
    bool fits = true;  // false: not even the smallest file keeps to the limit
    std::uint64_t bytes = 0;
    int quality = 0;  // the quality the bytes were encoded at; 0 for a copy of the blocks
};

// The size of the file a save of the job's piece writes, and the quality it is written at
// (encodeOutputWithin's choice under a limit). Not ok when the piece is empty, its encode
// fails or runs short of memory, or superseded says true between encodes. Any thread.
LiveSizeResult measurePiece(const LiveSizeJob& job, const std::function<bool()>& superseded = {});

}  // namespace trimlet
