#include "cli/cli.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>

#include "base/file_io.h"
#include "base/parallel.h"
#include "base/text.h"
#include "base/version.h"
#include "codecs/colour_profile.h"
#include "codecs/exif.h"
#include "codecs/jpeg.h"
#include "codecs/output_file.h"
#include "codecs/picture_file.h"
#include "document/output_job.h"
#include "imaging/cut.h"
#include "imaging/cut_geometry.h"
#include "imaging/flip.h"
#include "imaging/join.h"
#include "imaging/orientation.h"
#include "imaging/photo.h"
#include "imaging/plan.h"
#include "imaging/quarter_turn.h"
#include "imaging/reduce.h"
#include "imaging/region.h"
#include "imaging/rotate.h"
#include "imaging/row_handoff.h"
#include "imaging/serial_name.h"

namespace trimlet::cli {

namespace {

constexpr const char* kUsage =
    "usage: trimlet-cli INPUT... [STEP...] (--output FILE | --save) [OPTION...]\n"
    "       trimlet-cli info [--] FILE...\n"
    "       trimlet-cli --help | --version\n"
    "\n"
    "Applies the steps, left to right, to each INPUT (BMP, JPEG, PNG, GIF, WebP,\n"
    "AVIF, HEIC/HEIF or TIFF; the first image of a file with several) on its own\n"
    "and writes the result. Steps and options may stand before or after inputs.\n"
    "\n"
    "steps:\n"
    "  --turn right|left|180       a quarter turn either way, or a half turn\n"
    "  --flip vertical|horizontal  mirror top to bottom (vertical) or left to right\n"
    "  --rotate DEG                -359..359 degrees clockwise, bilinear, on the\n"
    "                              same canvas; the corners take --background\n"
    "  --join FILE:top|bottom|left|right\n"
    "                              joins FILE on that side of the current picture\n"
    "  --cut WxH[@RATE][+CX,CY]    cuts W x H pixels (W 24..4096, H 32..4096) from\n"
    "                              a region reduced by RATE percent (1..100,\n"
    "                              default 100) around CX,CY in picture pixels\n"
    "                              (default: the middle)\n"
    "  --cut WxH[@RATE]:X,Y        the same region with its top-left corner at\n"
    "                              picture pixel X,Y: repeats the window's cut\n"
    "                              that its status line names as WxH@RATE:X,Y\n"
    "output, exactly one:\n"
    "  --output FILE               FILE.jpg, .jpeg, .bmp, .png or .webp; with one\n"
    "                              INPUT only\n"
    "  --save                      the next free serial name beside each INPUT:\n"
    "                              NAME(1).jpg, NAME(2).jpg, ...\n"
    "options:\n"
    "  --quality 1..100            JPEG and WebP quality (default 90)\n"
    "  --max-kb N                  keep each written file within N kB (1 kB =\n"
    "                              1024 bytes; 0, the default, for no limit): JPEG\n"
    "                              and WebP take the highest quality that fits,\n"
    "                              overriding --quality; a file that cannot fit\n"
    "                              is not written\n"
    "  --format jpeg|bmp|png|webp  format of --save (default jpeg)\n"
    "  --tail paren|hyphen         --save names NAME(1) or NAME-1 (default paren)\n"
    "  --background RRGGBB         rotation corners, join margins (default FFFFFF)\n"
    "  --align-h top|centre|bottom|trim\n"
    "                              lines up left and right joins (default centre)\n"
    "  --align-v left|centre|right|trim\n"
    "                              lines up top and bottom joins (default centre)\n"
    "  --force                     replace an existing --output FILE\n"
    "  --no-color-management       keep the colours as stored: no ICC profile of\n"
    "                              an INPUT or --join FILE is converted to sRGB\n"
    "  -h, --help                  show this text\n"
    "  --version                   show the version\n"
    "\n"
    "A value follows its option as the next argument or as --OPTION=VALUE; a\n"
    "value that starts with -- (or is -h) only the second way. Steps may be\n"
    "given any number of times, every other option at most once. After --,\n"
    "every argument is an INPUT (or a FILE of info).\n"
    "\n"
    "Pictures are read as shown: turned as their EXIF orientation says (info\n"
    "prints that size too), their embedded ICC colour profile converted to\n"
    "sRGB. No metadata of an input (EXIF, location, profile) is written out.\n"
    "\n"
    "info prints PATH<TAB>KIND<TAB>WIDTH<TAB>HEIGHT for each FILE (KIND: bitmap,\n"
    "jpeg, png, gif, webp, avif, heif or tiff). Every written\n"
    "path is printed on its own line; a file that fails is reported on standard\n"
    "error and the others are still done. Control characters in names are shown\n"
    "as \\t, \\n, \\r or \\xHH; on a terminal, and always on standard error, so\n"
    "are bytes that are not UTF-8. Exit status: 0 when every file succeeded, 1\n"
    "when any failed, 2 for a usage error.\n";

enum class TurnStep { Right, Left, Half };
enum class FlipStep { Vertical, Horizontal };
struct RotateStep {
    int degrees;
};
struct JoinStep {
    std::string file;
    JoinSide side;
};
// The window's frame placed by its centre, or its region given by its top-left corner.
struct CutStep {
    CutRequest frame;
    std::optional<IntPoint> origin;
};

// One editing step, applied left to right.
using Step = std::variant<CutStep, TurnStep, FlipStep, RotateStep, JoinStep>;

struct Request {
    enum class Action { Convert, Help, Version };
    Action action = Action::Convert;
    std::vector<std::string> inputs;
    std::vector<Step> steps;
    std::string output;
    bool save = false;
    std::optional<PictureKind> format;  // --format; JPEG when not given
    std::optional<SerialTail> tail;     // --tail; paren when not given
    int quality = 90;
    int maxKb = 0;  // 0: no size limit
    bool force = false;
    Rgb background;  // of rotations and joins
    AlignH alignH = AlignH::Centre;
    AlignV alignV = AlignV::Centre;
    bool colourManagement = true;
};

// Why an argument is refused; nothing when it is taken.
using Refusal = std::optional<std::string>;
// An option's value as the readers get it.
using Value = const std::string&;

template <class T>
struct Word {
    std::string_view text;
    T value;
};

constexpr Word<TurnStep> kTurns[] = {{"right", TurnStep::Right}, {"left", TurnStep::Left}, {"180", TurnStep::Half}};
constexpr Word<FlipStep> kFlips[] = {{"vertical", FlipStep::Vertical}, {"horizontal", FlipStep::Horizontal}};
constexpr Word<JoinSide> kSides[] = {
    {"top", JoinSide::Top}, {"bottom", JoinSide::Bottom}, {"left", JoinSide::Left}, {"right", JoinSide::Right}};
constexpr Word<AlignH> kAlignH[] = {
    {"top", AlignH::Top}, {"centre", AlignH::Centre}, {"bottom", AlignH::Bottom}, {"trim", AlignH::Trim}};
constexpr Word<AlignV> kAlignV[] = {
    {"left", AlignV::Left}, {"centre", AlignV::Centre}, {"right", AlignV::Right}, {"trim", AlignV::Trim}};
constexpr Word<PictureKind> kFormats[] = {
    {"jpeg", PictureKind::Jpeg}, {"bmp", PictureKind::Bitmap}, {"png", PictureKind::Png}, {"webp", PictureKind::Webp}};
constexpr Word<SerialTail> kTails[] = {{"paren", SerialTail::Paren}, {"hyphen", SerialTail::Hyphen}};

// "a, b or c"
template <class T, std::size_t N>
std::string wordList(const Word<T> (&words)[N])
{
    std::string list;
    for (std::size_t i = 0; i < N; ++i)
        list.append(i == 0 ? "" : i + 1 == N ? " or " : ", ").append(words[i].text);
    return list;
}

template <class T, std::size_t N>
std::optional<T> findWord(const Word<T> (&words)[N], std::string_view text)
{
    for (const Word<T>& w : words)
        if (w.text == text)
            return w.value;
    return std::nullopt;
}

// Sets target (a T or an optional<T>) to the value of the word given for option.
template <class T, std::size_t N, class Target>
Refusal readWord(std::string_view option, const Word<T> (&words)[N], Value value, Target& target)
{
    const auto found = findWord(words, value);
    if (!found)
        return std::string(option) + " takes " + wordList(words) + ", not " + value;
    target = *found;
    return std::nullopt;
}

template <class T, std::size_t N>
Refusal addStepWord(std::string_view option, const Word<T> (&words)[N], Value value, Request& req)
{
    T step{};
    Refusal refused = readWord(option, words, value, step);
    if (!refused)
        req.steps.emplace_back(step);
    return refused;
}

std::optional<int> parseInt(const std::string& text)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reads "WxH[@RATE][+CX,CY]" or "WxH[@RATE]:X,Y" with the window's limits: W 24..4096,
// H 32..4096, RATE 1..100.
std::optional<CutStep> parseCut(const std::string& text)
{
    CutStep step;
    CutRequest& cut = step.frame;
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
    auto point = [&](IntPoint& out) {
        return number(out.x) && literal(',') && number(out.y) && out.x >= 0 && out.y >= 0;
    };
    if (literal('+')) {
        if (!point(cut.centre))
            return std::nullopt;
        cut.centreGiven = true;
    } else if (literal(':')) {
        if (!point(step.origin.emplace()))
            return std::nullopt;
    }
    if (p != end || cut.width < 24 || cut.width > 4096 || cut.height < 32 || cut.height > 4096 || cut.rate < 1 ||
        cut.rate > 100)
        return std::nullopt;
    return step;
}

Refusal readCut(std::string_view, Value value, Request& req)
{
    const auto cut = parseCut(value);
    if (!cut)
        return "--cut takes WxH[@RATE][+CX,CY] or WxH[@RATE]:X,Y with W 24..4096, H 32..4096, RATE 1..100, not " +
               value;
    req.steps.emplace_back(*cut);
    return std::nullopt;
}

Refusal readRotate(std::string_view, Value value, Request& req)
{
    const auto degrees = parseInt(value);
    if (!degrees || *degrees < -359 || *degrees > 359)
        return "--rotate takes whole degrees -359..359, not " + value;
    req.steps.emplace_back(RotateStep{*degrees});
    return std::nullopt;
}

Refusal readJoin(std::string_view, Value value, Request& req)
{
    // The last colon splits, so file names may hold colons of their own.
    const auto colon = value.rfind(':');
    const auto side = colon == std::string::npos ? std::nullopt : findWord(kSides, value.substr(colon + 1));
    if (!side || colon == 0)
        return "--join takes FILE:" + wordList(kSides) + ", not " + value;
    req.steps.emplace_back(JoinStep{value.substr(0, colon), *side});
    return std::nullopt;
}

Refusal readBackground(std::string_view, Value value, Request& req)
{
    std::uint32_t rgb = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), rgb, 16);
    if (value.size() != 6 || ec != std::errc() || end != value.data() + value.size())
        return "--background takes six hex digits RRGGBB, not " + value;
    req.background = {std::uint8_t(rgb >> 16), std::uint8_t(rgb >> 8), std::uint8_t(rgb)};
    return std::nullopt;
}

