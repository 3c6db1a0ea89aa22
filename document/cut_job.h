#pragma once
// A cut or a placement made straight from a picture file. A cut after nothing but turns and
// flips takes the same pixels as cutting the turned picture, so only the region's own pixels
// are read (of a JPEG, only they are decoded) and only they are turned; turns and flips alone
// are made as one together with the file's orientation. A placement is an EXIF-style
// orientation 1..8 (see imaging/plan.h), the turns and flips composed with
// composeOrientations.

#include <optional>
#include <string>

#include "base/result.h"
#include "codecs/bitmap.h"
#include "codecs/decoded.h"
#include "codecs/picture.h"
#include "imaging/cut.h"

namespace trimlet {

// bitmap as the picture an edit leaves: a plain bitmap, so a file's transparency is gone.
// TooLarge with whenEmpty as its text when the bitmap is empty (the edit had no room).
Result<Picture> editedPicture(Bitmap bitmap, const char* whenEmpty);

// The region the window cuts out of a pw × ph picture when its frame's corner maps to origin.
// Invalid when that region reaches past the picture: "--cut WxH@RATE takes w x h pixels, which
// from X,Y reach past the PWxPH picture".
Result<CutFrame> frameAtOrigin(int pw, int ph, const CutRequest& cut, IntPoint origin);

// The region a cut takes of a picture of the shown size: with origin, frameAtOrigin's; else
// cutFrame's, TooLarge "the cut left no picture" when there is none.
Result<CutFrame> cutFrameOn(PictureSize shown, const CutRequest& cut, const std::optional<IntPoint>& origin);

// The cut of src at frameAtOrigin's region: frameAtOrigin's error when it does not fit,
// TooLarge "the cut left no picture" when the cut is empty.
Result<Picture> cutAtOrigin(const Bitmap& src, const CutRequest& cut, IntPoint origin);

// The picture file at path, shown as loadPictureUpright shows it, placed as placement says, and cut
// as cut asks: its frame placed by the centre (the picture's middle unless given), or, with
// origin, its region's top-left corner there. The same pixels as cutting the whole placed
// picture. Fails as loadPictureUpright does (a JPEG's decode failure as "PATH: reason"), as
// frameAtOrigin does, TooLarge "the cut left no picture" when nothing is left to cut, and
// TooLarge "not enough memory to reduce the cut".
Result<Picture> loadPictureCut(const std::string& path, int placement, const CutRequest& cut,
                               std::optional<IntPoint> origin, const DecodeLimits& limits);

// The picture file at path, shown as loadPictureUpright shows it and placed as placement says; a flip
// or a half turn works in place, a JPEG is turned as it is decoded, and placements that undo
// each other cost nothing. Fails as loadFileAsStored does, and TooLarge "the picture is too
// large to turn" when the placed picture passes the bitmap cap.
Result<Picture> loadPicturePlaced(const std::string& path, int placement, const DecodeLimits& limits);

}  // namespace trimlet
