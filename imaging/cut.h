#pragma once
// Cutting a region out of a picture and reducing it by a rate.

#include <optional>

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
    IntPoint centre;   // frame centre in picture pixels when given, else the picture's middle
    bool fit = false;  // R is the picture's fitRate instead
};

// Where a cut takes its pixels: the width × height region at origin, reduced by rate.
struct CutFrame {
    IntPoint origin;
    int width = 0;
    int height = 0;
    int rate = 100;
};

// The region a W × H, R % request places on a pw × ph picture shown unscaled, as the window
// places its frame; a picture no larger than the cut size is taken whole and unreduced.
// Nothing for an empty picture or request.
std::optional<CutFrame> cutFrame(int pw, int ph, const CutRequest& request);

// The region of the window's size for this W, H and rate (which does not depend on how large
// the window shows the picture) with its top-left corner at origin; not checked against the
// picture's edges. A picture no larger than the cut is taken whole.
CutFrame cutFrameAt(int pw, int ph, const CutRequest& request, IntPoint origin);

// The cut of cutFrame's region, as the window cuts it.
Bitmap cutPicture(const Bitmap& src, const CutRequest& request);

}  // namespace trimlet
