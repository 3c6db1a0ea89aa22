#pragma once
// Loading a picture as it is meant to be seen: upright, its colours converted to sRGB.

#include <string>

#include "codecs/picture_file.h"

namespace trimlet {

// A picture file by its extension, decoded, its ICC profile converted to sRGB (unless
// limits.colourManagement is off) and turned upright as its EXIF orientation says, mask
// included. The picture keeps the file's kind (and a JPEG or GIF its file bytes): it counts as
// unedited. Failures as loadFileAsStored's; TooLarge also when the upright picture passes the
// cap or memory is short, and nothing is left behind.
Result<Picture> loadPictureUpright(const std::string& path, const DecodeLimits& limits = {});

// The same for the bytes of a file of the given kind (not Empty).
Result<Picture> decodePictureUpright(PictureKind kind, Bytes bytes, const DecodeLimits& limits = {});

}  // namespace trimlet
