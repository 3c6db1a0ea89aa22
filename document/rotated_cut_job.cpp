#include "document/rotated_cut_job.h"

#include <algorithm>
#include <utility>

#include "codecs/exif.h"
#include "codecs/picture_file.h"
#include "document/cut_job.h"
#include "imaging/plan.h"

namespace trimlet {

namespace {

// The cut of frame from the rotation of frame's region alone.
Result<Picture> cutOfRotation(const Bitmap& region, const CutFrame& frame)
{
    return editedPicture(cutRegion(region, {0, 0}, frame.width, frame.height, frame.rate), "the cut left no picture");
}

}  // namespace

Result<Picture> loadRotatedCut(const std::string& path, int placement, int degrees, Rgb background,
                               const CutRequest& cut, std::optional<IntPoint> origin, const DecodeLimits& limits,
                               int threads)
{
    if (degrees == 0)  // a rotation by nothing leaves the picture alone
        return loadPictureCut(path, placement, cut, origin, limits);
    const auto probed = probePictureFile(path, limits);
    if (kindForPath(path) && probed) {  // else the whole decode below tells what is wrong, as always
        const PictureSize stored = probed.value().size;
        const int orientation = composeOrientations(probed.value().orientation, placement);
        const PictureSize shown = shownSize(stored, orientation);
        const auto frame = cutFrameOn(shown, cut, origin);
        if (!frame)
            return frame.error();
        const CutFrame& f = frame.value();
        const IntRect rect{f.origin.x, f.origin.y, f.width, f.height};
        // The rotation acts on the shown picture: its source box is found there and taken from
        // the stored pixels as a cut of that box would take them. Under a cut that misses the
        // picture one pixel is still decoded, so that the file is read as far as ever.
        const IntRect box = rotationSourceBox(shown.width, shown.height, degrees, rect);
        const CutPlan plan = planCut(stored.width, stored.height, orientation,
                                     CutFrame{{box.x, box.y}, std::max(box.w, 1), std::max(box.h, 1), 100});
        auto region = loadRegionAsStored(path, {plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h}, limits);
        if (!region && region.error().code != ErrorCode::Invalid)
            return region.error();
        // A file whose decode sizes or places it otherwise than its headers said is cut the
        // whole way.
        if (region && region.value().orientation == probed.value().orientation &&
            region.value().bitmap.width() == plan.stored.w && region.value().bitmap.height() == plan.stored.h) {
            const Bitmap part = box.w > 0 ? cutStoredRegion(std::move(region.value().bitmap), plan) : Bitmap{};
            return cutOfRotation(rotateBilinearRegion(part, {box.x, box.y}, shown.width, shown.height, degrees,
                                                      background, rect, threads),
                                 f);
        }
    }
    auto loaded = loadPicturePlaced(path, placement, limits);
    if (!loaded)
        return loaded.error();
    const Bitmap& whole = loaded.value().bitmap();
    const auto frame = cutFrameOn({whole.width(), whole.height()}, cut, origin);
    if (!frame)
        return frame.error();
    const CutFrame& f = frame.value();
    const auto rotated = rotateBilinear(whole, degrees, background, {}, threads);
    return editedPicture(cutRegion(*rotated, f.origin, f.width, f.height, f.rate), "the cut left no picture");
}

}  // namespace trimlet