Refusal readOutput(std::string_view, Value value, Request& req)
{
    const auto kind = kindForPath(value);
    if (kind != PictureKind::Jpeg && kind != PictureKind::Bitmap && kind != PictureKind::Png &&
        kind != PictureKind::Webp)
        return "--output must end in .jpg, .jpeg, .bmp, .png or .webp: " + value;
    req.output = value;
    return std::nullopt;
}

Refusal readQuality(std::string_view, Value value, Request& req)
{
    const auto quality = parseInt(value);
    if (!quality || *quality < 1 || *quality > 100)
        return "--quality must be 1..100, not " + value;
    req.quality = *quality;
    return std::nullopt;
}

Refusal readMaxKb(std::string_view, Value value, Request& req)
{
    const auto kilobytes = parseInt(value);
    if (!kilobytes || *kilobytes < 0)
        return "--max-kb must be a whole number of kB, 0 or more, not " + value;
    req.maxKb = *kilobytes;
    return std::nullopt;
}

Refusal setSave(std::string_view, Value, Request& req)
{
    req.save = true;
    return std::nullopt;
}

Refusal setForce(std::string_view, Value, Request& req)
{
    req.force = true;
    return std::nullopt;
}

Refusal setNoColourManagement(std::string_view, Value, Request& req)
{
    req.colourManagement = false;
    return std::nullopt;
}

