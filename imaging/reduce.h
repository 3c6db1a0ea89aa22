#pragma once
// Area-averaging reduction: every output pixel is the mean of the source area it covers.

#include "codecs/bitmap.h"

namespace trimlet {

// Shrinks the srcW × srcH region at (srcX, srcY) of src to dstW × dstH. Output pixel x covers
// source columns [x·srcW/dstW, (x+1)·srcW/dstW) exactly, rows likewise; each channel is the mean
// of the covered pixels weighted by the covered fraction, rounded to nearest (halves up). Integer
// arithmetic throughout, so results are exact and equal on every machine. The region must lie
// inside src and 1 ≤ dstW ≤ srcW, 1 ≤ dstH ≤ srcH; otherwise the result is an empty bitmap.
// Throws std::bad_alloc when memory is short.
Bitmap reduceArea(const Bitmap& src, int srcX, int srcY, int srcW, int srcH, int dstW, int dstH);

// The whole of src shrunk to dstW × dstH, as above.
Bitmap reduceArea(const Bitmap& src, int dstW, int dstH);

}  // namespace trimlet
