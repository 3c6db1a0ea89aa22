#pragma once
// Cutting a region out of a picture and reducing it by a rate.

#include "codecs/bitmap.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

// The cutW × cutH region at origin of src, copied exactly at rate 100, otherwise reduced by
// area averaging to reducedSize(rate, cutW) × reducedSize(rate, cutH). The region must lie
// inside src (cutOrigin and resizeCutFrame keep it there); otherwise the result is empty.
Bitmap cutRegion(const Bitmap& src, IntPoint origin, int cutW, int cutH, int rate);

struct CutRequest {
    int width = 0;   // W
    int height = 0;  // H
    int rate = 100;  // R in percent; raised to the picture's minimum rate
    bool centreGiven = false;
    IntPoint centre;  // frame centre in picture pixels when given, else the picture's middle
};

// The cut of the frame a W × H, R % request places on a picture shown unscaled, as the
// window cuts it; a picture no larger than the cut size is taken whole and unreduced.
Bitmap cutPicture(const Bitmap& src, const CutRequest& request);

}  // namespace trimlet
