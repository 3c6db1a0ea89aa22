#pragma once
// TIFF through libtiff; only the first directory is ever used.

#include "codecs/decoded.h"

namespace trimlet {

// Decodes the first directory through libtiff's RGBA reader (every photometric, compression,
// strip or tile layout it renders; CMYK by its own naive conversion), rows as stored: the
// Orientation tag goes to `orientation`, the ICC profile of an RGB, YCbCr, palette or
// black-is-zero grey image to `iccProfile` (never for CMYK). 16-bit samples keep their high
// byte, as in PNG (libtiff alone would round); alpha is not applied (unassociated alpha keeps
// its stored colour) and pixels of alpha 0 are marked in the mask. TooLarge past limits;
// Corrupt for damaged or truncated data, strips lying outside the file or too few bytes for
// the declared size (checked before any pixel allocation); Unsupported for what the RGBA
// reader refuses (the message says what).
Result<DecodedImage> decodeTiff(Bytes file, const DecodeLimits& limits = {});

// The size decodeTiff would give, from the header and the first directory at the start of a
// file of fileSize bytes.
HeaderProbe probeTiff(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

}  // namespace trimlet
