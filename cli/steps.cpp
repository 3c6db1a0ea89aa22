#include "cli/steps.h"

#include <algorithm>
#include <variant>

#include "base/parallel.h"
#include "codecs/output_file.h"
#include "document/cut_job.h"
#include "document/rotated_cut_job.h"
#include "imaging/cut.h"
#include "imaging/flip.h"
#include "imaging/join.h"
#include "imaging/photo.h"
#include "imaging/plan.h"
#include "imaging/quarter_turn.h"
#include "imaging/rotate.h"

namespace trimlet::cli {

namespace {

bool isPlacement(const Step& step)
{
    return std::holds_alternative<TurnStep>(step) || std::holds_alternative<FlipStep>(step);
}

int placementOf(const Step& step)
{
    if (const auto* turn = std::get_if<TurnStep>(&step))
        return *turn == TurnStep::Right ? kTurnedRight : *turn == TurnStep::Left ? kTurnedLeft : kHalfTurned;
    return std::get<FlipStep>(step) == FlipStep::Vertical ? kMirroredTopBottom : kMirroredLeftRight;
}

}  // namespace

Error doesNotFit(const Request& req, std::size_t smallest)
{
    return makeError(ErrorCode::TooLarge, "the result does not fit in " + std::to_string(req.maxKb) + " kB (" +
                                              std::to_string(limitBytes(req.maxKb)) +
                                              " bytes): the smallest file it makes has " + std::to_string(smallest) +
                                              " bytes");
}

Result<EncodedOutput> encodeFor(const Bitmap& bitmap, PictureKind kind, const Request& req)
{
    const std::uint64_t limit = limitBytes(req.maxKb);
    auto encoded = encodeWithinLimit(bitmap, outputFormatOf(kind), req.quality, limit);
    if (!encoded)
        return encoded.error();
    if (!encoded.value().fits)
        return doesNotFit(req, encoded.value().bytes.size());
    return encoded;
}

Error writeFailure(Error error)
{
    switch (error.cause) {
    case IoCause::DiskFull: error.message += " (the disk is full)"; break;
    case IoCause::NotAllowed: error.message += " (no permission to write in that folder, or it is read-only)"; break;
    case IoCause::NameTooLong: error.message += " (the file name is too long)"; break;
    case IoCause::NoFolder: error.message += " (the folder does not exist)"; break;
    case IoCause::Unknown: break;
    }
    return error;
}

DecodeLimits loadOptions(const Request& req)
{
    DecodeLimits limits;
    limits.colourManagement = req.colourManagement;
    limits.rawPreview = req.rawPreview;
    return limits;
}

Result<Picture> StepRunner::operator()(const CutStep& cut) const
{
    if (cut.origin)
        return cutAtOrigin(picture.bitmap(), cut.frame, *cut.origin);
    return editedPicture(cutPicture(picture.bitmap(), cut.frame), "the cut left no picture");
}

Result<Picture> StepRunner::operator()(TurnStep turn) const
{
    const Bitmap& b = picture.bitmap();
    return editedPicture(turn == TurnStep::Right  ? turnRight(b)
                         : turn == TurnStep::Left ? turnLeft(b)
                                                  : halfTurn(b),
                         "the picture is too large to turn");
}

Result<Picture> StepRunner::operator()(FlipStep flip) const
{
    const Bitmap& b = picture.bitmap();
    return editedPicture(flip == FlipStep::Vertical ? flipVertical(b) : flipHorizontal(b), "the picture has no pixels");
}

Result<Picture> StepRunner::operator()(RotateStep rotate) const
{
    if (rotate.degrees == 0)
        return picture;  // the window leaves the picture alone too
    const Bitmap& b = picture.bitmap();
    const int threads = threadsFor(std::int64_t(b.width()) * b.height());
    return editedPicture(*rotateBilinear(b, rotate.degrees, req.background, {}, threads), "the picture has no pixels");
}

Result<Picture> StepRunner::operator()(const JoinStep& join) const
{
    const auto added = loadPictureUpright(join.file, loadOptions(req));
    if (!added)
        return added.error();
    return editedPicture(joinPictures(picture, added.value(), join.side, req.alignH, req.alignV, req.background),
                         "the joined picture would be too large");
}

Result<Picture> StepRunner::operator()(const SetStep&) const
{
    return makeError(ErrorCode::Invalid, "a set is written, not applied");
}

std::size_t leadingPlacements(const std::vector<Step>& steps)
{
    return std::size_t(std::find_if_not(steps.begin(), steps.end(), isPlacement) - steps.begin());
}

std::optional<std::size_t> leadingCut(const std::vector<Step>& steps)
{
    const std::size_t cut = leadingPlacements(steps);
    if (cut < steps.size() && std::holds_alternative<CutStep>(steps[cut]))
        return cut;
    return std::nullopt;
}

std::optional<std::size_t> rotatedCut(const std::vector<Step>& steps)
{
    const std::size_t rotation = leadingPlacements(steps);
    if (rotation + 1 < steps.size() && std::holds_alternative<RotateStep>(steps[rotation]) &&
        std::holds_alternative<CutStep>(steps[rotation + 1]))
        return rotation + 1;
    return std::nullopt;
}

Result<Picture> loadRotatedCutOf(const Request& req, const std::string& input, std::size_t cutIndex)
{
    const CutStep& cut = std::get<CutStep>(req.steps[cutIndex]);
    return loadRotatedCut(input, placementOfSteps(req.steps, cutIndex - 1),
                          std::get<RotateStep>(req.steps[cutIndex - 1]).degrees, req.background, cut.frame, cut.origin,
                          loadOptions(req), threadsFor(std::int64_t(cut.frame.width) * cut.frame.height));
}

int placementOfSteps(const std::vector<Step>& steps, std::size_t count)
{
    int placement = 1;
    for (std::size_t i = 0; i < count; ++i)
        placement = composeOrientations(placement, placementOf(steps[i]));
    return placement;
}

}  // namespace trimlet::cli
