#pragma once
// TIFF through libtiff; only the first directory is ever used.

#include "base/file_io.h"
#include "codecs/decoded.h"

namespace trimlet {

// Decodes the first directory through libtiff's RGBA reader (every photometric, compression,
// strip or tile layout it renders; CMYK by its own naive conversion), rows as stored: the
// Orientation tag goes to `orientation`, the ICC profile of an RGB, YCbCr, palette or
// black-is-zero grey image to `iccProfile` (never for CMYK). 16-bit samples keep their high
// byte, as in PNG (libtiff alone would round); alpha is not applied (unassociated alpha keeps
// its stored colour, associated alpha is divided out of it, rounded) and pixels of alpha 0 are
// marked in the mask. An Orientation out of range counts as 1. TooLarge past limits;
// Corrupt for damaged or truncated data, strips lying outside the file or too few bytes for
// the declared size (checked before any pixel allocation); Unsupported for what the RGBA
// reader refuses (the message says what).
// Interleaved 8- or 16-bit grey or RGB (with or without alpha), uncompressed or through LZW,
// Deflate or PackBits, is read strip by strip or tile by tile on every core instead, giving the
// RGBA reader's pixels.
Result<DecodedImage> decodeTiff(Bytes file, const DecodeLimits& limits = {});

// decodeTiff through the RGBA reader for every layout, one thread: what the strip and tile
// reading must equal. For tests and benchmarks.
Result<DecodedImage> decodeTiffThroughRgba(Bytes file, const DecodeLimits& limits = {});

// decodeTiff's pixels and mask inside region, with the same orientation and profile. For the
// layouts decodeTiff reads by strips or tiles only the strips or tiles under the region are read
// (on every core), so damage in the others is not noticed; the directory's checks (the data of
// every strip or tile inside the file and large enough for the picture) are decodeTiff's. Other
// layouts are decoded whole. A region that is empty or not inside the picture is Invalid.
Result<DecodedImage> decodeTiffRegion(Bytes file, PictureRegion region, const DecodeLimits& limits = {});
// The same, reading only the parts of the file it needs (every core reading its own).
Result<DecodedImage> decodeTiffRegion(const RegularFile& file, PictureRegion region, const DecodeLimits& limits = {});

// The size decodeTiff would give, from the header and the first directory at the start of a
// file of fileSize bytes.
HeaderProbe probeTiff(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});
// The same, reading only the header and the directory wherever in the file it lies.
HeaderProbe probeTiff(const RegularFile& file, const DecodeLimits& limits = {});

}  // namespace trimlet
