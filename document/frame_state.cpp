#include "document/frame_state.h"

#include <algorithm>
#include <cstdint>

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
    if (grid && snapped_ && rect == snappedRect_)
        return snappedOrigin_;
    const IntPoint at = trimlet::cutOrigin(rect, display, pw, ph, cutSrcWidth, cutSrcHeight);
    return onGrid(at, pw, ph).value_or(at);
}

std::optional<IntPoint> FrameState::onGrid(IntPoint at, int pw, int ph) const
{
    if (!grid)
        return std::nullopt;
    JpegRegion region{std::clamp(at.x, 0, std::max(pw - cutSrcWidth, 0)),
                      std::clamp(at.y, 0, std::max(ph - cutSrcHeight, 0)), cutSrcWidth, cutSrcHeight};
    if (!snapToGrid(*grid, pw, ph, region))
        return std::nullopt;
    return IntPoint{region.x, region.y};
}

void FrameState::showAt(IntPoint at, const IntRect& display, int pw, int ph)
{
    // The first screen pixel whose picture pixel is at or past the point.
    const auto screen = [](int p, int size, int shown) {
        return int((std::int64_t(p) * shown + size - 1) / std::max(size, 1));
    };
    clamp(display.x + screen(at.x, pw, display.w), display.y + screen(at.y, ph, display.h), display);
    snappedRect_ = rect;
    snappedOrigin_ = at;
    snapped_ = true;
}

void FrameState::snap(const IntRect& display, int pw, int ph)
{
    snapped_ = false;
    if (const auto at = onGrid(trimlet::cutOrigin(rect, display, pw, ph, cutSrcWidth, cutSrcHeight), pw, ph))
        showAt(*at, display, pw, ph);
}

void FrameState::moveBy(int dx, int dy, const IntRect& display, int pw, int ph)
{
    if (!grid)
        return clamp(rect.x + dx, rect.y + dy, display);
    const IntPoint now = cutOrigin(display, pw, ph);
    if (const auto at = onGrid({now.x + dx * grid->stepX, now.y + dy * grid->stepY}, pw, ph))
        showAt(*at, display, pw, ph);
}

}  // namespace trimlet
