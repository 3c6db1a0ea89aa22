#pragma once
// Area-averaging reduction: every output pixel is the mean of the source area it covers.

#include <memory>

#include "codecs/bitmap.h"

namespace trimlet {

// Shrinks the srcW × srcH region at (srcX, srcY) of src to dstW × dstH. Output pixel x covers
// source columns [x·srcW/dstW, (x+1)·srcW/dstW) exactly, rows likewise; each channel is the mean
// of the covered pixels weighted by the covered fraction, rounded to nearest (halves up). Integer
// arithmetic throughout, so results are exact and equal on every machine. The region must lie
// inside src and 1 ≤ dstW ≤ srcW, 1 ≤ dstH ≤ srcH; otherwise the result is an empty bitmap.
// Throws std::bad_alloc when memory is short.
Bitmap reduceArea(const Bitmap& src, int srcX, int srcY, int srcW, int srcH, int dstW, int dstH);

// The whole of src shrunk to dstW × dstH, as above.
Bitmap reduceArea(const Bitmap& src, int dstW, int dstH);

// reduceArea of a whole srcW × srcH picture whose rows come in order, a few at a time: the same
// pixels, holding only the rows an output row still needs rather than the picture. Sizes
// reduceArea would refuse give an empty result. Throws std::bad_alloc when memory is short.
class RowReduction {
public:
    RowReduction(int srcW, int srcH, int dstW, int dstH);
    ~RowReduction();
    RowReduction(const RowReduction&) = delete;
    RowReduction& operator=(const RowReduction&) = delete;

    // The next count source rows: the first count rows of band, which is srcW wide.
    void addRows(const Bitmap& band, int count);

    // The reduced picture once every source row has come, else an empty bitmap.
    Bitmap take();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace trimlet
