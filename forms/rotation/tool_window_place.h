#pragma once
// Where a tool window goes so that it does not hide what it works on.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace trimlet {

// The top-left corner for a window of frame size `size` beside `keepClear` (right, left,
// below, then above it, `gap` pixels away), inside `available`. The first place that leaves
// keepClear uncovered wins; when none does, the one covering the least of it. A window larger
// than available keeps to its top-left.
QPoint placeBeside(const QRect& keepClear, const QSize& size, const QRect& available, int gap = 8);

// pos moved just enough to bring a window of that size inside available.
QPoint keepInside(const QPoint& pos, const QSize& size, const QRect& available);

}  // namespace trimlet
