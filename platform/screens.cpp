#include "platform/screens.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace trimlet {

namespace {

constexpr double kMmPerInch = 25.4;

double plausibleWidthMm(int pixels, double mm)
{
    // EDID gives 0 for projectors and some TVs, and aspect ratios (16 × 9 "mm") for others.
    if (!(mm > 0) || pixels * kMmPerInch / mm < 50 || pixels * kMmPerInch / mm > 1000)
        mm = pixels * kMmPerInch / 96;
    // A tenth of a millimetre is finer than anyone sets monitors on a desk.
    return std::round(mm * 10) / 10;
}

bool overlap(const SpanScreen& a, const SpanScreen& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Screens that share part of an edge.
bool touch(const SpanScreen& a, const SpanScreen& b)
{
    const bool sideBySide =
        (a.x + a.width == b.x || b.x + b.width == a.x) && a.y < b.y + b.height && b.y < a.y + a.height;
    const bool stacked = (a.y + a.height == b.y || b.y + b.height == a.y) && a.x < b.x + b.width && b.x < a.x + a.width;
    return sideBySide || stacked;
}

// How well screens make a desktop: -1 when two overlap, else how many touch another.
int tiling(const std::vector<SpanScreen>& screens)
{
    int touching = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        bool touches = false;
        for (std::size_t j = 0; j < screens.size(); ++j) {
            if (i == j)
                continue;
            if (overlap(screens[i], screens[j]))
                return -1;
            touches = touches || touch(screens[i], screens[j]);
        }
        touching += touches;
    }
    return touching;
}

}  // namespace

std::vector<SpanScreen> spanScreensOf(const std::vector<ScreenInfo>& screens)
{
    std::vector<const ScreenInfo*> kept;
    for (const ScreenInfo& s : screens) {
        const bool mirrored = std::any_of(kept.begin(), kept.end(), [&](const ScreenInfo* o) {
            return o->x == s.x && o->y == s.y && o->width == s.width && o->height == s.height;
        });
        if (s.width > 0 && s.height > 0 && !mirrored)
            kept.push_back(&s);
    }
    // Qt 6 scales a screen's size but leaves its top-left in the platform's coordinates: device
    // pixels on X11, logical ones on Wayland (and in Qt 5). The reading in which the screens
    // meet edge to edge is the desktop's.
    std::vector<SpanScreen> native, scaled;
    for (const ScreenInfo* s : kept) {
        const double ratio = s->ratio > 0 ? s->ratio : 1;
        const auto device = [ratio](int v) { return int(std::lround(v * ratio)); };
        const double mm = plausibleWidthMm(device(s->width), s->physicalWidthMm);
        native.push_back({device(s->width), device(s->height), s->x, s->y, mm});
        scaled.push_back({device(s->width), device(s->height), device(s->x), device(s->y), mm});
    }
    const int nativeFit = tiling(native), scaledFit = tiling(scaled);
    std::vector<SpanScreen> out = scaledFit > nativeFit ? scaled : native;
    std::stable_sort(out.begin(), out.end(),
                     [](const SpanScreen& a, const SpanScreen& b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return out;
}

std::vector<PieceSize> distinctScreenSizes(const std::vector<SpanScreen>& screens)
{
    std::vector<PieceSize> sizes;
    for (const SpanScreen& s : screens) {
        const PieceSize size{s.width, s.height};
        if (std::find(sizes.begin(), sizes.end(), size) == sizes.end())
            sizes.push_back(size);
    }
    return sizes;
}

std::vector<SpanScreen> desktopScreens()
{
    std::vector<ScreenInfo> infos;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        infos.push_back(
            {g.x(), g.y(), g.width(), g.height(), screen->devicePixelRatio(), screen->physicalSize().width()});
    }
    return spanScreensOf(infos);
}

std::vector<PieceSize> desktopScreenSizes() { return distinctScreenSizes(desktopScreens()); }

}  // namespace trimlet
