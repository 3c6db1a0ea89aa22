#pragma once
// The connected screens as sets and spans take them: sizes and places in device pixels, as a
// picture for them is cut, and the widths of their pictures in millimetres.

#include <vector>

#include "document/cut_set.h"

namespace trimlet {

// A screen as Qt describes it: its geometry as QScreen::geometry() gives it, its pixel ratio, and the
// width of its picture in mm (0 or less when the screen does not tell).
struct ScreenInfo {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    double ratio = 1;
    double physicalWidthMm = 0;
};

// The screens in device pixels, each geometry once (mirrored screens share one), sorted by x,
// then y. Sizes are Qt's times the ratio; places are Qt's as they are, or times the ratio,
// whichever makes the screens meet edge to edge. A width in mm that is missing or gives a
// density outside 50..1000 dpi is replaced by the width at 96 dpi; widths to 0.1 mm. Screens
// without pixels are left out.
std::vector<SpanScreen> spanScreensOf(const std::vector<ScreenInfo>& screens);
// The distinct sizes of screens, in their order.
std::vector<PieceSize> distinctScreenSizes(const std::vector<SpanScreen>& screens);

// The same of every connected screen (QGuiApplication::screens()).
std::vector<SpanScreen> desktopScreens();
std::vector<PieceSize> desktopScreenSizes();

}  // namespace trimlet