Refusal askHelp(std::string_view, Value, Request& req)
{
    req.action = Request::Action::Help;
    return std::nullopt;
}

Refusal askVersion(std::string_view, Value, Request& req)
{
    req.action = Request::Action::Version;
    return std::nullopt;
}

enum class Arity { Flag, Once, Step };  // a flag, a value given once, a step's value given any number of times

struct Option {
    std::string_view name;
    Arity arity;
    Refusal (*read)(std::string_view option, Value value, Request& req);
};

const Option kOptions[] = {
    {"--turn", Arity::Step, [](std::string_view o, Value v, Request& r) { return addStepWord(o, kTurns, v, r); }},
    {"--flip", Arity::Step, [](std::string_view o, Value v, Request& r) { return addStepWord(o, kFlips, v, r); }},
    {"--rotate", Arity::Step, readRotate},
    {"--join", Arity::Step, readJoin},
    {"--cut", Arity::Step, readCut},
    {"--output", Arity::Once, readOutput},
    {"--save", Arity::Flag, setSave},
    {"--quality", Arity::Once, readQuality},
    {"--max-kb", Arity::Once, readMaxKb},
    {"--format", Arity::Once,
     [](std::string_view o, Value v, Request& r) { return readWord(o, kFormats, v, r.format); }},
    {"--tail", Arity::Once, [](std::string_view o, Value v, Request& r) { return readWord(o, kTails, v, r.tail); }},
    {"--background", Arity::Once, readBackground},
    {"--align-h", Arity::Once,
     [](std::string_view o, Value v, Request& r) { return readWord(o, kAlignH, v, r.alignH); }},
    {"--align-v", Arity::Once,
     [](std::string_view o, Value v, Request& r) { return readWord(o, kAlignV, v, r.alignV); }},
    {"--force", Arity::Flag, setForce},
    {"--no-color-management", Arity::Flag, setNoColourManagement},
    {"--help", Arity::Flag, askHelp},
    {"-h", Arity::Flag, askHelp},
    {"--version", Arity::Flag, askVersion},
};

