#pragma once
// PNG through libpng.

#include "base/file_io.h"
#include "codecs/decoded.h"

namespace trimlet {

// Decodes every colour type at every bit depth, interlaced or not, to 24 bits. 16-bit samples
// keep their high byte, lower grey depths are stretched to 0..255, and alpha is not applied
// (each pixel keeps its stored colour). The mask marks pixels equal to the tRNS colour of a
// grey or truecolour image (16-bit: by high bytes) and pixels whose palette entry has tRNS
// alpha 0; indices past the palette are black. TooLarge past limits (also once turned to the
// orientation); Corrupt for damaged or truncated image data, or a file too small to hold the
// pixels its header claims. The orientation comes from an eXIf chunk before the image data,
// and an iCCP profile of the image's colour space is handed on when limits.colourManagement
// is on.
Result<DecodedImage> decodePng(Bytes file, const DecodeLimits& limits = {});

// decodePng's pixels and mask inside region, with the same orientation and profile. A
// non-interlaced file is read only up to the region's last row, and only the region's columns
// become pixels: the header's checks and every failure of the data above and inside the region
// are decodePng's, but the data below it is never read, so damage or truncation there is not
// noticed. An interlaced file is decoded whole. A region that is empty or not inside the picture
// is Invalid.
Result<DecodedImage> decodePngRegion(Bytes file, PictureRegion region, const DecodeLimits& limits = {});
// The same, reading the file a little at a time, and only as far as the region's last row.
Result<DecodedImage> decodePngRegion(const RegularFile& file, PictureRegion region, const DecodeLimits& limits = {});

// The size and orientation decodePng would give, from the chunks before the image data at the
// start of a file of fileSize bytes.
HeaderProbe probePng(Bytes head, std::uint64_t fileSize, const DecodeLimits& limits = {});

}  // namespace trimlet

// Writing lives apart from reading.
#include "codecs/png_write.h"  // IWYU pragma: export
