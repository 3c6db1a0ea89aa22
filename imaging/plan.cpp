#include "imaging/plan.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "codecs/exif.h"
#include "imaging/cut_geometry.h"
#include "imaging/orientation.h"
#include "imaging/reduce.h"

namespace trimlet {

IntPoint orientedPoint(int orientation, int w, int h, IntPoint p)
{
    switch (orientation) {
    case 2: return {w - 1 - p.x, p.y};
    case 3: return {w - 1 - p.x, h - 1 - p.y};
    case 4: return {p.x, h - 1 - p.y};
    case 5: return {p.y, p.x};
    case 6: return {h - 1 - p.y, p.x};
    case 7: return {h - 1 - p.y, w - 1 - p.x};
    case 8: return {p.y, w - 1 - p.x};
    default: return p;
    }
}

int composeOrientations(int first, int then)
{
    // Three corners of a picture with unequal sides tell the eight placements apart.
    constexpr int w = 2, h = 3;
    const int w1 = swapsSides(first) ? h : w;
    const int h1 = swapsSides(first) ? w : h;
    for (int candidate = 1; candidate <= 8; ++candidate) {
        bool same = true;
        for (const IntPoint p : {IntPoint{0, 0}, IntPoint{1, 0}, IntPoint{0, 1}}) {
            const IntPoint direct = orientedPoint(candidate, w, h, p);
            const IntPoint twice = orientedPoint(then, w1, h1, orientedPoint(first, w, h, p));
            same = same && direct.x == twice.x && direct.y == twice.y;
        }
        if (same)
            return candidate;
    }
    return 1;  // not reached for orientations 1..8
}

CutPlan planCut(int storedW, int storedH, int orientation, const CutFrame& frame)
{
    const bool swapped = swapsSides(orientation);
    const int shownW = swapped ? storedH : storedW;
    const int shownH = swapped ? storedW : storedH;
    int undo = 1;
    while (composeOrientations(orientation, undo) != 1)
        ++undo;
    const IntPoint a = orientedPoint(undo, shownW, shownH, frame.origin);
    const IntPoint b =
        orientedPoint(undo, shownW, shownH, {frame.origin.x + frame.width - 1, frame.origin.y + frame.height - 1});
    const IntRect stored{std::min(a.x, b.x), std::min(a.y, b.y), std::abs(a.x - b.x) + 1, std::abs(a.y - b.y) + 1};
    return {stored, orientation, frame.rate};
}

Bitmap cutStoredRegion(Bitmap region, const CutPlan& plan)
{
    if (region.width() != plan.stored.w || region.height() != plan.stored.h)
        return {};
    // Reduced first, so only the small result is turned: area reduction treats both axes and
    // both directions alike, so the pixels are the same either way round.
    if (plan.rate != 100)
        region = reduceArea(region, reducedSize(plan.rate, region.width()), reducedSize(plan.rate, region.height()));
    return orientBitmap(std::move(region), plan.orientation);
}

void placeRows(const Bitmap& band, int firstRow, int count, int storedW, int storedH, int orientation, Bitmap& dst)
{
    // The placement is affine: a step along a stored row or down a column moves the target by
    // a fixed number of bytes.
    const auto at = [&](IntPoint p) {
        const IntPoint q = orientedPoint(orientation, storedW, storedH, p);
        return std::ptrdiff_t(q.y) * dst.stride() + std::ptrdiff_t(q.x) * 3;
    };
    const std::ptrdiff_t origin = at({0, 0});
    const std::ptrdiff_t alongRow = at({1, 0}) - origin;
    const std::ptrdiff_t downColumn = at({0, 1}) - origin;
    std::uint8_t* const out = dst.data();
    // Column by column, so that a turn writes each target row's pixels side by side.
    for (int x = 0; x < band.width(); ++x) {
        std::ptrdiff_t to = origin + x * alongRow + firstRow * downColumn;
        const std::uint8_t* from = band.row(0) + std::ptrdiff_t(x) * 3;
        for (int i = 0; i < count; ++i, from += band.stride(), to += downColumn) {
            out[to] = from[0];
            out[to + 1] = from[1];
            out[to + 2] = from[2];
        }
    }
}

}  // namespace trimlet