const Option* findOption(std::string_view name)
{
    const auto found =
        std::find_if(std::begin(kOptions), std::end(kOptions), [&](const Option& o) { return o.name == name; });
    return found == std::end(kOptions) ? nullptr : found;
}

// An argument that names an option is never taken as the value of the one before it, so
// a forgotten value cannot swallow the next option; "--opt=--text" still passes such a value.
bool looksLikeOption(std::string_view arg) { return arg.starts_with("--") || arg == "-h"; }

// Anything but "-" that starts with a dash, before "--" ends the options.
bool isOptionWord(std::string_view arg, bool optionsEnded) { return !optionsEnded && arg.size() > 1 && arg[0] == '-'; }

// The files after "info": names only, those after "--" even when they start with a dash.
Refusal parseInfo(const std::vector<std::string>& args, std::vector<std::string>& files)
{
    bool optionsEnded = false;
    for (auto a = args.begin() + 1; a != args.end(); ++a) {
        if (!isOptionWord(*a, optionsEnded))
            files.push_back(*a);
        else if (*a == "--")
            optionsEnded = true;
        else
            return "info takes only file names, not " + *a + " (put -- before a name that starts with -)";
    }
    return std::nullopt;
}

// What the whole command line must satisfy once every argument is read.
Refusal checkRequest(const Request& req)
{
    if (req.inputs.empty())
        return "no input file";
    if (req.save && !req.output.empty())
        return "give either --output FILE or --save, not both";
    if (!req.save && req.output.empty())
        return "no output: give --output FILE or --save";
    if (!req.output.empty() && req.inputs.size() > 1)
        return "--output takes one input; use --save for several";
    if (!req.save && (req.format || req.tail))
        return "--format and --tail go with --save; --output takes the format from its extension";
    return std::nullopt;
}

