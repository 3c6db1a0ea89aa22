#pragma once
// HEIF and HEIC through libheif; only the primary image is ever used.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes the primary image as libheif gives it at 8 bits (its own reduction of deeper
// samples, as heif-convert's 8-bit outputs), with the container's crop, rotation and mirroring
// applied by libheif (orientation stays 1; an EXIF orientation is not applied on top). The
// container's ICC profile goes to `iccProfile`. Alpha is not applied; pixels whose alpha is 0
// are marked in the mask. TooLarge past limits (checked on the container's size before
// anything is decoded); Corrupt for damaged or truncated files and files too small for their
// declared size; Unsupported for what libheif cannot decode (the message says what).
Result<DecodedImage> decodeHeif(Bytes file, const DecodeLimits& limits = {});

// The size decodeHeif would give, from the container's boxes at the start of a file of
// fileSize bytes; nothing is decoded.
HeaderProbe probeHeif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// decodeHeif's image inside region (Invalid when it is empty or outside the picture). A grid
// decodes only the tiles under the region, on every core.
Result<DecodedImage> decodeHeifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits = {});

// The module's side of decodeHeifRegion, tiles spread over at most `threads` threads. Sets whole,
// and decodes nothing, when only the whole picture's decode can give the region exactly.
Result<DecodedImage> decodeHeifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                      bool& whole);

}  // namespace trimlet
