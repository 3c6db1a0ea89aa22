#pragma once
// Loading a photo for editing without holding its file beside its pixels.

#include <string>

#include "codecs/picture_file.h"

namespace trimlet {

// loadPictureUpright's picture, with the same pixels, kind and failures, but a JPEG is read from the
// file a chunk at a time and keeps no file bytes: the peak is the picture and a chunk, not the
// picture, the file and its copy. Every other kind is loadPictureUpright's, file bytes included.
Result<Picture> loadPictureUprightStreamed(const std::string& path, const DecodeLimits& limits = {});

}  // namespace trimlet
