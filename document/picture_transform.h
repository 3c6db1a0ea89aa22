#pragma once
// The turns and flips of the editing picture as one operation with a progress position.

#include <functional>

#include "codecs/bitmap.h"
#include "codecs/picture.h"

namespace trimlet {

// What TransformPicture does to the editing picture.
enum class Transform { FlipVertical = 0, FlipHorizontal = 1, TurnRight = 90, HalfTurn = 180, TurnLeft = 270 };

// The picture turned or flipped; progress hears positions from 0 to 100 along the way (the
// quarter turns row by row, the others at fixed points). An empty bitmap when the result could
// not be made.
Bitmap transformPicture(const Bitmap& picture, Transform mode, const std::function<void(int position)>& progress);
// The picture turned or flipped as transformPicture does it, keeping its JPEG origin placed
// anew; throws std::bad_alloc when it cannot be made.
Picture transformedPicture(const Picture& picture, Transform mode, const std::function<void(int position)>& progress);
// The transform as an EXIF-style placement (see imaging/plan.h).
int placementOf(Transform mode);
// The transform that gives the picture back: the other quarter turn, or the same half turn or flip.
Transform inverseOf(Transform mode);

}  // namespace trimlet
