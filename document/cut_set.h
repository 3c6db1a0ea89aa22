#pragma once
// Several pieces from one framing. A set is a list of screen sizes, each cut around the same
// centre as the main frame; a span is one picture across several monitors as they stand on the
// desk, each monitor's piece cut from its own part of the frame at its own pixel size, so that
// lines run straight across monitors of different sizes and densities and the bezels hide what
// lies behind them. Plain values and their geometry; the window and trimlet-cli both cut and
// name the pieces from these.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "codecs/bitmap.h"
#include "codecs/jpeg_lossless.h"
#include "imaging/cut.h"

namespace trimlet {

// The sizes a piece may have, as the cut size's own limits.
inline constexpr int kSetMinWidth = 24;
inline constexpr int kSetMinHeight = 32;
inline constexpr int kSetMaxSide = 4096;
inline constexpr int kSetMaxMembers = 16;

struct PieceSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PieceSize&, const PieceSize&) = default;
};

// One monitor: its size in pixels, its place in the desktop's layout (pixels, as the desktop
// moves the pointer across screens) and the width of its picture in millimetres.
struct SpanScreen {
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
    double widthMm = 0;
    friend bool operator==(const SpanScreen&, const SpanScreen&) = default;
};

struct CutSet {
    enum class Kind { Sizes, Span };
    std::string name;  // UTF-8; empty for one given on the command line
    Kind kind = Kind::Sizes;
    std::vector<PieceSize> sizes;     // Sizes: in order, no size twice
    std::vector<SpanScreen> screens;  // Span: in the order given
    double bezelMm = 0;               // Span: the gap between neighbouring screens' pictures
    friend bool operator==(const CutSet&, const CutSet&) = default;
};

// "1920x1080,1080x2400,2560x1600": W 24..4096, H 32..4096, at most kSetMaxMembers, a size
// given twice kept once. Invalid, naming the offending entry, otherwise.
Result<std::vector<PieceSize>> parseSizeList(std::string_view text);
std::string formatSizeList(const std::vector<PieceSize>& sizes);

// "2560x1440+0+0/597,1920x1080+2560+180/527": each screen's pixels (1..16384 a side), its
// place (signed) and its width in mm (above 0, up to 10000, decimals allowed). Invalid for a
// bad entry, fewer than one or more than kSetMaxMembers screens, or screens that overlap.
Result<std::vector<SpanScreen>> parseSpanScreens(std::string_view text);
std::string formatSpanScreens(const std::vector<SpanScreen>& screens);

// A bezel gap in mm: 0..1000, decimals allowed.
Result<double> parseBezel(std::string_view text);

// A set as the settings file keeps it under [sets], its name being the key: the size list, or
// "span:SCREENS;bezel:MM" for a span. parseSetValue gives the set without its name, and refuses
// a span spanLayout cannot place.
std::string formatSetValue(const CutSet& set);
Result<CutSet> parseSetValue(std::string_view value);

// A span's monitors placed in millimetres. Each screen's pixels are square, so its picture is
// widthMm × height·widthMm/width. The first screen stands at the origin; every other is placed
// from a screen it touches in the desktop's layout (shares part of an edge): bezelMm beyond that
// edge, and along it by its offset in the layout in the neighbour's pixels, so that the pointer's
// crossing point stays where it is. Invalid when a screen touches none of the others, or when
// the box would be more than 2^20 of the densest screen's pixels wide or high.
struct MmRect {
    double x = 0, y = 0, w = 0, h = 0;
};
struct SpanLayout {
    double widthMm = 0;  // the whole layout's bounding box, bezels included
    double heightMm = 0;
    std::vector<MmRect> screens;  // each screen's picture within the box, in the screens' order
    // The box in pixels of the densest screen: the span's cut size at the rate 100, when that
    // screen's piece takes the picture's pixels one to one.
    int width = 0;
    int height = 0;
};
Result<SpanLayout> spanLayout(const std::vector<SpanScreen>& screens, double bezelMm);

// The region, in picture pixels, a span's frame stands for on a pw × ph picture: its cut size
// enlarged by 100/rate (or at the fit rate, when fit), shrunk with its proportions to fit the
// picture when it is larger than that (the pieces are then enlarged).
struct RegionSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const RegionSize&, const RegionSize&) = default;
};
RegionSize spanRegion(const SpanLayout& layout, int pw, int ph, int rate, bool fit);

// A picture area in picture pixels, fractional for a span's parts.
struct PartRect {
    double x = 0, y = 0, w = 0, h = 0;
};

// One piece of a set or a span: what it becomes and where it comes from.
struct SetPiece {
    PieceSize size;  // the piece's pixels (a set member's may be smaller, as a single cut's is)
    // A set member: the region of whole picture pixels and the rate, as a single cut takes them.
    CutFrame region;
    // A span's screen: its part of the frame, resampled to size.
    std::optional<PartRect> part;
    bool moved = false;  // a set member pushed off the shared centre to stay inside the picture
    // Put after the serial number: "_1920x1080", "_1920x1080_2" for the second screen of a
    // size in a span.
    std::string suffix;
};

// The set's sizes on a pw × ph picture around the centre of main, the main frame's region
// (origin + size / 2): each at main's rate (no lower than its own minimum rate) or, with fit,
// at its own fit rate, and kept inside the picture. The member of main's own size takes
// exactly main's region.
std::vector<SetPiece> setPieces(int pw, int ph, const std::vector<PieceSize>& sizes, const CutFrame& main, bool fit);

// Moves each set member's region to the grid point snapToGrid picks, the nearest that keeps it
// inside the pw × ph picture, for pieces copied from a JPEG's blocks; a member no grid point
// fits stays where it is.
void snapSetPieces(const LosslessGrid& grid, int pw, int ph, std::vector<SetPiece>& pieces);

// The span's screens' parts of region (the frame's region in picture pixels, of spanRegion's
// size), in the screens' order.
std::vector<SetPiece> spanPieces(const SpanLayout& layout, const std::vector<SpanScreen>& screens,
                                 const IntRect& region);

// The piece's pixels: a set member exactly as cutRegion makes a single cut, a span's part by
// resampleRegion. Empty when the piece reaches past src. Throws std::bad_alloc when memory is short.
Bitmap makeSetPiece(const Bitmap& src, const SetPiece& piece);

}  // namespace trimlet
