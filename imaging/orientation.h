#pragma once
// Showing a picture the way its camera meant: the EXIF orientation undone with the lossless
// turns and flips.

#include <cstdint>

#include "base/result.h"
#include "codecs/bitmap.h"
#include "codecs/decoded.h"

namespace trimlet {

// The picture as EXIF orientation 1..8 says it is shown: 2 mirrored left to right, 3 turned by
// half, 4 mirrored top to bottom, 5 mirrored along its main diagonal (pixel (x, y) lands at
// (y, x)), 6 turned right, 7 mirrored along the other diagonal ((x, y) lands at
// (H − 1 − y, W − 1 − x)), 8 turned left; 1 or any other value gives it back as it is. Empty
// when the result's store would pass the bitmap cap. Throws std::bad_alloc when memory is short.
Bitmap orientBitmap(Bitmap picture, int orientation);

// Turns the decoded picture and its transparency mask upright, so that orientation becomes 1.
// TooLarge, leaving the image as it was, when the upright picture would pass maxBitmapBytes.
// Throws std::bad_alloc when memory is short.
Status applyOrientation(DecodedImage& image, std::int64_t maxBitmapBytes = kMaxBitmapBytes);

}  // namespace trimlet
