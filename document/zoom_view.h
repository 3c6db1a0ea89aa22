#pragma once
// The work area's zoom as a value: the scale in screen (device) pixels per picture pixel and
// the picture point at the view's top-left, with the mapping between the two. Positions are
// kept in picture pixels, so a frame placed at any zoom cuts the same region.

#include "imaging/cut_geometry.h"

namespace trimlet {

// The zoom steps in percent of one picture pixel per screen pixel; fit comes before the first
// step that is larger than it.
inline constexpr int kZoomSteps[] = {25, 33, 50, 67, 100, 150, 200, 300, 400, 600, 800};

// The next step from `percent` in `direction` (+1 in, -1 out) for a picture whose fit shows it
// at fitPercent; 0 means fit. Never below fit, never above the last step.
int nextZoom(int percent, int direction, double fitPercent);

struct ZoomView {
    double scale = 1;                 // device pixels per picture pixel
    double originX = 0, originY = 0;  // picture point at the view's device (0, 0)

    double toDeviceX(double px) const { return (px - originX) * scale; }
    double toDeviceY(double py) const { return (py - originY) * scale; }
    // The picture pixel a device pixel shows.
    IntPoint toPicture(double dx, double dy) const;
};

// The view zoomed to `scale` with the picture point under the device point (ax, ay) kept there,
// then its scroll kept within the picture.
ZoomView zoomAbout(const ZoomView& view, double scale, double ax, double ay, int viewW, int viewH, int pw, int ph);

// The scroll kept so the view shows no more outside the picture than it must: a picture
// smaller than the view is centred on that axis.
ZoomView clampScroll(ZoomView view, int viewW, int viewH, int pw, int ph);

// The picture pixels a viewW × viewH device view shows, clipped to the picture; what is
// rendered, so that a huge picture at a high zoom costs only the visible pixels.
IntRect visiblePixels(const ZoomView& view, int viewW, int viewH, int pw, int ph);

}  // namespace trimlet
