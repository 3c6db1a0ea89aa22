#include "cli/cli.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <thread>
#include <utility>
#include <variant>
#include <sys/stat.h>

#include "codecs/picture_file.h"
#include "imaging/cut.h"
#include "imaging/flip.h"
#include "imaging/join.h"
#include "imaging/quarter_turn.h"
#include "imaging/rotate.h"
#include "imaging/serial_name.h"

namespace trimlet::cli {

namespace {

constexpr const char* kUsage =
    "usage: trimlet-cli info FILE...\n"
    "       trimlet-cli INPUT [--cut WxH[@RATE][+CX,CY]] --output FILE [--quality 1..100] [--force]\n"
    "       trimlet-cli INPUT [--cut WxH[@RATE][+CX,CY]] --save [--format jpeg|bmp] [--tail paren|hyphen]\n"
    "                   [--quality 1..100]\n"
    "  steps, applied left to right: --turn right|left|180, --flip vertical|horizontal,\n"
    "  --rotate -359..359 (uncovered corners in --background RRGGBB, default FFFFFF), --cut ...,\n"
    "  --join FILE:top|bottom|left|right (lined up by --align-h top|centre|bottom|trim and\n"
    "  --align-v left|centre|right|trim, default centre; margins in --background)";

enum class TurnStep { Right, Left, Half };
enum class FlipStep { Vertical, Horizontal };
struct RotateStep {
    int degrees;
};
struct JoinStep {
    std::string file;
    JoinSide side;
};

// One editing step, applied left to right.
using Step = std::variant<CutRequest, TurnStep, FlipStep, RotateStep, JoinStep>;

struct Request {
    std::string input;
    std::vector<Step> steps;
    std::string output;
    bool save = false;
    std::optional<bool> bmp;         // --format; JPEG when not given
    std::optional<SerialTail> tail;  // --tail; paren when not given
    int quality = 90;
    bool force = false;
    Rgb background;  // of rotations and joins
    AlignH alignH = AlignH::Centre;
    AlignV alignV = AlignV::Centre;
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

// --turn, --flip, --rotate and --background with their value.
std::optional<UsageError> parseTransform(const std::string& option, const std::string& value, Request& req)
{
    if (option == "--turn") {
        if (value != "right" && value != "left" && value != "180")
            return UsageError{"--turn takes right, left or 180, not " + value};
        req.steps.push_back(value == "right" ? TurnStep::Right : value == "left" ? TurnStep::Left : TurnStep::Half);
    } else if (option == "--flip") {
        if (value != "vertical" && value != "horizontal")
            return UsageError{"--flip takes vertical or horizontal, not " + value};
        req.steps.push_back(value == "vertical" ? FlipStep::Vertical : FlipStep::Horizontal);
    } else if (option == "--rotate") {
        const auto degrees = parseInt(value);
        if (!degrees || *degrees < -359 || *degrees > 359)
            return UsageError{"--rotate takes whole degrees -359..359, not " + value};
        req.steps.push_back(RotateStep{*degrees});
    } else {
        std::uint32_t rgb = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), rgb, 16);
        if (value.size() != 6 || ec != std::errc() || end != value.data() + value.size())
            return UsageError{"--background takes six hex digits RRGGBB, not " + value};
        req.background = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)};
    }
    return std::nullopt;
}

// --join FILE:SIDE, --align-h and --align-v with their value.
std::optional<UsageError> parseJoin(const std::string& option, const std::string& value, Request& req)
{
    if (option == "--join") {
        // The last colon splits, so file names may hold colons of their own.
        const auto colon = value.rfind(':');
        const std::string side = colon == std::string::npos ? std::string() : value.substr(colon + 1);
        const std::string file = colon == std::string::npos ? std::string() : value.substr(0, colon);
        if (file.empty() || (side != "top" && side != "bottom" && side != "left" && side != "right"))
            return UsageError{"--join takes FILE:top|bottom|left|right, not " + value};
        const JoinSide where = side == "top"      ? JoinSide::Top
                                  : side == "bottom" ? JoinSide::Bottom
                                  : side == "left"   ? JoinSide::Left
                                                     : JoinSide::Right;
        req.steps.emplace_back(std::in_place_type<JoinStep>, JoinStep{file, where});
    } else if (option == "--align-h") {
        if (value != "top" && value != "centre" && value != "bottom" && value != "trim")
            return UsageError{"--align-h takes top, centre, bottom or trim, not " + value};
        req.alignH = value == "top" ? AlignH::Top : value == "bottom" ? AlignH::Bottom : value == "trim" ? AlignH::Trim : AlignH::Centre;
    } else {
        if (value != "left" && value != "centre" && value != "right" && value != "trim")
            return UsageError{"--align-v takes left, centre, right or trim, not " + value};
        req.alignV = value == "left" ? AlignV::Left : value == "right" ? AlignV::Right : value == "trim" ? AlignV::Trim : AlignV::Centre;
    }
    return std::nullopt;
}

