#pragma once
// Cutting before turning: a cut of a turned or flipped picture takes the same pixels as the
// cut of the untouched picture's matching region, turned or flipped after. So only that region
// need ever be decoded, and only it turned.

#include "codecs/bitmap.h"
#include "imaging/cut.h"

namespace trimlet {

// Turns and flips as EXIF orientations (see orientBitmap): each of the eight placements of a
// picture is one of them.
inline constexpr int kTurnedRight = 6;
inline constexpr int kTurnedLeft = 8;
inline constexpr int kHalfTurned = 3;
inline constexpr int kMirroredLeftRight = 2;
inline constexpr int kMirroredTopBottom = 4;

// Where pixel p of a w × h picture lands once it is shown as orientation 1..8 says.
IntPoint orientedPoint(int orientation, int w, int h, IntPoint p);

// The single orientation that shows a picture as `first` and then `then` (both 1..8) do.
int composeOrientations(int first, int then);

// A cut of a picture stored as storedW × storedH and shown as `orientation`, planned on the
// stored pixels.
struct CutPlan {
    IntRect stored;   // the stored pixels the cut takes
    int orientation;  // shows the stored region as the cut's region
    int rate;         // the reduction of the whole shown region
};

// The plan for a cut of frame, placed on the shown picture (which must hold it).
CutPlan planCut(int storedW, int storedH, int orientation, const CutFrame& frame);

// The cut, from the stored region's pixels: the same as cutting frame out of the whole picture
// shown as the plan's orientation. Empty when the region is not the plan's size. Throws
// std::bad_alloc when memory is short.
Bitmap cutStoredRegion(Bitmap region, const CutPlan& plan);

// Puts rows firstRow .. firstRow + count − 1 of a storedW × storedH picture, held in the first
// count rows of band, where they land in dst, the picture shown as orientation: placing every
// row so fills dst as orientBitmap would. dst must have the shown size.
void placeRows(const Bitmap& band, int firstRow, int count, int storedW, int storedH, int orientation, Bitmap& dst);

}  // namespace trimlet
