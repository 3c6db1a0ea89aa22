#include "imaging/cut.h"

#include <algorithm>

#include "imaging/reduce.h"
#include "imaging/region.h"

namespace trimlet {

Bitmap cutRegion(const Bitmap& src, IntPoint origin, int cutW, int cutH, int rate)
{
    if (origin.x < 0 || origin.y < 0 || cutW <= 0 || cutH <= 0 || origin.x > src.width() - cutW ||
        origin.y > src.height() - cutH || rate < 1 || rate > 100)
        return {};
    if (rate == 100)
        return copyRegion(src, origin.x, origin.y, cutW, cutH);
    return reduceArea(src, origin.x, origin.y, cutW, cutH, reducedSize(rate, cutW), reducedSize(rate, cutH));
}

std::optional<CutFrame> cutFrame(int pw, int ph, const CutRequest& r)
{
    if (pw < 1 || ph < 1 || r.width < 1 || r.height < 1)
        return std::nullopt;
    if (!cutsRegion(pw, ph, r.width, r.height))
        return CutFrame{{0, 0}, pw, ph, 100};
    const int rate =
        r.fit ? fitRate(pw, ph, r.width, r.height) : std::clamp(r.rate, minimumRate(pw, ph, r.width, r.height), 100);
    const IntRect display{0, 0, pw, ph};
    const IntPoint centre = r.centreGiven ? r.centre : IntPoint{pw / 2, ph / 2};
    const IntRect start{std::clamp(centre.x, 0, pw - 1), std::clamp(centre.y, 0, ph - 1), 1, 1};
    const FrameSizing s = resizeCutFrame(start, display, pw, ph, r.width, r.height, rate);
    return CutFrame{cutOrigin(s.frame, display, pw, ph, s.cutSrcWidth, s.cutSrcHeight), s.cutSrcWidth, s.cutSrcHeight,
                    rate};
}

CutFrame cutFrameAt(int pw, int ph, const CutRequest& r, IntPoint origin)
{
    if (!cutsRegion(pw, ph, r.width, r.height))
        return {origin, pw, ph, 100};
    const int rate =
        r.fit ? fitRate(pw, ph, r.width, r.height) : std::clamp(r.rate, minimumRate(pw, ph, r.width, r.height), 100);
    const FrameSizing s = resizeCutFrame({0, 0, 1, 1}, {0, 0, pw, ph}, pw, ph, r.width, r.height, rate);
    return {origin, s.cutSrcWidth, s.cutSrcHeight, rate};
}

Bitmap cutPicture(const Bitmap& src, const CutRequest& r)
{
    const auto frame = cutFrame(src.width(), src.height(), r);
    if (!frame)
        return {};
    return cutRegion(src, frame->origin, frame->width, frame->height, frame->rate);
}

}  // namespace trimlet
