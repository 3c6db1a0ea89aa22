#include "imaging/cut_geometry.h"

#include <algorithm>
#include <cmath>

namespace trimlet {

namespace {

using i64 = std::int64_t;

int atLeastOne(int v) { return v < 1 ? 1 : v; }

}  // namespace

IntRect fitPicture(int pw, int ph, int availW, int availH, int top)
{
    int dispW = pw, dispH = ph;
    if (pw > availW || ph > availH) {
        dispW = availW;
        dispH = int(i64(ph) * availW / pw);
        if (dispH > availH) {
            dispH = availH;
            dispW = int(i64(pw) * availH / ph);
        }
    }
    return {(availW - dispW) / 2, top + (availH - dispH) / 2, dispW, dispH};
}

IntRect stretchPicture(int pw, int ph, int boxW, int boxH)
{
    if (pw <= 0 || ph <= 0 || boxW <= 0 || boxH <= 0)
        return {};
    int w = boxW, h = boxH;
    if (i64(pw) * boxH >= i64(ph) * boxW)
        h = std::max(1, int(i64(ph) * boxW / pw));
    else
        w = std::max(1, int(i64(pw) * boxH / ph));
    return {(boxW - w) / 2, (boxH - h) / 2, w, h};
}

int minimumRate(int pw, int ph, int W, int H)
{
    for (int n = 99; n >= 1; --n)
        if (i64(n) * pw < i64(100) * W && i64(n) * ph < i64(100) * H)
            return n + 1;
    return 1;
}

int fitRate(int pw, int ph, int W, int H)
{
    // A side of the region, size × 100 / R truncated, stays within `picture` from the lowest R
    // with size × 100 < R × (picture + 1); the truncation can get there a rate below the
    // minimum, which the rate field does not take.
    const auto lowest = [](int size, int picture) { return i64(size) * 100 / (i64(picture) + 1) + 1; };
    if (pw < 1 || ph < 1 || W < 1 || H < 1)
        return 100;
    const i64 rate = std::max({lowest(W, pw), lowest(H, ph), i64(minimumRate(pw, ph, W, H))});
    return int(std::min<i64>(rate, 100));
}

int reducedSize(int R, int size) { return int(std::ceil(double(R) * size / 100.0)); }

FrameSizing resizeCutFrame(const IntRect& frame, const IntRect& display, int pw, int ph, int W, int H, int R)
{
    FrameSizing s;
    const int cx = frame.x + frame.w / 2;
    const int cy = frame.y + frame.h / 2;
    const int dw1 = atLeastOne(display.w), dh1 = atLeastOne(display.h);
    i64 nw = i64(dw1) * W * 100 / (i64(pw) * R);
    i64 nh = i64(dh1) * H * 100 / (i64(ph) * R);
    s.clippedWidth = nw > dw1;
    s.clippedHeight = nh > dh1;
    nw = std::min<i64>(nw, dw1);
    nh = std::min<i64>(nh, dh1);

    s.cutSrcWidth = s.clippedWidth ? pw : R == 100 ? W : int(i64(W) * 100 / R);
    s.cutSrcHeight = s.clippedHeight ? ph : R == 100 ? H : int(i64(H) * 100 / R);
    // On a strongly shrunk display the frame's truncated size can stay inside the picture
    // while W × 100 / R passes it by a few pixels; the region must never leave the picture.
    if (s.cutSrcWidth > pw) {
        s.cutSrcWidth = pw;
        s.clippedWidth = true;
    }
    if (s.cutSrcHeight > ph) {
        s.cutSrcHeight = ph;
        s.clippedHeight = true;
    }
    s.reducedWidth = reducedSize(R, s.cutSrcWidth);
    s.reducedHeight = reducedSize(R, s.cutSrcHeight);

    const IntRect sized{cx - int(nw) / 2, cy - int(nh) / 2, int(nw), int(nh)};
    s.frame = clampCutFrame(sized, sized.x, sized.y, display);
    return s;
}

IntRect clampCutFrame(const IntRect& frame, int x, int y, const IntRect& display)
{
    if (x + frame.w > display.x + display.w)
        x = display.x + display.w - frame.w;
    if (x < display.x)
        x = display.x;
    if (y + frame.h > display.y + display.h)
        y = display.y + display.h - frame.h;
    if (y < display.y)
        y = display.y;
    return {x, y, frame.w, frame.h};
}

IntPoint storeFrameCentre(const IntRect& frame, const IntRect& display, int pw, int ph)
{
    const i64 sides = i64(display.w) + display.h;
    if (sides == 0)
        return {};
    const i64 pictureSides = i64(pw) + ph;
    return {int(pictureSides * (frame.x + frame.w / 2 - display.x) / sides),
            int(pictureSides * (frame.y + frame.h / 2 - display.y) / sides)};
}

IntRect placeCutFrame(bool recentre, const IntRect& display, int pw, int ph, const IntPoint& centre)
{
    if (recentre)
        return {display.x + display.w / 2, display.y + display.h / 2, 1, 1};
    return {display.x + int(i64(display.w) * centre.x / pw), display.y + int(i64(display.h) * centre.y / ph), 1, 1};
}

IntPoint cutOrigin(const IntRect& frame, const IntRect& display, int pw, int ph, int cutSrcWidth, int cutSrcHeight)
{
    int sx = int(i64(pw) * (frame.x - display.x) / atLeastOne(display.w));
    int sy = int(i64(ph) * (frame.y - display.y) / atLeastOne(display.h));
    if (sx + cutSrcWidth > pw)
        sx = pw - cutSrcWidth;
    if (sy + cutSrcHeight > ph)
        sy = ph - cutSrcHeight;
    return {std::max(sx, 0), std::max(sy, 0)};
}

}  // namespace trimlet
