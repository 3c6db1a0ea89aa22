#pragma once
// Enlargement by pixel replication, for showing a picture on a screen finer than its pixels.

#include "codecs/bitmap.h"

namespace trimlet {

// src enlarged to dstW × dstH: destination pixel (x, y) takes the source pixel that its centre
// falls in, column ⌊(2x + 1)·srcW / (2·dstW)⌋, row likewise, so every source pixel becomes a
// block of whole pixels and no colours are mixed. Requires dstW ≥ srcW ≥ 1 and dstH ≥ srcH ≥ 1;
// otherwise the result is an empty bitmap. Throws std::bad_alloc when memory is short and
// std::length_error beyond the bitmap size cap.
Bitmap enlargeNearest(const Bitmap& src, int dstW, int dstH);

}  // namespace trimlet
