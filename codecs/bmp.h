#pragma once
// Windows BMP, the project's own reader and writer.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes a BMP file: "BM", a 12-byte core or a 40-byte-or-larger information header, one
// plane, 1/4/8/16/24/32 bits, uncompressed, RLE4, RLE8 or bit fields, bottom-up or top-down.
// Run-length data is checked whole before the picture is allocated.
// The mask stays empty (alpha is ignored). Fails with Unsupported for other kinds, Corrupt
// for short or inconsistent data, TooLarge when the rendering would pass limits.
Result<DecodedImage> decodeBmp(Bytes file, const DecodeLimits& limits = {});

// The size decodeBmp would give, from the headers at the start of a file of fileSize bytes.
HeaderProbe probeBmp(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// Encodes a bitmap as an uncompressed 24-bit BMP (40-byte header, bottom-up rows).
std::vector<std::uint8_t> encodeBmp(const Bitmap& bitmap);

}  // namespace trimlet