// One pass over the arguments, as GNU tools read them: options from the table with their value
// as the next argument or after '=', everything else an input, and only inputs after "--".
// --help and --version end the pass where they stand.
Refusal parse(const std::vector<std::string>& args, Request& req)
{
    std::vector<std::string_view> given;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!isOptionWord(a, optionsEnded)) {
            req.inputs.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t eq = a.starts_with("--") ? a.find('=') : std::string::npos;
        const std::string name = a.substr(0, eq);
        const Option* option = findOption(name);
        if (!option)
            return "unknown option " + name;
        if (option->arity != Arity::Step) {
            if (std::find(given.begin(), given.end(), option->name) != given.end())
                return name + " given twice";
            given.push_back(option->name);
        }
        std::string value;
        if (option->arity == Arity::Flag) {
            if (eq != std::string::npos)
                return name + " takes no value";
        } else if (eq != std::string::npos) {
            value = a.substr(eq + 1);
        } else if (i + 1 < args.size() && !looksLikeOption(args[i + 1])) {
            value = args[++i];
        } else {
            return name + " needs a value";
        }
        if (Refusal refused = option->read(name, value, req))
            return refused;
        if (req.action != Request::Action::Convert)
            return std::nullopt;
    }
    return checkRequest(req);
}

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

// The file for kind, one of the written kinds (as readOutput and kFormats allow), within
// --max-kb when one is given.
Result<EncodedOutput> encodeFor(const Bitmap& bitmap, PictureKind kind, const Request& req)
{
    const std::uint64_t limit = limitBytes(req.maxKb);
    auto encoded = encodeWithinLimit(bitmap, outputFormatOf(kind), req.quality, limit);
    if (!encoded)
        return encoded.error();
    if (!encoded.value().fits)
        return makeError(ErrorCode::TooLarge, "the result does not fit in " + std::to_string(req.maxKb) + " kB (" +
                                                  std::to_string(limit) + " bytes): the smallest file it makes has " +
                                                  std::to_string(encoded.value().bytes.size()) + " bytes");
    return encoded;
}

// Writes under the first free serial name beside the input; a name taken meanwhile by someone
// else is skipped, never replaced.
Result<std::string> saveSerial(const Bitmap& bitmap, const std::string& input, const Request& req)
{
    const auto encoded = encodeFor(bitmap, req.format.value_or(PictureKind::Jpeg), req);
    if (!encoded)
        return encoded.error();
    const SerialPlace place{input, req.tail.value_or(SerialTail::Paren)};
    SerialSave save = trimlet::saveSerial(place, {encoded.value().format, encoded.value().bytes});
    if (!save.written)
        return save.written.error();
    return std::move(save.name);
}

// Every edit leaves a plain bitmap picture, as in the window; so the input's transparency
// counts for a join only until the first edit.
Result<Picture> edited(Bitmap bitmap, const char* whenEmpty)
{
    if (bitmap.empty())
        return makeError(ErrorCode::TooLarge, whenEmpty);
    return Picture(std::move(bitmap));
}

// The region the window cuts when its frame's corner maps to origin, or why it does not fit
// the pw × ph picture.
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
    return edited(cutRegion(src, f.origin, f.width, f.height, f.rate), "the cut left no picture");
}

DecodeLimits loadOptions(const Request& req)
{
    DecodeLimits limits;
    limits.colourManagement = req.colourManagement;
    return limits;
}

// Applies one step to the picture.
struct StepRunner {
    const Picture& picture;
    const Request& req;

