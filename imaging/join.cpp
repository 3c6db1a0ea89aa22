#include "imaging/join.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace trimlet {

JoinSide joinSide(IntPoint drop, const IntRect& workArea)
{
    const std::int64_t x = std::int64_t(drop.x) - workArea.x;
    const std::int64_t y = std::int64_t(drop.y) - workArea.y;
    const std::int64_t w = workArea.w, h = workArea.h;
    // A work area without area has no diagonals; above or below is all that is left.
    if (w <= 0 || h <= 0)
        return y < 0 ? JoinSide::Top : JoinSide::Bottom;
    // 64-bit products: the same as 32-bit ones where those do not overflow.
    const bool a = y < (x * h) / w;
    const bool b = y < ((w - x) * h) / w;
    return JoinSide(2 * int(a) + int(b));
}

namespace {

enum class Pull { Start, Centre, End };

// Offsets of two lengths across the join inside `across`: flush to the start, to the end, or
// centred with truncating division so the odd pixel goes to the end.
std::pair<std::int64_t, std::int64_t> crossOffsets(std::int64_t across, std::int64_t s, std::int64_t d, Pull pull)
{
    switch (pull) {
    case Pull::Start: return {0, 0};
    case Pull::End: return {across - s, across - d};
    case Pull::Centre: break;
    }
    return {(across - s) / 2, (across - d) / 2};
}

}  // namespace

std::optional<JoinLayout> joinLayout(int sw, int sh, int dw, int dh, JoinSide side, AlignH alignH, AlignV alignV)
{
    const bool vertical = isVerticalJoin(side);
    // Along the join the sizes add; across it the larger one wins unless trimming.
    const std::int64_t sAlong = vertical ? sh : sw, dAlong = vertical ? dh : dw;
    const std::int64_t sAcross = vertical ? sw : sh, dAcross = vertical ? dw : dh;
    const bool trim = vertical ? alignV == AlignV::Trim : alignH == AlignH::Trim;
    const Pull pull = vertical ? (alignV == AlignV::Left    ? Pull::Start
                                  : alignV == AlignV::Right ? Pull::End
                                                            : Pull::Centre)
                               : (alignH == AlignH::Top      ? Pull::Start
                                  : alignH == AlignH::Bottom ? Pull::End
                                                             : Pull::Centre);

    const std::int64_t along = sAlong + dAlong;
    const std::int64_t across = trim ? std::min(sAcross, dAcross) : std::max(sAcross, dAcross);
    const std::int64_t width = vertical ? across : along, height = vertical ? along : across;
    if (!Bitmap::sizeAllowed(width, height))
        return std::nullopt;

    const auto [sOff, dOff] = crossOffsets(across, sAcross, dAcross, pull);
    // The added picture comes first along the join when it goes on top or to the left.
    const bool addedFirst = side == JoinSide::Top || side == JoinSide::Left;
    const std::int64_t sPos = addedFirst ? dAlong : 0, dPos = addedFirst ? 0 : sAlong;

    JoinLayout layout;
    layout.width = int(width);
    layout.height = int(height);
    layout.editing = vertical ? IntPoint{int(sOff), int(sPos)} : IntPoint{int(sPos), int(sOff)};
    layout.added = vertical ? IntPoint{int(dOff), int(dPos)} : IntPoint{int(dPos), int(dOff)};
    layout.addedFirst = addedFirst;
    return layout;
}

Bitmap joinPictures(const Picture& editing, const Picture& added, JoinSide side, AlignH alignH, AlignV alignV,
                    Rgb background)
{
    const auto layout =
        joinLayout(editing.width(), editing.height(), added.width(), added.height(), side, alignH, alignV);
    if (!layout || layout->width <= 0 || layout->height <= 0)
        return {};
    Bitmap canvas(layout->width, layout->height, Bitmap::Init::Uninitialized);
    canvas.fill(background.blue, background.green, background.red);
    if (layout->addedFirst)
        drawPicture(added, canvas, layout->added.x, layout->added.y);
    drawPicture(editing, canvas, layout->editing.x, layout->editing.y);
    if (!layout->addedFirst)
        drawPicture(added, canvas, layout->added.x, layout->added.y);
    return canvas;
}

}  // namespace trimlet
