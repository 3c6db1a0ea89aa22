#pragma once
// GIF through giflib; only the first image is ever used.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes the first image. When it covers the logical screen the bitmap is that image;
// otherwise it is the screen (one without area: reaching to the image's far edges) filled with
// colour 0 of the global table, the image drawn at its offset, clipped. Colours come from the
// local table, else the global one; indices without an entry are black. With a transparent
// index in the image's graphic control block the mask marks those pixels and the screen
// outside the image; they show colour 0 of the global table, or their own colour when the
// image covers the screen. TooLarge when the screen or the image passes limits, or when the
// screen around the image takes more memory than checkCanvas allows for the file; Corrupt for
// damaged or truncated data and for a first image without pixels. The image is decoded before
// the screen is allocated.
Result<DecodedImage> decodeGif(Bytes file, const DecodeLimits& limits = {});

// The size decodeGif would give, from the screen and the first image's descriptor only.
HeaderProbe probeGif(Bytes head, const DecodeLimits& limits = {});

}  // namespace trimlet
