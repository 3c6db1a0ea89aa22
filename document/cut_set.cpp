#include "document/cut_set.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "base/text.h"
#include "imaging/resample.h"

namespace trimlet {

namespace {

using i64 = std::int64_t;

constexpr int kScreenMaxSide = 16384;
constexpr int kScreenMaxPlace = 1000000;
constexpr double kScreenMaxMm = 10000;
constexpr double kBezelMaxMm = 1000;
// The span's box in its densest screen's pixels: far past any picture, well inside int.
constexpr double kSpanMaxSide = 1 << 20;

// An entry as a message shows it: control bytes escaped and a long one cut short.
std::string quoted(std::string_view entry)
{
    constexpr std::size_t kShown = 40;
    std::string shown = escapeForPrinting(entry.substr(0, kShown), true);
    if (entry.size() > kShown)
        shown += "…";
    return shown;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> entries(std::string_view text)
{
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t comma = text.find(',');
        out.push_back(trimmed(text.substr(0, comma)));
        if (comma == std::string_view::npos)
            return out;
        text.remove_prefix(comma + 1);
    }
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Leading decimal digits of s as a number no larger than max; the digits are consumed.
std::optional<int> takeNumber(std::string_view& s, int max)
{
    i64 value = 0;
    std::size_t n = 0;
    while (n < s.size() && isDigit(s[n])) {
        value = value * 10 + (s[n] - '0');
        if (value > max)
            return std::nullopt;
        ++n;
    }
    if (n == 0)
        return std::nullopt;
    s.remove_prefix(n);
    return int(value);
}

// "527" or "527.5", nothing else: no sign, exponent or blanks.
std::optional<double> decimal(std::string_view s)
{
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view part = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    const auto digits = [](std::string_view d) { return std::all_of(d.begin(), d.end(), isDigit); };
    if (s.empty() || s.size() > 40 || whole.empty() || !digits(whole) || !digits(part) ||
        (dot != std::string_view::npos && part.empty()))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string formatDecimal(double value)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::optional<PieceSize> sizeEntry(std::string_view s)
{
    const auto w = takeNumber(s, kSetMaxSide);
    if (!w || s.empty() || (s[0] != 'x' && s[0] != 'X'))
        return std::nullopt;
    s.remove_prefix(1);
    const auto h = takeNumber(s, kSetMaxSide);
    if (!h || !s.empty() || *w < kSetMinWidth || *h < kSetMinHeight)
        return std::nullopt;
    return PieceSize{*w, *h};
}

std::optional<int> takePlace(std::string_view& s)
{
    if (s.empty() || (s[0] != '+' && s[0] != '-'))
        return std::nullopt;
    const bool negative = s[0] == '-';
    s.remove_prefix(1);
    const auto v = takeNumber(s, kScreenMaxPlace);
    if (!v)
        return std::nullopt;
    return negative ? -*v : *v;
}

std::optional<SpanScreen> screenEntry(std::string_view s)
{
    const auto w = takeNumber(s, kScreenMaxSide);
    if (!w || *w < 1 || s.empty() || (s[0] != 'x' && s[0] != 'X'))
        return std::nullopt;
    s.remove_prefix(1);
    const auto h = takeNumber(s, kScreenMaxSide);
    if (!h || *h < 1)
        return std::nullopt;
    const auto x = takePlace(s);
    const auto y = x ? takePlace(s) : std::nullopt;
    if (!y || s.empty() || s[0] != '/')
        return std::nullopt;
    s.remove_prefix(1);
    const auto mm = decimal(s);
    if (!mm || !(*mm > 0) || *mm > kScreenMaxMm)
        return std::nullopt;
    return SpanScreen{*w, *h, *x, *y, *mm};
}

bool rangesOverlap(int a, int aLength, int b, int bLength) { return a < b + bLength && b < a + aLength; }

bool overlap(const SpanScreen& a, const SpanScreen& b)
{
    return rangesOverlap(a.x, a.width, b.x, b.width) && rangesOverlap(a.y, a.height, b.y, b.height);
}

// Places s's picture r from t's, q, when the two screens share part of an edge. The offset along
// that edge is measured in t's pixels, so that the point where the pointer crosses stays where
// it is on both pictures.
bool placeBeside(const SpanScreen& s, const SpanScreen& t, const MmRect& q, double pitch, double bezelMm, MmRect& r)
{
    const bool besideY = rangesOverlap(s.y, s.height, t.y, t.height);
    const bool besideX = rangesOverlap(s.x, s.width, t.x, t.width);
    if (besideY && (i64(s.x) == i64(t.x) + t.width || i64(s.x) + s.width == t.x)) {
        r.x = s.x > t.x ? q.x + q.w + bezelMm : q.x - bezelMm - r.w;
        r.y = q.y + double(i64(s.y) - t.y) * pitch;
    } else if (besideX && (i64(s.y) == i64(t.y) + t.height || i64(s.y) + s.height == t.y)) {
        r.y = s.y > t.y ? q.y + q.h + bezelMm : q.y - bezelMm - r.h;
        r.x = q.x + double(i64(s.x) - t.x) * pitch;
    } else {
        return false;
    }
    return true;
}

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

Result<std::vector<PieceSize>> parseSizeList(std::string_view text)
{
    if (trimmed(text).empty())
        return makeError(ErrorCode::Invalid, "no sizes given");
    std::vector<PieceSize> sizes;
    for (const std::string_view entry : entries(text)) {
        if (entry.empty())
            return makeError(ErrorCode::Invalid, "the list has an empty entry");
        const auto size = sizeEntry(entry);
        if (!size)
            return makeError(ErrorCode::Invalid, quoted(entry) + " is not WxH with W " + std::to_string(kSetMinWidth) +
                                                     ".." + std::to_string(kSetMaxSide) + " and H " +
                                                     std::to_string(kSetMinHeight) + ".." +
                                                     std::to_string(kSetMaxSide));
        if (std::find(sizes.begin(), sizes.end(), *size) != sizes.end())
            continue;
        if (int(sizes.size()) == kSetMaxMembers)
            return makeError(ErrorCode::Invalid,
                             "more than " + std::to_string(kSetMaxMembers) + " sizes, from " + quoted(entry));
        sizes.push_back(*size);
    }
    return sizes;
}

std::string formatSizeList(const std::vector<PieceSize>& sizes)
{
    std::string out;
    for (const PieceSize& s : sizes)
        out.append(out.empty() ? "" : ",").append(sizeText(s.width, s.height));
    return out;
}

Result<std::vector<SpanScreen>> parseSpanScreens(std::string_view text)
{
    if (trimmed(text).empty())
        return makeError(ErrorCode::Invalid, "no screens given");
    std::vector<SpanScreen> screens;
    for (const std::string_view entry : entries(text)) {
        if (entry.empty())
            return makeError(ErrorCode::Invalid, "the list has an empty entry");
        if (int(screens.size()) == kSetMaxMembers)
            return makeError(ErrorCode::Invalid,
                             "more than " + std::to_string(kSetMaxMembers) + " screens, from " + quoted(entry));
        const auto screen = screenEntry(entry);
        if (!screen)
            return makeError(ErrorCode::Invalid, quoted(entry) + " is not WxH+X+Y/MM with W and H 1.." +
                                                     std::to_string(kScreenMaxSide) + ", X and Y within ±" +
                                                     std::to_string(kScreenMaxPlace) + " and MM above 0 up to " +
                                                     formatDecimal(kScreenMaxMm));
        for (std::size_t i = 0; i < screens.size(); ++i)
            if (overlap(screens[i], *screen))
                return makeError(ErrorCode::Invalid, "screens " + std::to_string(i + 1) + " and " +
                                                         std::to_string(screens.size() + 1) + " overlap");
        screens.push_back(*screen);
    }
    return screens;
}

std::string formatSpanScreens(const std::vector<SpanScreen>& screens)
{
    std::string out;
    for (const SpanScreen& s : screens) {
        if (!out.empty())
            out += ',';
        out += sizeText(s.width, s.height);
        out += (s.x < 0 ? "-" : "+") + std::to_string(std::abs(i64(s.x)));
        out += (s.y < 0 ? "-" : "+") + std::to_string(std::abs(i64(s.y)));
        out += "/" + formatDecimal(s.widthMm);
    }
    return out;
}

Result<double> parseBezel(std::string_view text)
{
    const auto mm = decimal(trimmed(text));
    if (!mm || *mm > kBezelMaxMm)
        return makeError(ErrorCode::Invalid, quoted(text) + " is not a bezel in mm, 0.." + formatDecimal(kBezelMaxMm));
    return *mm;
}

std::string formatSetValue(const CutSet& set)
{
    if (set.kind == CutSet::Kind::Sizes)
        return formatSizeList(set.sizes);
    return "span:" + formatSpanScreens(set.screens) + ";bezel:" + formatDecimal(set.bezelMm);
}

Result<CutSet> parseSetValue(std::string_view value)
{
    CutSet set;
    constexpr std::string_view kSpan = "span:";
    constexpr std::string_view kBezel = "bezel:";
    if (!value.starts_with(kSpan)) {
        auto sizes = parseSizeList(value);
        if (!sizes)
            return sizes.error();
        set.sizes = std::move(sizes).value();
        return set;
    }
    set.kind = CutSet::Kind::Span;
    value.remove_prefix(kSpan.size());
    const std::size_t semicolon = value.find(';');
    auto screens = parseSpanScreens(value.substr(0, semicolon));
    if (!screens)
        return screens.error();
    set.screens = std::move(screens).value();
    if (semicolon != std::string_view::npos) {
        const std::string_view bezel = value.substr(semicolon + 1);
        if (!bezel.starts_with(kBezel))
            return makeError(ErrorCode::Invalid, quoted(bezel) + " is not bezel:MM");
        auto mm = parseBezel(bezel.substr(kBezel.size()));
        if (!mm)
            return mm.error();
        set.bezelMm = mm.value();
    }
    // A span the layout cannot place would fail every cut; it is refused where it is read.
    auto layout = spanLayout(set.screens, set.bezelMm);
    if (!layout)
        return layout.error();
    return set;
}

Result<SpanLayout> spanLayout(const std::vector<SpanScreen>& screens, double bezelMm)
{
    const std::size_t n = screens.size();
    if (n == 0)
        return makeError(ErrorCode::Invalid, "no screens given");
    if (!std::isfinite(bezelMm) || bezelMm < 0)
        return makeError(ErrorCode::Invalid, "the bezel is not a width in mm");
    std::vector<double> pitch(n);
    SpanLayout layout;
    layout.screens.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const SpanScreen& s = screens[i];
        if (s.width < 1 || s.height < 1 || !std::isfinite(s.widthMm) || !(s.widthMm > 0))
            return makeError(ErrorCode::Invalid, "screen " + std::to_string(i + 1) + " has no size");
        pitch[i] = s.widthMm / s.width;
        layout.screens[i] = {0, 0, s.widthMm, s.height * pitch[i]};
    }
    std::vector<bool> placed(n, false);
    placed[0] = true;
    for (std::size_t count = 1; count < n; ++count) {
        bool found = false;
        for (std::size_t i = 0; i < n && !found; ++i)
            for (std::size_t j = 0; j < n && !found && !placed[i]; ++j)
                if (placed[j] &&
                    placeBeside(screens[i], screens[j], layout.screens[j], pitch[j], bezelMm, layout.screens[i]))
                    placed[i] = found = true;
        if (!found) {
            const auto first = std::find(placed.begin(), placed.end(), false) - placed.begin();
            return makeError(ErrorCode::Invalid, "screen " + std::to_string(first + 1) + " touches no other screen");
        }
    }
    double left = layout.screens[0].x, top = layout.screens[0].y;
    double right = left + layout.screens[0].w, bottom = top + layout.screens[0].h;
    for (const MmRect& r : layout.screens) {
        left = std::min(left, r.x);
        top = std::min(top, r.y);
        right = std::max(right, r.x + r.w);
        bottom = std::max(bottom, r.y + r.h);
    }
    for (MmRect& r : layout.screens) {
        r.x -= left;
        r.y -= top;
    }
    layout.widthMm = right - left;
    layout.heightMm = bottom - top;
    const double finest = *std::min_element(pitch.begin(), pitch.end());
    const double w = std::round(layout.widthMm / finest);
    const double h = std::round(layout.heightMm / finest);
    if (!(w <= kSpanMaxSide && h <= kSpanMaxSide))
        return makeError(ErrorCode::Invalid, "the span is more than " + std::to_string(int(kSpanMaxSide)) +
                                                 " of its densest screen's pixels wide or high");
    layout.width = std::max(1, int(w));
    layout.height = std::max(1, int(h));
    return layout;
}

RegionSize spanRegion(const SpanLayout& layout, int pw, int ph, int rate, bool fit)
{
    if (pw < 1 || ph < 1 || layout.width < 1 || layout.height < 1)
        return {};
    const int r = fit ? fitRate(pw, ph, layout.width, layout.height) : std::clamp(rate, 1, 100);
    i64 w = i64(layout.width) * 100 / r;
    i64 h = i64(layout.height) * 100 / r;
    if (w > pw || h > ph) {
        // Whichever side meets the picture first takes it whole; the other follows, rounded.
        if (i64(pw) * h <= i64(ph) * w) {
            h = std::clamp<i64>((2 * h * pw + w) / (2 * w), 1, ph);
            w = pw;
        } else {
            w = std::clamp<i64>((2 * w * ph + h) / (2 * h), 1, pw);
            h = ph;
        }
    }
    return {int(w), int(h)};
}

std::vector<SetPiece> setPieces(int pw, int ph, const std::vector<PieceSize>& sizes, const CutFrame& main, bool fit)
{
    std::vector<SetPiece> pieces;
    if (pw < 1 || ph < 1)
        return pieces;
    const IntPoint centre{main.origin.x + main.width / 2, main.origin.y + main.height / 2};
    for (const PieceSize& size : sizes) {
        const int rate = fit ? fitRate(pw, ph, size.width, size.height)
                             : std::clamp(main.rate, minimumRate(pw, ph, size.width, size.height), 100);
        const auto region = cutFrame(pw, ph, CutRequest{size.width, size.height, rate, true, centre});
        if (!region)
            continue;
        SetPiece piece;
        piece.region = *region;
        // Main's own size takes main's very region, whatever rounding placed its centre.
        if (region->width == main.width && region->height == main.height && region->rate == main.rate &&
            main.origin.x >= 0 && main.origin.y >= 0 && main.origin.x <= pw - main.width &&
            main.origin.y <= ph - main.height)
            piece.region.origin = main.origin;
        const CutFrame& r = piece.region;
        const bool movedX = r.width < pw && r.origin.x + r.width / 2 != centre.x;
        const bool movedY = r.height < ph && r.origin.y + r.height / 2 != centre.y;
        piece.moved = movedX || movedY;
        piece.size = {reducedSize(r.rate, r.width), reducedSize(r.rate, r.height)};
        piece.suffix = "_" + sizeText(size.width, size.height);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

void snapSetPieces(const LosslessGrid& grid, int pw, int ph, std::vector<SetPiece>& pieces)
{
    for (SetPiece& piece : pieces) {
        if (piece.part)
            continue;
        JpegRegion region{piece.region.origin.x, piece.region.origin.y, piece.region.width, piece.region.height};
        if (snapToGrid(grid, pw, ph, region))
            piece.region.origin = {region.x, region.y};
    }
}

std::vector<SetPiece> spanPieces(const SpanLayout& layout, const std::vector<SpanScreen>& screens,
                                 const IntRect& region)
{
    std::vector<SetPiece> pieces;
    if (layout.screens.size() != screens.size() || !(layout.widthMm > 0) || !(layout.heightMm > 0))
        return pieces;
    const double sx = region.w / layout.widthMm;
    const double sy = region.h / layout.heightMm;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const MmRect& r = layout.screens[i];
        const SpanScreen& s = screens[i];
        SetPiece piece;
        piece.size = {s.width, s.height};
        piece.part = PartRect{region.x + r.x * sx, region.y + r.y * sy, r.w * sx, r.h * sy};
        piece.suffix = "_" + sizeText(s.width, s.height);
        int count = 0, occurrence = 0;
        for (std::size_t j = 0; j < screens.size(); ++j) {
            if (screens[j].width == s.width && screens[j].height == s.height) {
                ++count;
                if (j <= i)
                    ++occurrence;
            }
        }
        if (count > 1)
            piece.suffix += "_" + std::to_string(occurrence);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

Bitmap makeSetPiece(const Bitmap& src, const SetPiece& piece)
{
    if (piece.part) {
        const PartRect& p = *piece.part;
        return resampleRegion(src, p.x, p.y, p.w, p.h, piece.size.width, piece.size.height);
    }
    const CutFrame& r = piece.region;
    return cutRegion(src, r.origin, r.width, r.height, r.rate);
}

}  // namespace trimlet
