#pragma once
// How large a picture the live rotation preview turns, and that picture.

#include "codecs/bitmap.h"

namespace trimlet {

struct PreviewSize {
    int width = 0, height = 0;
    friend bool operator==(const PreviewSize&, const PreviewSize&) = default;
};

// A width × height picture shrunk, when it is larger than the areaWidth × areaHeight work area,
// to fit it with its proportions: first to the area's width, then, if still too tall, to its
// height, each scaled side truncated and at least 1, whatever the area. A picture that fits is
// returned at its own size, never enlarged.
PreviewSize rotationPreviewSize(int width, int height, int areaWidth, int areaHeight);

// The picture the preview turns: picture reduced by area averaging to deviceWidth × deviceHeight
// screen pixels (the preview size at the screen's pixel ratio), each side capped at the
// picture's own, so it is never enlarged; the picture itself when it already fits. Throws
// std::bad_alloc when memory is short.
Bitmap rotationPreviewBase(const Bitmap& picture, int deviceWidth, int deviceHeight);

}  // namespace trimlet
