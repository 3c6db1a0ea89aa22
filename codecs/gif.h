#pragma once
// GIF through giflib; only the first image is ever used.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes the first image. When it covers the logical screen the bitmap is that image;
// otherwise it is the screen, filled with colour 0 of the global table, with the image drawn
// at its offset. The transparent index of the image's graphic control block becomes the mask.
Result<DecodedImage> decodeGif(Bytes file, const DecodeLimits& limits = {});

}  // namespace trimlet
