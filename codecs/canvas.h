#pragma once
// The memory a canvas may take around the first frame drawn on it: a GIF's screen, an
// animation's canvas. Both are filled where no frame lies, so their size costs no data.

#include <cstdint>
#include <string>

#include "base/result.h"
#include "codecs/decoded.h"

namespace trimlet {

// Bytes a width × height rendering takes with its mask.
std::uint64_t canvasBytes(std::int64_t width, std::int64_t height);

// OK when canvas may be allocated around a first frame of frame's size from a file of
// fileBytes bytes: its rendering and mask take at most 64 MiB, four times what the file's
// bytes can expand to (kMaxPixelsPerFileByte pixels a byte, each with its mask) or twice the
// frame's own, whichever is most. Otherwise TooLarge, with a message naming that limit;
// canvasName and frameName word it ("GIF screen", "image").
Status checkCanvas(std::uint64_t fileBytes, PictureSize canvas, PictureSize frame, const std::string& canvasName,
                   const std::string& frameName);

}  // namespace trimlet
