#include "document/zoom_view.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace trimlet {

int nextZoom(int percent, int direction, double fitPercent)
{
    const double now = percent == 0 ? fitPercent : percent;
    if (direction > 0) {
        for (int step : kZoomSteps)
            if (step > now + 1e-9)
                return step;
        return percent;
    }
    for (auto it = std::rbegin(kZoomSteps); it != std::rend(kZoomSteps); ++it)
        if (*it < now - 1e-9)
            return *it > fitPercent + 1e-9 ? *it : 0;
    return 0;
}

IntPoint ZoomView::toPicture(double dx, double dy) const
{
    // The small tolerance keeps a device pixel's own left edge on its picture pixel.
    return {int(std::floor(dx / scale + originX + 1e-9)), int(std::floor(dy / scale + originY + 1e-9))};
}

ZoomView clampScroll(ZoomView view, int viewW, int viewH, int pw, int ph)
{
    const auto keep = [&](double origin, int viewSide, int size) {
        const double shown = viewSide / view.scale;
        if (shown >= size)
            return (size - shown) / 2;
        return std::clamp(origin, 0.0, size - shown);
    };
    view.originX = keep(view.originX, viewW, pw);
    view.originY = keep(view.originY, viewH, ph);
    return view;
}

ZoomView zoomAbout(const ZoomView& view, double scale, double ax, double ay, int viewW, int viewH, int pw, int ph)
{
    ZoomView z;
    z.scale = scale;
    z.originX = view.originX + ax / view.scale - ax / scale;
    z.originY = view.originY + ay / view.scale - ay / scale;
    return clampScroll(z, viewW, viewH, pw, ph);
}

IntRect visiblePixels(const ZoomView& view, int viewW, int viewH, int pw, int ph)
{
    const IntPoint a = view.toPicture(0, 0);
    const int x0 = std::max(a.x, 0), y0 = std::max(a.y, 0);
    const int x1 = std::min(int(std::ceil(view.originX + viewW / view.scale - 1e-9)), pw);
    const int y1 = std::min(int(std::ceil(view.originY + viewH / view.scale - 1e-9)), ph);
    return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

}  // namespace trimlet
