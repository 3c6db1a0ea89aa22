#pragma once
// JPEG XL through libjxl: still pictures and first frames in, lossy or lossless files and
// lossless JPEG recompression out.

#include <cstdint>
#include <vector>

#include "codecs/decoded.h"

namespace trimlet {

// True when head starts like a JPEG XL file: a bare codestream or the boxed container.
bool looksLikeJxl(Bytes head);

// Decodes a JPEG XL file's first frame to 24 bits. The orientation is handed on (not applied);
// a colour profile other than sRGB goes to iccProfile, lossy (XYB) data being rendered as sRGB
// by libjxl itself. Alpha is not applied: the mask marks pixels of alpha 0. TooLarge past
// limits, counting libjxl's planes (4 bytes a sample of every channel) against the cap as well
// as the rendering; Corrupt for damaged or truncated data and for a file of fewer bytes than
// its pixels need (fileCanHoldPixels), refused before anything of the picture's size.
Result<DecodedImage> decodeJxl(Bytes file, const DecodeLimits& limits = {});

// The stored size and orientation decodeJxl would give, from the first bytes of a file of
// fileSize bytes.
HeaderProbe probeJxl(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// The butteraugli distance cjxl takes for a JPEG-like quality: 0 (lossless) at 100 and above.
double jxlDistanceForQuality(int quality);

// Encodes a bitmap as JPEG XL at quality 1..100 (100: lossless) with libjxl's default effort,
// a bare codestream tagged sRGB. An empty bitmap or a quality outside 1..100 is Invalid;
// TooLarge when libjxl runs out of memory.
Result<std::vector<std::uint8_t>> encodeJxl(const Bitmap& bitmap, int quality);

// A JPEG file recompressed losslessly, with what libjxl needs to give back its exact bytes.
// Unsupported for a JPEG libjxl cannot take that way (arithmetic coding, CMYK, damage).
Result<std::vector<std::uint8_t>> transcodeJpegToJxl(Bytes jpeg);

}  // namespace trimlet