    Result<Picture> operator()(const CutStep& cut) const
    {
        if (cut.origin)
            return cutAtOrigin(picture.bitmap(), cut.frame, *cut.origin);
        return edited(cutPicture(picture.bitmap(), cut.frame), "the cut left no picture");
    }
    Result<Picture> operator()(TurnStep turn) const
    {
        const Bitmap& b = picture.bitmap();
        return edited(turn == TurnStep::Right  ? turnRight(b)
                      : turn == TurnStep::Left ? turnLeft(b)
                                               : halfTurn(b),
                      "the picture is too large to turn");
    }
    Result<Picture> operator()(FlipStep flip) const
    {
        const Bitmap& b = picture.bitmap();
        return edited(flip == FlipStep::Vertical ? flipVertical(b) : flipHorizontal(b), "the picture has no pixels");
    }
    Result<Picture> operator()(RotateStep rotate) const
    {
        if (rotate.degrees == 0)
            return picture;  // the window leaves the picture alone too
        const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
        return edited(*rotateBilinear(picture.bitmap(), rotate.degrees, req.background, {}, threads),
                      "the picture has no pixels");
    }
    Result<Picture> operator()(const JoinStep& join) const
    {
        const auto added = loadPhoto(join.file, loadOptions(req));
        if (!added)
            return added.error();
        return edited(joinPictures(picture, added.value(), join.side, req.alignH, req.alignV, req.background),
                      "the joined picture would be too large");
    }
};

bool isPlacement(const Step& step)
{
    return std::holds_alternative<TurnStep>(step) || std::holds_alternative<FlipStep>(step);
}

// How many turns and flips the steps start with.
std::size_t leadingPlacements(const std::vector<Step>& steps)
{
    return std::size_t(std::find_if_not(steps.begin(), steps.end(), isPlacement) - steps.begin());
}

// The index of the first cut when only turns and flips come before it.
std::optional<std::size_t> leadingCut(const std::vector<Step>& steps)
{
    const std::size_t cut = leadingPlacements(steps);
    if (cut < steps.size() && std::holds_alternative<CutStep>(steps[cut]))
        return cut;
    return std::nullopt;
}

int placementOf(const Step& step)
{
    if (const auto* turn = std::get_if<TurnStep>(&step))
        return *turn == TurnStep::Right ? kTurnedRight : *turn == TurnStep::Left ? kTurnedLeft : kHalfTurned;
    return std::get<FlipStep>(step) == FlipStep::Vertical ? kMirroredTopBottom : kMirroredLeftRight;
}

// The first count steps, all turns and flips, as one placement.
int placementOfSteps(const std::vector<Step>& steps, std::size_t count)
{
    int placement = 1;
    for (std::size_t i = 0; i < count; ++i)
        placement = composeOrientations(placement, placementOf(steps[i]));
    return placement;
}

Result<CutFrame> frameOf(const CutStep& cut, PictureSize shown)
{
    if (cut.origin)
        return frameAtOrigin(shown.width, shown.height, cut.frame, *cut.origin);
    const auto frame = cutFrame(shown.width, shown.height, cut.frame);
    if (!frame)
        return makeError(ErrorCode::TooLarge, "the cut left no picture");
    return *frame;
}

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
    return edited(orientBitmap(reduction.take(), plan.orientation), "the cut left no picture");
}

