#include "cli/cli.h"

#include <charconv>
#include <optional>
#include <sys/stat.h>

#include "codecs/picture_file.h"
#include "imaging/cut.h"

namespace trimlet::cli {

namespace {

constexpr const char* kUsage =
    "usage: trimlet-cli info FILE...\n"
    "       trimlet-cli INPUT [--cut WxH[@RATE][+CX,CY]] --output FILE [--quality 1..100] [--force]";

// One editing step, applied left to right.
struct Step {
    CutRequest cut;
};

struct Request {
    std::string input;
    std::vector<Step> steps;
    std::string output;
    int quality = 90;
    bool force = false;
};

struct UsageError {
    std::string reason;
};

std::optional<int> parseInt(const std::string& text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reads "WxH[@RATE][+CX,CY]" with the window's limits: W 24..4096, H 32..4096, RATE 1..100.
std::optional<CutRequest> parseCut(const std::string& text)
{
    CutRequest cut;
    const char* p = text.data();
    const char* end = p + text.size();
    auto number = [&](int& out) {
        const auto [next, ec] = std::from_chars(p, end, out);
        if (ec != std::errc() || next == p)
            return false;
        p = next;
        return true;
    };
    auto literal = [&](char c) { return p < end && *p == c ? (++p, true) : false; };
    if (!number(cut.width) || !literal('x') || !number(cut.height))
        return std::nullopt;
    if (literal('@') && !number(cut.rate))
        return std::nullopt;
    if (literal('+')) {
        if (!number(cut.centre.x) || !literal(',') || !number(cut.centre.y) || cut.centre.x < 0 || cut.centre.y < 0)
            return std::nullopt;
        cut.centreGiven = true;
    }
    if (p != end || cut.width < 24 || cut.width > 4096 || cut.height < 32 || cut.height > 4096 || cut.rate < 1 ||
        cut.rate > 100)
        return std::nullopt;
    return cut;
}

// Parses "INPUT [STEP...] --output FILE [--quality Q] [--force]"; options may stand anywhere.
std::optional<UsageError> parse(const std::vector<std::string>& args, Request& req)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--cut") {
            if (!hasValue)
                return UsageError{"--cut needs WxH[@RATE][+CX,CY]"};
            const auto cut = parseCut(args[++i]);
            if (!cut)
                return UsageError{"--cut takes WxH[@RATE][+CX,CY] with W 24..4096, H 32..4096, RATE 1..100, not " + args[i]};
            req.steps.push_back({*cut});
        } else if (a == "--output" || a == "--quality") {
            if (!hasValue)
                return UsageError{a + " needs a value"};
            const std::string& v = args[++i];
            if (a == "--output") {
                if (!req.output.empty())
                    return UsageError{"--output given twice"};
                req.output = v;
            } else {
                const auto q = parseInt(v);
                if (!q || *q < 1 || *q > 100)
                    return UsageError{"--quality must be 1..100, not " + v};
                req.quality = *q;
            }
        } else if (a == "--force") {
            req.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return UsageError{"unknown option " + a};
        } else if (req.input.empty()) {
            req.input = a;
        } else {
            return UsageError{"more than one input: " + a};
        }
    }
    if (req.input.empty())
        return UsageError{"no input file"};
    if (req.output.empty())
        return UsageError{"no output: give --output FILE"};
    return std::nullopt;
}

int fail(std::ostream& err, int status, const std::string& reason)
{
    err << "trimlet-cli: " << reason << '\n';
    return status;
}

int info(const std::vector<std::string>& files, std::ostream& out, std::ostream& err)
{
    if (files.empty())
        return fail(err, kExitUsage, "info needs at least one file");
    int status = kExitOk;
    for (const std::string& file : files) {
        auto picture = loadPictureFile(file);
        if (!picture) {
            status = fail(err, kExitFailure, picture.error().message);
            continue;
        }
        const Picture& p = picture.value();
        out << file << '\t' << kindName(p.kind()) << '\t' << p.width() << '\t' << p.height() << '\n';
    }
    return status;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

int convert(const Request& req, std::ostream& out, std::ostream& err)
{
    const auto outKind = kindForPath(req.output);
    if (outKind != PictureKind::Jpeg && outKind != PictureKind::Bitmap)
        return fail(err, kExitUsage, "output must end in .jpg, .jpeg or .bmp: " + req.output);
    // Checked before the work so a long job does not end in a refusal; the write itself
    // refuses again atomically should the file appear meanwhile.
    if (!req.force && exists(req.output))
        return fail(err, kExitFailure, req.output + " exists (use --force to replace it)");

    auto picture = loadPictureFile(req.input);
    if (!picture)
        return fail(err, kExitFailure, picture.error().message);

    Bitmap bitmap = picture.value().bitmap();
    for (const Step& step : req.steps) {
        bitmap = cutPicture(bitmap, step.cut);
        if (bitmap.empty())
            return fail(err, kExitFailure, "the cut left no picture");
    }
    const WriteMode mode = req.force ? WriteMode::Replace : WriteMode::NoReplace;
    const Status written = *outKind == PictureKind::Jpeg ? writeJpegFile(bitmap, req.quality, req.output, mode)
                                                         : writeBmpFile(bitmap, req.output, mode);
    if (!written)
        return fail(err, kExitFailure, written.error().message);
    out << req.output << '\n';
    return kExitOk;
}

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.empty())
        return fail(err, kExitUsage, std::string("nothing to do\n") + kUsage);
    if (args[0] == "info")
        return info({args.begin() + 1, args.end()}, out, err);
    Request req;
    if (const auto usage = parse(args, req))
        return fail(err, kExitUsage, usage->reason);
    return convert(req, out, err);
}

}  // namespace trimlet::cli
