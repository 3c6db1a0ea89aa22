#pragma once
// Resampling a fractional region of a picture to a given size, for pieces whose part of the
// frame does not fall on whole pixels.

#include "codecs/bitmap.h"

namespace trimlet {

// The w × h region at (x, y) of src, in picture pixels and fractions of them, made dstW × dstH.
// Each axis on its own: one that shrinks averages the source span an output pixel covers, the
// pixels at its ends weighted by how much of them it covers; one that enlarges interpolates
// linearly between the two nearest pixels at the output pixel's centre, the region's edge pixels
// repeated beyond it. Rounded to nearest. Empty when the region is empty or reaches past src by
// more than 1e-6, or the size is empty or too large. Throws std::bad_alloc when memory is short.
Bitmap resampleRegion(const Bitmap& src, double x, double y, double w, double h, int dstW, int dstH);

}  // namespace trimlet
