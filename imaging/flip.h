#pragma once
// Exact mirror images of a picture, made in place.

#include "codecs/bitmap.h"

namespace trimlet {

// Top to bottom: row y of the result is row H − 1 − y of the picture. Pass it by move to
// flip without a copy.
Bitmap flipVertical(Bitmap picture);

// Left to right: column x of the result is column W − 1 − x of the picture.
Bitmap flipHorizontal(Bitmap picture);

}  // namespace trimlet
