#include "cli/cli.h"

#include <algorithm>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <variant>

#include "base/file_io.h"
#include "base/text.h"
#include "base/version.h"
#include "cli/options.h"
#include "cli/sets.h"
#include "cli/steps.h"
#include "codecs/exif.h"
#include "codecs/output_file.h"
#include "codecs/picture_file.h"
#include "document/cut_job.h"
#include "document/lossless_job.h"
#include "document/output_job.h"
#include "imaging/cut.h"
#include "imaging/flip.h"
#include "imaging/join.h"
#include "imaging/photo.h"
#include "imaging/plan.h"
#include "imaging/quarter_turn.h"
#include "imaging/rotate.h"
#include "imaging/serial_name.h"

namespace trimlet::cli {

namespace {

int fail(std::ostream& err, int status, const std::string& reason)
{
    err << "trimlet-cli: " << escapeForPrinting(reason, true) << '\n';
    return status;
}

// "PATH: reason", without the path twice when the reason already starts with it.
std::string fileReason(const std::string& path, std::string reason)
{
    const std::string prefix = path + ": ";
    if (reason.starts_with(prefix))
        reason.erase(0, prefix.size());
    return prefix + reason;
}

bool isFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int info(const std::vector<std::string>& files, std::ostream& out, std::ostream& err, const Terminal& terminal)
{
    if (files.empty())
        return fail(err, kExitUsage, "info needs at least one file");
    int status = kExitOk;
    for (const std::string& file : files) {
        // Headers only: a photo library's worth of files is listed without decoding any.
        const auto probed = probePictureFile(file);
        if (!probed) {
            status = fail(err, kExitFailure, fileReason(file, probed.error().message));
            continue;
        }
        const PictureFileInfo& p = probed.value();
        const PictureSize shown = shownSize(p.size, p.orientation);
        out << escapeForPrinting(file, terminal.stdoutIsTerminal) << '\t' << kindName(p.kind) << '\t' << shown.width
            << '\t' << shown.height << '\n';
    }
    return status;
}

// Writes under the first free serial name beside the input or in --save-dir; a name taken
// meanwhile by someone else is skipped, never replaced.
Result<std::string> saveSerial(const OutputFile& file, const std::string& input, const Request& req)
{
    const SerialPlace place{input, req.tail.value_or(SerialTail::Paren), req.saveDir};
    SerialSave save = trimlet::saveSerial(place, file);
    if (!save.written)
        return writeFailure(save.written.error());
    return std::move(save.name);
}

// Writes file as --output or --save asks; gives the written path.
Result<std::string> writeResult(const OutputFile& file, const std::string& input, const Request& req)
{
    if (req.save)
        return saveSerial(file, input, req);
    const Status written = writeOutputFile(req.output, file, req.force ? WriteMode::Replace : WriteMode::NoReplace);
    if (!written)
        return writeFailure(written.error());
    return req.output;
}

// Loads the input and applies the steps up to and including the cut at cutIndex, turning and
// flipping only the cut's pixels.
Result<Picture> loadCut(const Request& req, const std::string& input, std::size_t cutIndex)
{
    const CutStep& cut = std::get<CutStep>(req.steps[cutIndex]);
    return loadPictureCut(input, placementOfSteps(req.steps, cutIndex), cut.frame, cut.origin, loadOptions(req));
}

// The --lossless piece of input (parse has checked that the steps are turns and flips, then
// at most one cut), written; gives the written path.
Result<std::string> convertLossless(const Request& req, const std::string& input)
{
    LosslessJob job;
    job.placement = placementOfSteps(req.steps, leadingPlacements(req.steps));
    if (const auto cutIndex = leadingCut(req.steps)) {
        const CutStep& cut = std::get<CutStep>(req.steps[*cutIndex]);
        job.cut = cut.frame;
        job.origin = cut.origin;
    }
    const auto piece = cutFileLossless(input, job, loadOptions(req));
    if (!piece)
        return piece.error();
    const std::vector<std::uint8_t>& bytes = piece.value().bytes;
    if (req.maxKb > 0 && bytes.size() > limitBytes(req.maxKb))
        return doesNotFit(req, bytes.size());
    return writeResult({OutputFormat::Jpeg, bytes}, input, req);
}

Result<std::vector<std::string>> single(Result<std::string> written)
{
    if (!written)
        return written.error();
    return std::vector<std::string>{std::move(written).value()};
}

// Loads one input, applies the steps and writes the result; gives the written paths.
Result<std::vector<std::string>> convert(const Request& req, const std::string& input)
{
    // Checked before the work so a long job does not end in a refusal; the write itself
    // refuses again atomically should the file appear meanwhile.
    if (!req.save && !req.force && pathExists(req.output))
        return makeError(ErrorCode::Exists, req.output + " exists (use --force to replace it)");
    if (setStepOf(req))
        return convertSet(req, input);
    if (req.lossless)
        return single(convertLossless(req, input));
    // A cut after nothing but turns and flips (and a rotation) is made first, on the file's own
    // pixels; other leading turns and flips are made as one, with the orientation.
    const auto rotatedCutIndex = rotatedCut(req.steps);
    const auto cutIndex = rotatedCutIndex ? rotatedCutIndex : leadingCut(req.steps);
    const std::size_t placements = leadingPlacements(req.steps);
    auto loaded = rotatedCutIndex  ? loadRotatedCutOf(req, input, *rotatedCutIndex)
                  : cutIndex       ? loadCut(req, input, *cutIndex)
                  : placements > 0 ? loadPicturePlaced(input, placementOfSteps(req.steps, placements), loadOptions(req))
                                   : loadPictureUpright(input, loadOptions(req));
    if (!loaded)
        return loaded.error();
    Picture picture = std::move(loaded).value();
    for (std::size_t i = cutIndex ? *cutIndex + 1 : placements; i < req.steps.size(); ++i) {
        auto next = std::visit(StepRunner{picture, req}, req.steps[i]);
        if (!next)
            return next.error();
        picture = std::move(next).value();
    }
    const PictureKind kind =
        req.save ? req.format.value_or(PictureKind::Jpeg) : kindForPath(req.output).value_or(PictureKind::Jpeg);
    const auto encoded = encodeFor(picture.bitmap(), kind, req);
    if (!encoded)
        return encoded.error();
    return single(writeResult({encoded.value().format, encoded.value().bytes}, input, req));
}

// The "[i/N] PATH" line of a batch on a terminal: rewritten in place, and wiped before
// anything else is printed so that it never mixes with the lines that stay.
class ProgressLine {
public:
    ProgressLine(std::ostream& err, bool shown, int columns) : err_(err), shown_(shown), columns_(columns) {}

