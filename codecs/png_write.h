#pragma once
// Writing PNG: the image data filtered here and compressed by libdeflate in one piece.

#include <cstdint>
#include <vector>

#include "base/result.h"
#include "codecs/bitmap.h"

namespace trimlet {

// Encodes a bitmap as a non-interlaced 8-bit truecolour PNG with no chunks beyond IHDR, IDAT
// and IEND; each row gets the Sub, Up or Paeth filter that leaves it the smallest residue.
// An empty bitmap is Invalid; TooLarge when memory is short.
Result<std::vector<std::uint8_t>> encodePng(const Bitmap& bitmap);

}  // namespace trimlet
