#pragma once
// Joining a second picture onto one side of the editing picture: which side a drop point
// chooses, where the two pictures go on the canvas, and the joined bitmap itself.

#include <optional>

#include "codecs/bitmap.h"
#include "codecs/picture.h"
#include "imaging/cut_geometry.h"
#include "imaging/rotate.h"

namespace trimlet {

// Where the added picture goes; the values are the window's region codes.
enum class JoinSide { Bottom = 0, Left = 1, Right = 2, Top = 3 };

// Lining up pictures of different heights when the added one goes left or right.
// Trim cuts the taller one down to the shorter; None behaves as Centre.
enum class AlignH { None, Top, Centre, Bottom, Trim };
// Lining up pictures of different widths when the added one goes above or below.
enum class AlignV { None, Left, Centre, Right, Trim };

// The side for a drop at `drop` (client coordinates) on `workArea`: the triangle between the
// work area's diagonals that holds the point, a point on a diagonal counting as below it.
// Points outside the work area fall into the triangle the diagonals extend into.
JoinSide joinSide(IntPoint drop, const IntRect& workArea);

inline bool isVerticalJoin(JoinSide side) { return side == JoinSide::Top || side == JoinSide::Bottom; }

struct JoinLayout {
    int width = 0, height = 0;  // the canvas
    IntPoint editing;           // top-left of the editing picture; negative when trimmed
    IntPoint added;             // top-left of the added picture
    bool addedFirst = false;    // drawing order: the picture nearer the canvas origin first
    friend bool operator==(const JoinLayout&, const JoinLayout&) = default;
};

// The layout for an sw × sh editing picture and a dw × dh added one; nullopt when the canvas
// would pass the bitmap size cap. Only the alignment of the join's own direction is used.
std::optional<JoinLayout> joinLayout(int sw, int sh, int dw, int dh, JoinSide side, AlignH alignH, AlignV alignV);

// The joined picture: a canvas in `background`, both pictures drawn at natural size
// (transparent pixels keep the background, trimmed parts are clipped). Empty when the canvas
// would pass the size cap or has no area. Throws std::bad_alloc when memory is short.
Bitmap joinPictures(const Picture& editing, const Picture& added, JoinSide side, AlignH alignH, AlignV alignV,
                    Rgb background);

}  // namespace trimlet
