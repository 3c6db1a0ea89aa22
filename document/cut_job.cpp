#include "document/cut_job.h"

#include <new>
#include <optional>
#include <string>
#include <utility>

#include "base/file_io.h"
#include "base/parallel.h"
#include "codecs/exif.h"
#include "codecs/jpeg.h"
#include "codecs/picture_file.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "imaging/plan.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "imaging/row_handoff.h"

namespace trimlet {

// Every edit leaves a plain bitmap picture, as in the window; so the input's transparency
// counts for a join only until the first edit.
Result<Picture> editedPicture(Bitmap bitmap, const char* whenEmpty)
{
    if (bitmap.empty())
        return makeError(ErrorCode::TooLarge, whenEmpty);
    return Picture(std::move(bitmap));
}

Result<CutFrame> frameAtOrigin(int pw, int ph, const CutRequest& cut, IntPoint origin)
{
    const CutFrame frame = cutFrameAt(pw, ph, cut, origin);
    if (origin.x > pw - frame.width || origin.y > ph - frame.height) {
        const auto size = [](int w, int h) { return std::to_string(w) + "x" + std::to_string(h); };
        return makeError(ErrorCode::Invalid, "--cut " + size(cut.width, cut.height) + "@" + std::to_string(frame.rate) +
                                                 " takes " + size(frame.width, frame.height) + " pixels, which from " +
                                                 std::to_string(origin.x) + "," + std::to_string(origin.y) +
                                                 " reach past the " + size(pw, ph) + " picture");
    }
    return frame;
}

Result<Picture> cutAtOrigin(const Bitmap& src, const CutRequest& cut, IntPoint origin)
{
    const auto frame = frameAtOrigin(src.width(), src.height(), cut, origin);
    if (!frame)
        return frame.error();
    const CutFrame& f = frame.value();
    return editedPicture(cutRegion(src, f.origin, f.width, f.height, f.rate), "the cut left no picture");
}

Result<CutFrame> cutFrameOn(PictureSize shown, const CutRequest& cut, const std::optional<IntPoint>& origin)
{
    if (origin)
        return frameAtOrigin(shown.width, shown.height, cut, *origin);
    const auto frame = cutFrame(shown.width, shown.height, cut);
    if (!frame)
        return makeError(ErrorCode::TooLarge, "the cut left no picture");
    return *frame;
}

namespace {

// A reduced cut of a JPEG, reduced as its rows are decoded, so that the region is never held.
// Nothing when the file's colour profile needs the whole region first (or the file is refused,
// which the whole region's decode then reports).
std::optional<Result<Picture>> reduceWhileDecoding(const std::string& input, const RegularFile& file, JpegRegion region,
                                                   const CutPlan& plan, const DecodeLimits& limits)
{
    // On the decoder's thread: the reduction costs little beside the decode, and handing its
    // rows to a second core made a 24 MP job slower.
    RowReduction reduction(region.width, region.height, reducedSize(plan.rate, region.width),
                           reducedSize(plan.rate, region.height));
    bool shortOfMemory = false;
    const auto decoded = decodeJpegRegionRows(
        file, region,
        [&](const Bitmap& band, int, int count) {
            try {
                if (!shortOfMemory)
                    reduction.addRows(band, count);
            } catch (const std::bad_alloc&) {
                shortOfMemory = true;
            }
        },
        limits);
    if (!decoded && decoded.error().code == ErrorCode::Unsupported)
        return std::nullopt;  // the region's own decode refuses it as well, or converts the profile
    if (!decoded)
        return makeError(decoded.error().code, input + ": " + decoded.error().message);
    if (shortOfMemory)
        return makeError(ErrorCode::TooLarge, "not enough memory to reduce the cut");
    return editedPicture(orientBitmap(reduction.take(), plan.orientation), "the cut left no picture");
}

// A JPEG whose placement turns it, decoded straight into the turned picture a band of rows at
// a time, so that the picture is never held twice. Nothing when it must take the whole way:
// it does not turn, carries a colour profile, or fails (which the whole way reports as always).
std::optional<Bitmap> turnWhileDecoding(const std::string& input, int placement, const DecodeLimits& limits)
{
    auto bytes = readFileBytes(input);
    if (!bytes)
        return std::nullopt;
    const HeaderProbe probe = probeJpeg(bytes.value(), bytes.value().size(), limits);
    if (!probe.size)
        return std::nullopt;
    const PictureSize stored = probe.size.value();
    const int orientation = composeOrientations(probe.orientation, placement);
    const PictureSize shown = shownSize(stored, orientation);
    if (!swapsSides(orientation) || !Bitmap::sizeAllowed(shown.width, shown.height, limits.maxBitmapBytes))
        return std::nullopt;
    Bitmap turned(shown.width, shown.height, Bitmap::Init::Uninitialized);
    // On a large picture the rows are placed on a second core while the next ones are decoded.
    RowHandoff handoff(
        stored.width,
        [&](const Bitmap& rows, int first, int count) {
            placeRows(rows, first, count, stored.width, stored.height, orientation, turned);
        },
        threadsFor(std::int64_t(stored.width) * stored.height) > 1);
    const auto decoded = decodeJpegRows(
        bytes.value(), [&](const Bitmap& band, int, int count) { handoff.add(band, count); }, limits);
    handoff.finish();
    if (!decoded)
        return std::nullopt;
    return turned;
}

}  // namespace

Result<Picture> loadPictureCut(const std::string& path, int placement, const CutRequest& cut,
                               std::optional<IntPoint> origin, const DecodeLimits& limits)
{
    const auto kind = kindForPath(path);
    const auto probed = probePictureFile(path, limits);
    if (kind && probed) {  // else the whole decode below tells what is wrong, as always
        const PictureSize stored = probed.value().size;
        const int orientation = composeOrientations(probed.value().orientation, placement);
        const auto frame = cutFrameOn(shownSize(stored, orientation), cut, origin);
        if (!frame)
            return frame.error();
        const CutPlan plan = planCut(stored.width, stored.height, orientation, frame.value());
        const PictureRegion wanted{plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h};
        if (*kind == PictureKind::Jpeg && plan.rate != 100)
            if (auto file = RegularFile::open(path); file)
                if (auto reduced = reduceWhileDecoding(path, file.value(), wanted, plan, limits))
                    return std::move(*reduced);
        auto region = loadRegionAsStored(path, wanted, limits);
        if (!region && region.error().code != ErrorCode::Invalid)
            return region.error();
        // A file whose decode sizes or places it otherwise than its headers said is cut the
        // whole way.
        if (region && region.value().orientation == probed.value().orientation)
            return editedPicture(cutStoredRegion(std::move(region.value().bitmap), plan), "the cut left no picture");
    }
    auto loaded = loadPictureUpright(path, limits);
    if (!loaded)
        return loaded.error();
    const Bitmap& whole = loaded.value().bitmap();
    const auto frame = cutFrameOn(shownSize({whole.width(), whole.height()}, placement), cut, origin);
    if (!frame)
        return frame.error();
    const CutPlan plan = planCut(whole.width(), whole.height(), placement, frame.value());
    return editedPicture(
        cutStoredRegion(copyRegion(whole, plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h), plan),
        "the cut left no picture");
}

Result<Picture> loadPicturePlaced(const std::string& path, int placement, const DecodeLimits& limits)
{
    if (kindForPath(path) == PictureKind::Jpeg)
        if (auto turned = turnWhileDecoding(path, placement, limits))
            return editedPicture(std::move(*turned), "the picture is too large to turn");
    auto decoded = loadFileAsStored(path, limits);
    if (!decoded)
        return decoded.error();
    DecodedFile& file = decoded.value();
    file.fileBytes = {};
    file.image.mask = {};  // an edited picture is opaque
    const int orientation = composeOrientations(file.image.orientation, placement);
    return editedPicture(orientBitmap(std::move(file.image.bitmap), orientation), "the picture is too large to turn");
}

}  // namespace trimlet
