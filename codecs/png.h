#pragma once
// PNG through libpng.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes every colour type at every bit depth, interlaced or not. 16-bit samples keep their
// high byte; alpha is not applied (each pixel keeps its stored colour). A tRNS colour on a
// grey or truecolour image, and fully transparent palette entries, become the mask.
Result<DecodedImage> decodePng(Bytes file, const DecodeLimits& limits = {});

}  // namespace trimlet
