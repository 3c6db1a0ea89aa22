#pragma once
// A cut of a freely rotated picture file, made from the source pixels under the cut alone: only
// they are decoded (of a JPEG, only the rows down to them), turned into place and rotated, so
// that neither the whole picture nor its rotation is ever held.

#include <optional>
#include <string>

#include "base/result.h"
#include "codecs/decoded.h"
#include "codecs/picture.h"
#include "imaging/cut.h"
#include "imaging/rotate.h"

namespace trimlet {

// The picture file at path, shown as loadPictureUpright shows it and placed as placement says,
// rotated by `degrees` on `background` as rotateBilinear rotates it (with up to `threads`
// threads), and cut as cut asks from the rotated picture (which has the placed picture's
// size), its frame placed as loadPictureCut places it: the same pixels as doing each in turn
// on the whole picture. Fails as loadPictureCut does.
Result<Picture> loadRotatedCut(const std::string& path, int placement, int degrees, Rgb background,
                               const CutRequest& cut, std::optional<IntPoint> origin, const DecodeLimits& limits,
                               int threads = 1);

}  // namespace trimlet