// Loads the input and applies the steps up to and including the cut at cutIndex, turning and
// flipping only the cut's pixels; of a JPEG only those are decoded.
Result<Picture> loadCut(const Request& req, const std::string& input, std::size_t cutIndex)
{
    const int placement = placementOfSteps(req.steps, cutIndex);
    const CutStep& cut = std::get<CutStep>(req.steps[cutIndex]);
    const DecodeLimits limits = loadOptions(req);
    if (kindForPath(input) == PictureKind::Jpeg) {
        const auto probed = probePictureFile(input, limits);
        auto file = RegularFile::open(input);
        if (probed && file) {  // else the whole decode below tells what is wrong, as always
            const PictureSize stored = probed.value().size;
            const int orientation = composeOrientations(probed.value().orientation, placement);
            const auto frame = frameOf(cut, shownSize(stored, orientation));
            if (!frame)
                return frame.error();
            const CutPlan plan = planCut(stored.width, stored.height, orientation, frame.value());
            const JpegRegion wanted{plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h};
            if (plan.rate != 100)
                if (auto reduced = reduceWhileDecoding(input, file.value(), wanted, plan, limits))
                    return std::move(*reduced);
            auto region = decodeJpegRegion(file.value(), wanted, limits);
            if (!region)
                return makeError(region.error().code, input + ": " + region.error().message);
            DecodedImage& image = region.value();
            if (limits.colourManagement && !image.iccProfile.empty())
                convertToSrgb(image.bitmap, image.iccProfile);
            return edited(cutStoredRegion(std::move(image.bitmap), plan), "the cut left no picture");
        }
    }
    auto loaded = loadPhoto(input, limits);
    if (!loaded)
        return loaded.error();
    const Bitmap& whole = loaded.value().bitmap();
    const auto frame = frameOf(cut, shownSize({whole.width(), whole.height()}, placement));
    if (!frame)
        return frame.error();
    const CutPlan plan = planCut(whole.width(), whole.height(), placement, frame.value());
    return edited(cutStoredRegion(copyRegion(whole, plan.stored.x, plan.stored.y, plan.stored.w, plan.stored.h), plan),
                  "the cut left no picture");
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

// Loads the input and applies its first count steps, all turns and flips, as one placement
// together with its EXIF orientation: a flip or a half turn works in place, and turns that
// undo each other cost nothing.
Result<Picture> loadPlaced(const Request& req, const std::string& input, std::size_t count)
{
    const int placement = placementOfSteps(req.steps, count);
    if (kindForPath(input) == PictureKind::Jpeg)
        if (auto turned = turnWhileDecoding(input, placement, loadOptions(req)))
            return edited(std::move(*turned), "the picture is too large to turn");
    auto decoded = readPictureFile(input, loadOptions(req));
    if (!decoded)
        return decoded.error();
    DecodedFile& file = decoded.value();
    file.fileBytes = {};
    file.image.mask = {};  // an edited picture is opaque
    const int orientation = composeOrientations(file.image.orientation, placement);
    return edited(orientBitmap(std::move(file.image.bitmap), orientation), "the picture is too large to turn");
}

// Loads one input, applies the steps and writes the result; gives the written path.
Result<std::string> convert(const Request& req, const std::string& input)
{
    // Checked before the work so a long job does not end in a refusal; the write itself
    // refuses again atomically should the file appear meanwhile.
    if (!req.save && !req.force && pathExists(req.output))
        return makeError(ErrorCode::Exists, req.output + " exists (use --force to replace it)");
    // A cut after nothing but turns and flips is made first, on the file's own pixels; other
    // leading turns and flips are made as one, with the orientation.
    const auto cutIndex = leadingCut(req.steps);
    const std::size_t placements = leadingPlacements(req.steps);
    auto loaded = cutIndex         ? loadCut(req, input, *cutIndex)
                  : placements > 0 ? loadPlaced(req, input, placements)
                                   : loadPhoto(input, loadOptions(req));
    if (!loaded)
        return loaded.error();
    Picture picture = std::move(loaded).value();
    for (std::size_t i = cutIndex ? *cutIndex + 1 : placements; i < req.steps.size(); ++i) {
        auto next = std::visit(StepRunner{picture, req}, req.steps[i]);
        if (!next)
            return next.error();
        picture = std::move(next).value();
    }
    if (req.save)
        return saveSerial(picture.bitmap(), input, req);
    const auto encoded = encodeFor(picture.bitmap(), kindForPath(req.output).value_or(PictureKind::Jpeg), req);
    if (!encoded)
        return encoded.error();
    const Status written = writeOutputFile(req.output, {encoded.value().format, encoded.value().bytes},
                                           req.force ? WriteMode::Replace : WriteMode::NoReplace);
    if (!written)
        return written.error();
    return req.output;
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
        Result<std::string> written = makeError(ErrorCode::Invalid, {});
        try {
            written = convert(req, input);
        } catch (const std::bad_alloc&) {
            written = makeError(ErrorCode::TooLarge, "not enough memory");
        }
        progress.clear();
        if (written)
            out << escapeForPrinting(written.value(), terminal.stdoutIsTerminal) << '\n' << std::flush;
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
    return convertAll(req, out, err, terminal);
}

}  // namespace trimlet::cli
