#include "forms/rotation/tool_window_place.h"

#include <algorithm>
#include <cstdint>

namespace trimlet {

QPoint keepInside(const QPoint& pos, const QSize& size, const QRect& available)
{
    // The second clamp wins, so a window too large for the area shows its top-left part.
    const int x = std::max(std::min(pos.x(), available.x() + available.width() - size.width()), available.x());
    const int y = std::max(std::min(pos.y(), available.y() + available.height() - size.height()), available.y());
    return {x, y};
}

QPoint placeBeside(const QRect& keepClear, const QSize& size, const QRect& available, int gap)
{
    const QRect k = keepClear;
    const QPoint candidates[] = {
        {k.x() + k.width() + gap, k.y()},
        {k.x() - gap - size.width(), k.y()},
        {k.x(), k.y() + k.height() + gap},
        {k.x(), k.y() - gap - size.height()},
    };
    QPoint best;
    std::int64_t bestCovered = -1;
    for (const QPoint& c : candidates) {
        const QPoint at = keepInside(c, size, available);
        const QRect covered = QRect(at, size).intersected(k);
        const std::int64_t area = covered.isEmpty() ? 0 : std::int64_t(covered.width()) * covered.height();
        if (bestCovered < 0 || area < bestCovered) {
            best = at;
            bestCovered = area;
        }
        if (area == 0)
            break;
    }
    return best;
}

}  // namespace trimlet
