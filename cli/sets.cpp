#include "cli/sets.h"

#include <filesystem>
#include <utility>

#include "base/file_io.h"
#include "cli/steps.h"
#include "codecs/exif.h"
#include "codecs/jpeg_lossless.h"
#include "document/cut_job.h"
#include "document/cut_set.h"
#include "document/lossless_job.h"
#include "document/output_job.h"
#include "document/stored_settings.h"
#include "imaging/photo.h"
#include "imaging/plan.h"
#include "settings/profile_file.h"
#include "settings/settings_path.h"

namespace trimlet::cli {

namespace {

// The window's set of every connected screen, which it makes from the desktop it runs on.
constexpr std::string_view kAllScreens =
    "\xE3\x81\x93\xE3\x81\xAE\xE7\x94\xBB\xE9\x9D\xA2\xE3\x81\x99\xE3\x81\xB9"
    "\xE3\x81\xA6";

std::string sizeText(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

// The main frame's region on a pw × ph picture, placed as --cut places its frame.
Result<CutFrame> mainFrame(const SetStep& step, const CutRequest& cut, int pw, int ph)
{
    if (step.origin) {
        auto frame = frameAtOrigin(pw, ph, cut, *step.origin);
        // Its words name the single cut's option.
        if (!frame && frame.error().message.starts_with("--cut "))
            return makeError(frame.error().code, step.option + frame.error().message.substr(5));
        return frame;
    }
    const auto frame = cutFrame(pw, ph, cut);
    if (!frame)
        return makeError(ErrorCode::TooLarge, "the cut left no picture");
    return *frame;
}

CutRequest requestOf(const SetStep& step, int width, int height, int rate, bool fit)
{
    CutRequest cut;
    cut.width = width;
    cut.height = height;
    cut.rate = rate;
    cut.fit = fit;
    cut.centreGiven = step.centre.has_value();
    cut.centre = step.centre.value_or(IntPoint{});
    return cut;
}

// Every piece of the set on a pw × ph picture: a set's members around its first size's frame,
// a span's screens from the frame of its whole layout, placed as a cut of that size at 100.
Result<std::vector<SetPiece>> piecesOf(const SetStep& step, int pw, int ph)
{
    const CutSet& set = step.set;
    if (set.kind == CutSet::Kind::Span) {
        const auto layout = spanLayout(set.screens, set.bezelMm);
        if (!layout)
            return layout.error();
        const RegionSize size = spanRegion(layout.value(), pw, ph, step.rate, step.fit);
        const auto frame = mainFrame(step, requestOf(step, size.width, size.height, 100, false), pw, ph);
        if (!frame)
            return frame.error();
        const CutFrame& f = frame.value();
        return spanPieces(layout.value(), set.screens, IntRect{f.origin.x, f.origin.y, f.width, f.height});
    }
    if (set.sizes.empty())
        return makeError(ErrorCode::Invalid, "the set has no sizes");
    const PieceSize first = set.sizes.front();
    const auto frame = mainFrame(step, requestOf(step, first.width, first.height, step.rate, step.fit), pw, ph);
    if (!frame)
        return frame.error();
    return setPieces(pw, ph, set.sizes, frame.value(), step.fit);
}

std::string pieceName(const SetPiece& piece)
{
    return "the " + sizeText(piece.size.width, piece.size.height) + " piece";
}

// The set's members copied from the JPEG's blocks, each region moved onto the block grid;
// parse has checked that only turns and flips come before the set.
Result<Made> makeSetLossless(const Request& req, const std::string& input, const SetStep& step)
{
    const DecodeLimits limits = loadOptions(req);
    const int placement = placementOfSteps(req.steps, req.steps.size() - 1);
    std::vector<SetPiece> pieces;
    {
        const auto jpeg = openPlacedJpeg(input, placement, limits);
        if (!jpeg)
            return jpeg.error();
        const PictureSize shown = jpeg.value().shown;
        auto placed = piecesOf(step, shown.width, shown.height);
        if (!placed)
            return placed.error();
        pieces = std::move(placed).value();
        for (const SetPiece& piece : pieces)
            if (piece.region.rate != 100)
                return makeError(ErrorCode::Invalid, pieceName(piece) + " comes to the rate " +
                                                         std::to_string(piece.region.rate) + " in this " +
                                                         sizeText(shown.width, shown.height) +
                                                         " picture, and --lossless copies pixels only at 100");
        snapSetPieces(losslessGrid(jpeg.value().blocks, jpeg.value().orientation), shown.width, shown.height, pieces);
    }
    Made made{true, {}};
    made.files.reserve(pieces.size());
    for (const SetPiece& piece : pieces) {
        LosslessJob job;
        job.placement = placement;
        job.cut = CutRequest{};
        job.cut->width = piece.region.width;
        job.cut->height = piece.region.height;
        job.origin = piece.region.origin;
        auto copied = cutFileLossless(input, job, limits);
        if (!copied)
            return copied.error();
        if (req.maxKb > 0 && copied.value().bytes.size() > limitBytes(req.maxKb))
            return makeError(ErrorCode::TooLarge,
                             pieceName(piece) + ": " + doesNotFit(req, copied.value().bytes.size()).message);
        made.files.push_back({piece.suffix, OutputFormat::Jpeg, std::move(copied.value().bytes)});
    }
    return made;
}

}  // namespace

std::string windowSettingsFile()
{
    const std::string self = executablePath();
    const std::filesystem::path folder = std::filesystem::path(self).parent_path();
    return settingsFileOf(self.empty() ? std::string() : (folder / "trimlet").string());
}

Refusal resolveSet(Request& req, const std::string& settingsFile)
{
    if (req.steps.empty() || !std::holds_alternative<SetStep>(req.steps.back()))
        return std::nullopt;
    SetStep& step = std::get<SetStep>(req.steps.back());
    if (step.name.empty()) {
        step.set.bezelMm = req.bezelMm.value_or(0);
        return std::nullopt;
    }
    if (step.name == kAllScreens)
        return step.name +
               " is the sizes of the screens the window runs on, and the command line has no "
               "screens: give the sizes, as --cut-set 1920x1080,2560x1440";
    for (const CutSet& set : readCutSets(settingsFile)) {
        if (!profileNamesEqual(set.name, step.name))
            continue;
        if (set.kind == CutSet::Kind::Span && req.lossless)
            return "--lossless does not go with the span " + step.name + ": a span resamples its pieces";
        step.set = set;
        return std::nullopt;
    }
    return "no cut set named " + step.name + " in " + settingsFile;
}

Result<Made> makeSet(const Request& req, const std::string& input)
{
    const SetStep& step = std::get<SetStep>(req.steps.back());
    if (req.lossless)
        return makeSetLossless(req, input, step);
    // Loaded once, its leading turns and flips made as one with the orientation; every piece
    // is cut from that picture.
    const std::size_t last = req.steps.size() - 1;
    const std::size_t placements = leadingPlacements(req.steps);
    auto loaded = placements > 0 ? loadPicturePlaced(input, placementOfSteps(req.steps, placements), loadOptions(req))
                                 : loadPictureUpright(input, loadOptions(req));
    if (!loaded)
        return loaded.error();
    Picture picture = std::move(loaded).value();
    for (std::size_t i = placements; i < last; ++i) {
        auto next = std::visit(StepRunner{picture, req}, req.steps[i]);
        if (!next)
            return next.error();
        picture = std::move(next).value();
    }
    const Bitmap& source = picture.bitmap();
    const auto pieces = piecesOf(step, source.width(), source.height());
    if (!pieces)
        return pieces.error();
    const PictureKind kind = req.format.value_or(PictureKind::Jpeg);
    Made made{true, {}};
    made.files.reserve(pieces.value().size());
    for (const SetPiece& piece : pieces.value()) {
        const Bitmap cut = makeSetPiece(source, piece);
        if (cut.empty())
            return makeError(ErrorCode::TooLarge, pieceName(piece) + " left no picture");
        auto file = encodeFor(cut, kind, req);
        if (!file)
            return makeError(file.error().code, pieceName(piece) + ": " + file.error().message);
        made.files.push_back({piece.suffix, file.value().format, std::move(file.value().bytes)});
    }
    return made;
}

Result<std::vector<std::string>> saveSet(const Made& made, const std::string& input, const Request& req)
{
    std::vector<SetFile> files;
    files.reserve(made.files.size());
    for (const MadeFile& f : made.files)
        files.push_back({f.suffix, {f.format, f.bytes}});
    const SerialPlace place{input, req.tail.value_or(SerialTail::Paren), req.saveDir};
    SetSave save = saveSetSerial(place, files);
    if (!save.written) {
        Error error = writeFailure(save.written.error());
        if (!save.failedName.empty() && error.message.find(save.failedName) == std::string::npos)
            error.message = save.failedName + ": " + error.message;
        return error;
    }
    return std::move(save.names);
}

}  // namespace trimlet::cli
