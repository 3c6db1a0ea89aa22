#include "cli/cli.h"

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <utility>
#include <variant>

#include "base/file_io.h"
#include "base/parallel.h"
#include "base/text.h"
#include "base/version.h"
#include "cli/batch.h"
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
// at most one cut).
Result<Made> makeLossless(const Request& req, const std::string& input)
{
    LosslessJob job;
    job.placement = placementOfSteps(req.steps, leadingPlacements(req.steps));
    if (const auto cutIndex = leadingCut(req.steps)) {
        const CutStep& cut = std::get<CutStep>(req.steps[*cutIndex]);
        job.cut = cut.frame;
        job.origin = cut.origin;
    }
    auto piece = cutFileLossless(input, job, loadOptions(req));
    if (!piece)
        return piece.error();
    if (req.maxKb > 0 && piece.value().bytes.size() > limitBytes(req.maxKb))
        return doesNotFit(req, piece.value().bytes.size());
    return Made{false, {{{}, OutputFormat::Jpeg, std::move(piece.value().bytes)}}};
}

// Loads one input and applies the steps; nothing is written yet.
Result<Made> make(const Request& req, const std::string& input)
{
    // Checked before the work so a long job does not end in a refusal; the write itself
    // refuses again atomically should the file appear meanwhile.
    if (!req.save && !req.force && pathExists(req.output))
        return makeError(ErrorCode::Exists, req.output + " exists (use --force to replace it)");
    if (setStepOf(req))
        return makeSet(req, input);
    if (req.lossless)
        return makeLossless(req, input);
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
    // A JPEG written whole is recompressed, not encoded again: djxl gives the very file back.
    if (req.steps.empty() && recompressesJpeg(picture, outputFormatOf(kind)))
        if (auto whole = recompressedWithin(picture, limitBytes(req.maxKb)))
            return Made{false, {{{}, OutputFormat::Jxl, std::move(*whole)}}};
    auto encoded = encodeFor(picture.bitmap(), kind, req);
    if (!encoded)
        return encoded.error();
    return Made{false, {{{}, encoded.value().format, std::move(encoded.value().bytes)}}};
}

// Writes what one input made; gives the written paths.
Result<std::vector<std::string>> write(const Made& made, const std::string& input, const Request& req)
{
    if (made.set)
        return saveSet(made, input, req);
    const MadeFile& file = made.files.front();
    auto written = writeResult({file.format, file.bytes}, input, req);
    if (!written)
        return written.error();
    return std::vector<std::string>{std::move(written).value()};
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
        text_ = text;
    }

    // The line shown again after the lines that stay.
    void restore()
    {
        if (!shown_ || text_.empty())
            return;
        err_ << '\r' << text_ << std::flush;
        width_ = text_.size();
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
    std::string text_;
};

// What a job that threw leaves of its file: a failure of that file like any other.
Error thrownError(const std::exception_ptr& thrown)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory");
    } catch (const std::exception& e) {
        return makeError(ErrorCode::Invalid, std::string("failed: ") + e.what());
    } catch (...) {
        return makeError(ErrorCode::Invalid, "failed");
    }
}

Result<std::vector<std::string>> writeGuarded(const Made& made, const std::string& input, const Request& req)
{
    try {
        return write(made, input, req);
    } catch (...) {
        return thrownError(std::current_exception());
    }
}

// Makes and writes one input; gives the written paths.
Result<std::vector<std::string>> convert(const Request& req, const std::string& input)
{
    try {
        const auto made = make(req, input);
        if (!made)
            return made.error();
        return write(made.value(), input, req);
    } catch (...) {
        return thrownError(std::current_exception());
    }
}

// The files a batch has written, by identity: an input made before an earlier input's write
// that it reads (its own file or a --join file, under any spelling of its path) is made again
// at its turn, as one file after the other would have read it. Files that were there before
// need no such care, as nothing is ever replaced.
class WrittenFiles {
public:
    void add(const std::vector<std::string>& paths)
    {
        for (const std::string& path : paths)
            if (const auto id = idOf(path))
                ids_.insert(*id);
    }

    bool readBy(const Request& req, const std::string& input) const
    {
        if (ids_.empty())
            return false;
        const auto written = [&](const std::string& path) {
            const auto id = idOf(path);
            return id && ids_.contains(*id);
        };
        return written(input) || std::any_of(req.steps.begin(), req.steps.end(), [&](const Step& step) {
                   const auto* join = std::get_if<JoinStep>(&step);
                   return join && written(join->file);
               });
    }

private:
    using Id = std::pair<dev_t, ino_t>;
    static std::optional<Id> idOf(const std::string& path)
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return std::nullopt;
        return Id{st.st_dev, st.st_ino};
    }

    std::set<Id> ids_;
};

// The inputs made side by side, up to req.jobs (or a usable core's worth) at once, each job's
// kernels taking its share of the cores; written and reported in their order, as one after
// the other, which a single job is.
int convertAll(const Request& req, std::ostream& out, std::ostream& err, const Terminal& terminal)
{
    const std::size_t count = req.inputs.size();
    ProgressLine progress(err, terminal.stderrIsTerminal && count > 1, terminal.columns);
    int status = kExitOk;
    const auto report = [&](const std::string& input, const Result<std::vector<std::string>>& written) {
        if (written)
            for (const std::string& path : written.value())
                out << escapeForPrinting(path, terminal.stdoutIsTerminal) << '\n' << std::flush;
        else
            status = fail(err, kExitFailure, fileReason(input, written.error().message));
    };
    const int jobs = int(std::min<std::size_t>(count, std::size_t(req.jobs > 0 ? req.jobs : usableCores())));
    if (jobs <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            progress.show(i + 1, count, req.inputs[i]);
            const auto written = convert(req, req.inputs[i]);
            progress.clear();
            report(req.inputs[i], written);
        }
        return status;
    }
    std::vector<std::optional<Result<Made>>> made(count);
    const int share = std::max(1, usableCores() / jobs);
    std::size_t finished = 0;
    WrittenFiles writtenFiles;
    runInOrder(
        count, jobs,
        [&](std::size_t i) {
            setThreadShare(share);
            made[i].emplace(make(req, req.inputs[i]));
        },
        [&](std::size_t i) { progress.show(++finished, count, req.inputs[i]); },
        [&](std::size_t i, const std::exception_ptr& thrown) {
            const std::string& input = req.inputs[i];
            Result<std::vector<std::string>> written = makeError(ErrorCode::Invalid, {});
            if (writtenFiles.readBy(req, input))
                written = convert(req, input);
            else if (thrown)
                written = thrownError(thrown);
            else if (!made[i]->ok())
                written = made[i]->error();
            else
                written = writeGuarded(made[i]->value(), input, req);
            made[i].reset();
            progress.clear();
            if (written)
                writtenFiles.add(written.value());
            report(input, written);
            if (i + 1 < count)
                progress.restore();
        });
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
