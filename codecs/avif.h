#pragma once
// AVIF through libavif; only the first frame is ever used.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes the first frame at 8 bits a sample as avifdec --depth 8 writes it (deeper samples
// rescaled with rounding, the file's own YUV matrix and range). The container's rotation and
// mirroring become the equivalent EXIF `orientation`, its ICC profile `iccProfile`; the clean
// aperture is not applied. Alpha is not applied; pixels whose alpha is 0 at 8 bits are marked
// in the mask. TooLarge past limits (checked on the container's size before any frame is
// decoded); Corrupt for damaged or truncated files and files too small for their declared
// size; Unsupported when no AV1 decoder is available.
Result<DecodedImage> decodeAvif(Bytes file, const DecodeLimits& limits = {});

// The size decodeAvif would give, from the container's boxes at the start of a file of
// fileSize bytes; no frame is decoded.
HeaderProbe probeAvif(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

// decodeAvif's image inside region (Invalid when it is empty or outside the picture). A grid
// decodes only the tiles under the region and a few pixels around it, on every core.
Result<DecodedImage> decodeAvifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits = {});

// The module's side of decodeAvifRegion, tiles spread over at most `threads` threads. Sets whole,
// and decodes nothing, when only the whole picture's decode can give the region exactly.
Result<DecodedImage> decodeAvifRegion(Bytes file, PictureRegion region, const DecodeLimits& limits, int threads,
                                      bool& whole);

}  // namespace trimlet
