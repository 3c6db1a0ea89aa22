#pragma once
// Lossless quarter and half turns: every pixel is moved as its three bytes, unchanged.

#include <functional>

#include "codecs/bitmap.h"

namespace trimlet {

// Told (done, rows) with done = 0, 100, 200, … below rows, in order, each time at least `done`
// of the result's `rows` rows' worth of pixels have been written.
using TurnProgress = std::function<void(int done, int rows)>;

// The picture turned a quarter clockwise: the W × H source's pixel (x, y) lands at
// (H − 1 − y, x) of an H × W result. An empty picture, or one whose turned store would pass the
// bitmap cap, gives an empty result. Throws std::bad_alloc when memory is short.
Bitmap turnRight(const Bitmap& src, const TurnProgress& progress = {});

// The same, counter-clockwise: (x, y) lands at (y, W − 1 − x).
Bitmap turnLeft(const Bitmap& src, const TurnProgress& progress = {});

// The picture turned by half, in place: (x, y) lands at (W − 1 − x, H − 1 − y), the same as
// flipping it top to bottom and then left to right. Pass it by move to avoid a copy.
Bitmap halfTurn(Bitmap picture);

// The main window's progress position for `done` of `rows`: 30 + done × 70 ÷ (rows − 1),
// truncated; 30 for a one-row result, whose divisor would be zero.
int turnProgressPosition(int done, int rows);

}  // namespace trimlet
