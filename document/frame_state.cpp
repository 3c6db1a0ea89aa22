#include "document/frame_state.h"

namespace trimlet {

FrameSizing FrameState::resize(const IntRect& display, int pw, int ph, int W, int H, int R, bool storeCentre)
{
    const FrameSizing s = resizeCutFrame(rect, display, pw, ph, W, H, R);
    cutSrcWidth = s.cutSrcWidth;
    cutSrcHeight = s.cutSrcHeight;
    rect = s.frame;
    if (storeCentre)
        this->storeCentre(display, pw, ph);
    dragging = false;
    return s;
}

void FrameState::place(bool recentre, const IntRect& display, int pw, int ph)
{
    rect = placeCutFrame(recentre, display, pw, ph, centre);
}

void FrameState::storeCentre(const IntRect& display, int pw, int ph)
{
    centre = storeFrameCentre(rect, display, pw, ph);
}

void FrameState::clamp(int x, int y, const IntRect& display) { rect = clampCutFrame(rect, x, y, display); }

void FrameState::beginDrag(const IntPoint& grab)
{
    dragOffset = grab;
    dragging = true;
}

bool FrameState::dragTo(const IntPoint& at, const IntRect& display)
{
    if (!dragging)
        return false;
    clamp(rect.x + at.x - dragOffset.x, rect.y + at.y - dragOffset.y, display);
    return true;
}

void FrameState::endDrag(const IntRect& display, int pw, int ph)
{
    storeCentre(display, pw, ph);
    dragging = false;
}

IntPoint FrameState::cutOrigin(const IntRect& display, int pw, int ph) const
{
    return trimlet::cutOrigin(rect, display, pw, ph, cutSrcWidth, cutSrcHeight);
}

}  // namespace trimlet