// Parses "INPUT [STEP...] --output FILE | --save [OPTION...]"; options may stand anywhere.
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
        } else if (a == "--turn" || a == "--flip" || a == "--rotate" || a == "--background") {
            if (!hasValue)
                return UsageError{a + " needs a value"};
            if (auto bad = parseTransform(a, args[++i], req))
                return bad;
        } else if (a == "--join" || a == "--align-h" || a == "--align-v") {
            if (!hasValue)
                return UsageError{a + " needs a value"};
            if (auto bad = parseJoin(a, args[++i], req))
                return bad;
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
        } else if (a == "--format" || a == "--tail") {
            if (!hasValue)
                return UsageError{a + " needs a value"};
            const std::string& v = args[++i];
            if (a == "--format") {
                if (v != "jpeg" && v != "bmp")
                    return UsageError{"--format takes jpeg or bmp, not " + v};
                req.bmp = v == "bmp";
            } else {
                if (v != "paren" && v != "hyphen")
                    return UsageError{"--tail takes paren or hyphen, not " + v};
                req.tail = v == "hyphen" ? SerialTail::Hyphen : SerialTail::Paren;
            }
        } else if (a == "--save") {
            req.save = true;
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
    if (req.save && !req.output.empty())
        return UsageError{"give either --output FILE or --save, not both"};
    if (!req.save && req.output.empty())
        return UsageError{"no output: give --output FILE or --save"};
    if (!req.save && (req.bmp || req.tail))
        return UsageError{"--format and --tail go with --save; --output takes the format from its extension"};
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

Status write(const Bitmap& bitmap, bool bmp, int quality, const std::string& path, WriteMode mode)
{
    return bmp ? writeBmpFile(bitmap, path, mode) : writeJpegFile(bitmap, quality, path, mode);
}

// Writes under the first free serial name beside the input; a name taken meanwhile by someone
// else is skipped, never replaced.
Result<std::string> saveSerial(const Bitmap& bitmap, bool bmp, const Request& req)
{
    const SerialTail tail = req.tail.value_or(SerialTail::Paren);
    const std::string extension = bmp ? ".bmp" : ".jpg";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = serialName(req.input, tail, extension, exists);
        const Status written = write(bitmap, bmp, req.quality, name, WriteMode::NoReplace);
        if (written)
            return name;
        if (written.error().code != ErrorCode::Exists)
            return written.error();
    }
    return makeError(ErrorCode::Exists, "no free serial name beside " + req.input);
}

// The picture after one step; empty when a cut leaves nothing or a turn would pass the size cap.
Bitmap apply(Bitmap bitmap, const Step& step, Rgb background)
{
    if (const auto* cut = std::get_if<CutRequest>(&step))
        return cutPicture(bitmap, *cut);
    if (const auto* turn = std::get_if<TurnStep>(&step))
        return *turn == TurnStep::Right  ? turnRight(bitmap)
               : *turn == TurnStep::Left ? turnLeft(bitmap)
                                         : halfTurn(std::move(bitmap));
    if (const auto* flip = std::get_if<FlipStep>(&step))
        return *flip == FlipStep::Vertical ? flipVertical(std::move(bitmap)) : flipHorizontal(std::move(bitmap));
    const int degrees = std::get<RotateStep>(step).degrees;
    if (degrees == 0)
        return bitmap;
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
    return *rotateBilinear(bitmap, degrees, background, {}, threads);
}

int convert(const Request& req, std::ostream& out, std::ostream& err)
{
    const auto outKind = kindForPath(req.output);
    if (!req.save && outKind != PictureKind::Jpeg && outKind != PictureKind::Bitmap)
        return fail(err, kExitUsage, "output must end in .jpg, .jpeg or .bmp: " + req.output);
    const bool bmpOut = req.save ? req.bmp.value_or(false) : outKind == PictureKind::Bitmap;
    // Checked before the work so a long job does not end in a refusal; the write itself
    // refuses again atomically should the file appear meanwhile.
    if (!req.save && !req.force && exists(req.output))
        return fail(err, kExitFailure, req.output + " exists (use --force to replace it)");

    auto picture = loadPictureFile(req.input);
    if (!picture)
        return fail(err, kExitFailure, picture.error().message);

    Bitmap bitmap = picture.value().bitmap();
    bool edited = false;
    for (const Step& step : req.steps) {
        if (const auto* join = std::get_if<JoinStep>(&step)) {
            const auto added = loadPictureFile(join->file);
            if (!added)
                return fail(err, kExitFailure, added.error().message);
            // Until the first edit the input keeps its transparency, as the window's picture does.
            const Picture editing = edited ? Picture(std::move(bitmap)) : picture.value();
            bitmap = joinPictures(editing, added.value(), join->side, req.alignH, req.alignV, req.background);
            edited = true;
            if (bitmap.empty())
                return fail(err, kExitFailure, "the joined picture would be too large");
            continue;
        }
        edited = true;
        bitmap = apply(std::move(bitmap), step, req.background);
        if (bitmap.empty())
            return fail(err, kExitFailure,
                        std::holds_alternative<CutRequest>(step) ? "the cut left no picture" : "the picture is too large to turn");
    }
    if (req.save) {
        const auto saved = saveSerial(bitmap, bmpOut, req);
        if (!saved)
            return fail(err, kExitFailure, saved.error().message);
        out << saved.value() << '\n';
        return kExitOk;
    }
    const WriteMode mode = req.force ? WriteMode::Replace : WriteMode::NoReplace;
    const Status written = write(bitmap, bmpOut, req.quality, req.output, mode);
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