    void show(std::size_t index, std::size_t count, const std::string& path)
    {
        if (!shown_)
            return;
        const std::string text =
            fitted("[" + std::to_string(index) + "/" + std::to_string(count) + "] ", escapeForPrinting(path, true));
        err_ << '\r' << text << std::flush;
        width_ = text.size();
    }

    void clear()
    {
        if (width_ == 0)
            return;
        err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
        width_ = 0;
    }

private:
    // Kept within the terminal's width, since a wrapped line cannot be rewritten in place:
    // the path's start gives way, cut at a character boundary.
    std::string fitted(const std::string& head, const std::string& path) const
    {
        const std::size_t room = columns_ > 0 ? std::size_t(columns_ - 1) : std::string::npos;
        if (head.size() + path.size() <= room)
            return head + path;
        if (head.size() + 3 >= room)
            return head.substr(0, room);
        std::size_t from = path.size() - (room - head.size() - 3);
        while (from < path.size() && (std::uint8_t(path[from]) & 0xC0) == 0x80)
            ++from;
        return head + "..." + path.substr(from);
    }

    std::ostream& err_;
    bool shown_;
    int columns_;
    std::size_t width_ = 0;
};

int convertAll(const Request& req, std::ostream& out, std::ostream& err, const Terminal& terminal)
{
    ProgressLine progress(err, terminal.stderrIsTerminal && req.inputs.size() > 1, terminal.columns);
    int status = kExitOk;
    for (std::size_t i = 0; i < req.inputs.size(); ++i) {
        const std::string& input = req.inputs[i];
        progress.show(i + 1, req.inputs.size(), input);
        Result<std::vector<std::string>> written = makeError(ErrorCode::Invalid, {});
        try {
            written = convert(req, input);
        } catch (const std::bad_alloc&) {
            written = makeError(ErrorCode::TooLarge, "not enough memory");
        }
        progress.clear();
        if (written)
            for (const std::string& path : written.value())
                out << escapeForPrinting(path, terminal.stdoutIsTerminal) << '\n' << std::flush;
        else
            status = fail(err, kExitFailure, fileReason(input, written.error().message));
    }
    return status;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Terminal& terminal)
{
    if (args.empty())
        return fail(err, kExitUsage, "nothing to do; see trimlet-cli --help");
    if (args[0] == "info") {
        std::vector<std::string> files;
        if (const Refusal refused = parseInfo(args, files))
            return fail(err, kExitUsage, *refused);
        return info(files, out, err, terminal);
    }
    Request req;
    if (const Refusal refused = parse(args, req))
        return fail(err, kExitUsage, *refused);
    switch (req.action) {
    case Request::Action::Help: out << kUsage; return kExitOk;
    case Request::Action::Version: out << "trimlet-cli " << kVersion << '\n'; return kExitOk;
    case Request::Action::Convert: break;
    }
    // Found before any file is touched, as a refused argument is, rather than once per input.
    if (!req.saveDir.empty() && !isFolder(req.saveDir))
        return fail(err, kExitUsage, "--save-dir " + req.saveDir + " is not a folder");
    // Only a set given by name reads the settings file.
    const SetStep* set = setStepOf(req);
    if (const Refusal refused = resolveSet(req, set && !set->name.empty() ? windowSettingsFile() : std::string()))
        return fail(err, kExitUsage, *refused);
    return convertAll(req, out, err, terminal);
}

}  // namespace trimlet::cli
