#pragma once
// Exact rectangular copies between bitmaps.

#include "codecs/bitmap.h"

namespace trimlet {

// Copies the w × h region at (x, y) of src into a new bitmap. The region is clipped to src;
// an empty intersection gives an empty bitmap.
Bitmap copyRegion(const Bitmap& src, int x, int y, int w, int h);

}  // namespace trimlet
