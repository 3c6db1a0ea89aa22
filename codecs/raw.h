#pragma once
// Camera raw files (CR2, CR3, NEF, ARW, RAF, ORF, RW2, DNG, PEF...) through LibRaw.

#include <cstdint>

#include "codecs/decoded.h"

namespace trimlet {

// A raw's sensor data is packed or losslessly compressed, never by much more than this many
// pixels a byte; a header declaring more than its file could hold is refused before LibRaw
// allocates for it (its own reads past the end would only give zeros).
inline constexpr std::uint64_t kMaxRawPixelsPerFileByte = 64;

// Develops the raw as a viewer shows it: the camera's as-shot white balance, AHD demosaicing,
// sRGB primaries and tone curve, 8 bits, LibRaw's automatic brightening. The rows are as the
// sensor lies; the file's orientation goes to `orientation`. With limits.rawPreview the
// embedded preview (JPEG or 8-bit RGB) is taken instead when it is at least the developed
// size less a sixteenth a side, else the raw is developed. TooLarge when the sensor data or
// LibRaw's working buffers (8 bytes a pixel) pass limits, or the picture's bitmap does;
// Corrupt for damaged data or a file too small for its declared sensor (checked before
// anything of that size exists); Unsupported for what LibRaw does not know as a raw.
Result<DecodedImage> decodeRaw(Bytes file, const DecodeLimits& limits = {});

// The size and orientation decodeRaw would give, from the headers alone (nothing unpacked),
// with the same checks, from the first bytes of a file of fileSize bytes; needsMore when LibRaw
// could not read them and the file goes on.
HeaderProbe probeRaw(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

}  // namespace trimlet
