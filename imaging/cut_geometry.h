#pragma once
// The integer arithmetic of the work area and the cut frame: fitting the picture, the lowest
// reduction rate, sizing, clamping and remembering the frame, and the region a cut takes.
// Divisions truncate toward zero. Products are taken in 64 bits, which gives the same
// results as 32-bit arithmetic wherever that does not overflow and the right ones where it
// would (very large displays times the largest cut sizes).

#include <cstdint>

namespace trimlet {

struct IntRect {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const IntRect&, const IntRect&) = default;
};

struct IntPoint {
    int x = 0, y = 0;
    friend bool operator==(const IntPoint&, const IntPoint&) = default;
};

// The display rectangle of a pw × ph picture in a work area of availW × availH whose top edge
// is at top: shrunk to fit with its proportions (never enlarged) and centred.
IntRect fitPicture(int pw, int ph, int availW, int availH, int top);

// A pw × ph picture scaled up or down to fit a boxW × boxH box with its proportions, each side
// truncated to whole pixels but at least one, and centred in the box.
IntRect stretchPicture(int pw, int ph, int boxW, int boxH);

// The lowest reduction rate in percent for a W × H cut of a pw × ph picture: the smallest at
// which the region to cut no longer exceeds the picture in both directions; 100 when the
// picture is smaller than the cut in both.
int minimumRate(int pw, int ph, int W, int H);

// The fit rate for a W × H cut of a pw × ph picture: the lowest rate, no lower than
// minimumRate, at which the region to cut lies wholly inside the picture, so that the piece
// is the full W × H; 100 when no rate gets there (the picture is narrower or lower than the cut).
int fitRate(int pw, int ph, int W, int H);

// ceil(R × size / 100): a side of the cut after reduction.
int reducedSize(int R, int size);

struct FrameSizing {
    IntRect frame;        // clamped into the display
    int cutSrcWidth = 0;  // picture pixels the frame stands for
    int cutSrcHeight = 0;
    int reducedWidth = 0;  // the result's size after reduction
    int reducedHeight = 0;
    bool clippedWidth = false;  // the frame was cut at the display's edge
    bool clippedHeight = false;
};

// Sizes the frame around its current centre for a W × H cut at rate R and clamps it.
FrameSizing resizeCutFrame(const IntRect& frame, const IntRect& display, int pw, int ph, int W, int H, int R);

// The frame moved to (x, y) with its size kept, then pushed inside the display; a frame
// larger than the display keeps to its left (top) edge.
IntRect clampCutFrame(const IntRect& frame, int x, int y, const IntRect& display);

// The frame's centre in picture pixels, by the ratio of the sides' sums.
IntPoint storeFrameCentre(const IntRect& frame, const IntRect& display, int pw, int ph);

// The 1 × 1 frame a relayout starts from: the display's centre, or the remembered centre
// mapped onto the display.
IntRect placeCutFrame(bool recentre, const IntRect& display, int pw, int ph, const IntPoint& centre);

// The top-left picture pixel of the region a cut takes: the frame's corner mapped per axis,
// pulled back so that the cutSrcWidth × cutSrcHeight region ends inside the picture.
IntPoint cutOrigin(const IntRect& frame, const IntRect& display, int pw, int ph, int cutSrcWidth, int cutSrcHeight);

// True when a W × H cut takes a region rather than the whole picture.
inline bool cutsRegion(int pw, int ph, int W, int H) { return W < pw || H < ph; }

}  // namespace trimlet
