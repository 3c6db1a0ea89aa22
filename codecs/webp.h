#pragma once
// WebP through libwebp and its demuxer.

#include <cstdint>
#include <vector>

#include "codecs/decoded.h"

namespace trimlet {

// Longest side libwebp writes or reads.
inline constexpr int kMaxWebpSide = 16383;

// Decodes a still WebP (lossy, lossless, with or without alpha), or the first frame of an
// animation on its canvas, to 24 bits. Alpha is not applied (each pixel keeps its stored
// colour); the mask marks pixels of alpha 0, and the canvas outside a smaller first frame.
// The ICCP chunk goes to iccProfile. TooLarge past limits (the frame's 4-byte-a-pixel
// rendering counts for a picture with alpha or lossless data, which libwebp holds that way),
// and for a canvas that takes more memory around a smaller first frame than checkCanvas
// allows the file; Corrupt for damaged or truncated data, and for lossless data of fewer bytes
// than its pixels need (fileCanHoldPixels), refused before anything of the picture's size.
Result<DecodedImage> decodeWebp(Bytes file, const DecodeLimits& limits = {});

// decodeWebp's pixels and mask inside region, with the same profile: a still picture is decoded
// to its last row, so that damage anywhere fails as in the whole decode, but only a little
// around the region becomes pixels (exactly the whole decode's, the upsampled chroma at the
// region's edges included). An animation's first frame is decoded whole, and where it does not
// cover its canvas the canvas is not allocated. A region that is empty or not inside the
// picture is Invalid.
Result<DecodedImage> decodeWebpRegion(Bytes file, PictureRegion region, const DecodeLimits& limits = {});

// The size decodeWebp would give (the canvas of an extended file), from the first bytes of a
// file of fileSize bytes.
HeaderProbe probeWebp(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// Encodes a bitmap as lossy WebP at quality 1..100 with libwebp's default settings, a bare
// VP8 file without metadata. An empty bitmap, a side past kMaxWebpSide or a quality outside
// 1..100 is Invalid.
Result<std::vector<std::uint8_t>> encodeWebp(const Bitmap& bitmap, int quality);

}  // namespace trimlet
