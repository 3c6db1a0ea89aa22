#pragma once
// The cut frame as a value: where it stands over the displayed picture, the picture point it
// stays centred on, the region of picture pixels it stands for, and a drag in progress. The
// window mirrors `rect` into its frame widget; nothing here knows about widgets.

#include <optional>

#include "codecs/jpeg_lossless.h"
#include "imaging/cut_geometry.h"

namespace trimlet {

class FrameState {
public:
    IntRect rect;         // in the window's client coordinates
    IntPoint centre;      // frameCentreX/Y: picture pixels, kept across relayouts
    int cutSrcWidth = 0;  // picture pixels the frame stands for
    int cutSrcHeight = 0;
    bool dragging = false;
    IntPoint dragOffset;  // the grab point, in the frame's own coordinates
    // Where the region's corner may stand while pieces are copied from a JPEG's blocks; none:
    // on any picture pixel.
    std::optional<LosslessGrid> grid;

    // Sizes the frame around its centre for a W × H cut at rate R over a pw × ph picture
    // shown at display, clamped inside it; with storeCentre the centre is remembered anew.
    // Ends any drag. The sizes the console shows come back with the frame.
    FrameSizing resize(const IntRect& display, int pw, int ph, int W, int H, int R, bool storeCentre);
    // The 1 × 1 frame a relayout starts from: the display's centre, or the remembered centre.
    void place(bool recentre, const IntRect& display, int pw, int ph);
    // Remembers the frame's centre in picture pixels.
    void storeCentre(const IntRect& display, int pw, int ph);
    // Moves the frame's corner to (x, y), kept inside the display.
    void clamp(int x, int y, const IntRect& display);
    // Moves the frame by dx, dy screen pixels, or with a grid by as many grid steps, kept inside.
    void moveBy(int dx, int dy, const IntRect& display, int pw, int ph);
    // Puts the frame where the grid point nearest to its corner's pixel shows, which cutOrigin
    // then gives however small the display; nothing without a grid or when no grid point keeps
    // the region inside the picture.
    void snap(const IntRect& display, int pw, int ph);

    // A left press at `grab` inside the frame starts a drag.
    void beginDrag(const IntPoint& grab);
    // The mouse at `at`, in the frame's own coordinates, moves a dragged frame with it,
    // inside the display; false when no drag is in progress.
    bool dragTo(const IntPoint& at, const IntRect& display);
    // The left button's release: the frame's new centre is remembered.
    void endDrag(const IntRect& display, int pw, int ph);

    // The top-left picture pixel of the region the frame cuts.
    IntPoint cutOrigin(const IntRect& display, int pw, int ph) const;

private:
    std::optional<IntPoint> onGrid(IntPoint at, int pw, int ph) const;
    void showAt(IntPoint at, const IntRect& display, int pw, int ph);

    // The grid point the frame was last put on, valid while it stays where it was put.
    IntRect snappedRect_;
    IntPoint snappedOrigin_;
    bool snapped_ = false;
};

}  // namespace trimlet
