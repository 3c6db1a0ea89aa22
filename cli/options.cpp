#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "codecs/picture_file.h"

namespace trimlet::cli {

extern const char kUsage[] =
    "usage: trimlet-cli INPUT... [STEP...] (--output FILE | --save) [OPTION...]\n"
    "       trimlet-cli info [--] FILE...\n"
    "       trimlet-cli --help | --version\n"
    "\n"
    "Applies the steps, left to right, to each INPUT (BMP, JPEG, PNG, GIF, WebP,\n"
    "AVIF, HEIC/HEIF, TIFF, JPEG XL or a camera raw: CR2, CR3, NEF, ARW, RAF,\n"
    "ORF, RW2, DNG, PEF; the first image of a file with several) on its own and\n"
    "writes the result. Steps and options may stand before or after inputs.\n"
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
    "                              (default: the middle); @fit takes the lowest\n"
    "                              rate at which the whole region lies in the\n"
    "                              picture as it stands at that step, so that the\n"
    "                              piece is the full W x H if the picture allows\n"
    "  --cut WxH[@RATE]:X,Y        the same region with its top-left corner at\n"
    "                              picture pixel X,Y: repeats the window's cut\n"
    "                              that its status line names as WxH@RATE:X,Y\n"
    "  --cut-set NAME|WxH,WxH...[@RATE|@fit][+CX,CY|:X,Y]\n"
    "                              the last step: a piece of each size (up to\n"
    "                              16), all around the centre of the first size's\n"
    "                              region, which is placed as --cut places it;\n"
    "                              with @fit each size takes its own fit rate.\n"
    "                              NAME is a set kept in the settings file of the\n"
    "                              window program trimlet beside trimlet-cli\n"
    "  --span SCREENS[@RATE|@fit][+CX,CY|:X,Y]\n"
    "                              the last step: one picture across monitors,\n"
    "                              SCREENS being WxH+X+Y/MM,... (each monitor's\n"
    "                              pixels, its place in the desktop's layout and\n"
    "                              its picture's width in mm); each monitor's\n"
    "                              piece is cut at its own size from its part of\n"
    "                              one frame over the layout as it stands\n"
    "  --bezel MM                  with --span: the gap between neighbouring\n"
    "                              monitors' pictures, 0..1000 mm (default 0)\n"
    "output, exactly one:\n"
    "  --output FILE               FILE.jpg, .jpeg, .bmp, .png, .webp or .jxl;\n"
    "                              with one INPUT only\n"
    "  --save                      the next free serial name beside each INPUT:\n"
    "                              NAME(1).jpg, NAME(2).jpg, ...; a set's pieces\n"
    "                              under one number, NAME(3)_1920x1080.jpg, ...,\n"
    "                              all of them or none\n"
    "  --save-dir DIR              with --save: the serial names in the folder DIR\n"
    "                              instead, which must exist\n"
    "options:\n"
    "  --quality 1..100            JPEG, WebP and JPEG XL quality (default 90;\n"
    "                              JPEG XL is lossless at 100)\n"
    "  --lossless                  copy the piece from a JPEG INPUT's blocks, never\n"
    "                              encoding it again: only --turn, --flip and one\n"
    "                              --cut or --cut-set after them at the rate 100,\n"
    "                              whose corners move to the block grid (8, 16 or\n"
    "                              32 pixels); JPEG output, no --quality\n"
    "  --max-kb N                  keep each written file within N kB (1 kB =\n"
    "                              1024 bytes; 0, the default, for no limit): JPEG,\n"
    "                              WebP and JPEG XL take the highest quality that\n"
    "                              fits, overriding --quality; a file that cannot\n"
    "                              fit is not written\n"
    "  --format jpeg|bmp|png|webp|jxl\n"
    "                              format of --save (default jpeg)\n"
    "  --tail paren|hyphen         --save names NAME(1) or NAME-1 (default paren)\n"
    "  --background RRGGBB         rotation corners, join margins (default FFFFFF)\n"
    "  --align-h top|centre|bottom|trim\n"
    "                              lines up left and right joins (default centre)\n"
    "  --align-v left|centre|right|trim\n"
    "                              lines up top and bottom joins (default centre)\n"
    "  --force                     replace an existing --output FILE\n"
    "  --no-color-management       keep the colours as stored: no ICC profile of\n"
    "                              an INPUT or --join FILE is converted to sRGB\n"
    "  --raw-preview               a camera raw shows its embedded full-size JPEG\n"
    "                              preview (fast) instead of being developed\n"
    "  --jobs N                    work on up to N INPUTs at once, 1 or more\n"
    "                              (default: the cores trimlet-cli may run on);\n"
    "                              files are written and printed in INPUT order\n"
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
    "sRGB. No metadata of an input (EXIF, location, profile) is written out,\n"
    "except by a JPEG INPUT written as JPEG XL without any step: that is the\n"
    "JPEG recompressed losslessly, all its bytes kept (djxl gives the very\n"
    "file back), unless --max-kb asks for less.\n"
    "\n"
    "info prints PATH<TAB>KIND<TAB>WIDTH<TAB>HEIGHT for each FILE (KIND: bitmap,\n"
    "jpeg, png, gif, webp, avif, heif, tiff, jxl or raw). Every written\n"
    "path is printed on its own line; a file that fails is reported on standard\n"
    "error and the others are still done. Control characters in names are shown\n"
    "as \\t, \\n, \\r or \\xHH; on a terminal, and always on standard error, so\n"
    "are bytes that are not UTF-8. Exit status: 0 when every file succeeded, 1\n"
    "when any failed, 2 for a usage error.\n";

namespace {

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
constexpr Word<PictureKind> kFormats[] = {{"jpeg", PictureKind::Jpeg},
                                          {"bmp", PictureKind::Bitmap},
                                          {"png", PictureKind::Png},
                                          {"webp", PictureKind::Webp},
                                          {"jxl", PictureKind::Jxl}};
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

// Reads text from p, which moves past what was read.
struct Cursor {
    const char* p;
    const char* end;

    bool number(int& out)
    {
        const auto [next, ec] = std::from_chars(p, end, out);
        if (ec != std::errc() || next == p)
            return false;
        p = next;
        return true;
    }
    bool literal(char c) { return p < end && *p == c ? (++p, true) : false; }
    bool word(std::string_view w) { return std::string_view(p, end).starts_with(w) ? (p += w.size(), true) : false; }
    bool point(IntPoint& out) { return number(out.x) && literal(',') && number(out.y) && out.x >= 0 && out.y >= 0; }
    bool atEnd() const { return p == end; }
};

// "[@RATE|@fit][+CX,CY|:X,Y]", how a cut or a set is framed; the rate is checked by the caller.
struct Framing {
    int rate = 100;
    bool fit = false;
    std::optional<IntPoint> centre;
    std::optional<IntPoint> origin;
};

bool readFraming(Cursor& in, Framing& f)
{
    if (in.literal('@')) {
        f.fit = in.word("fit");
        if (!f.fit && !in.number(f.rate))
            return false;
    }
    if (in.literal('+'))
        return in.point(f.centre.emplace());
    if (in.literal(':'))
        return in.point(f.origin.emplace());
    return true;
}

// Reads "WxH[@RATE][+CX,CY]" or "WxH[@RATE]:X,Y" with the window's limits: W 24..4096,
// H 32..4096, RATE 1..100 or "fit".
std::optional<CutStep> parseCut(const std::string& text)
{
    Cursor in{text.data(), text.data() + text.size()};
    CutStep step;
    CutRequest& cut = step.frame;
    Framing f;
    if (!in.number(cut.width) || !in.literal('x') || !in.number(cut.height) || !readFraming(in, f) || !in.atEnd())
        return std::nullopt;
    cut.rate = f.rate;
    cut.fit = f.fit;
    cut.centreGiven = f.centre.has_value();
    cut.centre = f.centre.value_or(IntPoint{});
    step.origin = f.origin;
    if (cut.width < 24 || cut.width > 4096 || cut.height < 32 || cut.height > 4096 || cut.rate < 1 || cut.rate > 100)
        return std::nullopt;
    return step;
}

Refusal readCut(std::string_view, Value value, Request& req)
{
    const auto cut = parseCut(value);
    if (!cut)
        return std::string("--cut takes WxH[@RATE][+CX,CY] or WxH[@RATE]:X,Y with W 24..4096, H 32..4096, ") +
               "RATE 1..100 or fit, not " + value;
    req.steps.emplace_back(*cut);
    return std::nullopt;
}

// Reads all of text as "[@RATE|@fit][+CX,CY|:X,Y]", the framing after a set's list.
bool parseFraming(std::string_view text, SetStep& step)
{
    Cursor in{text.data(), text.data() + text.size()};
    Framing f;
    if (!readFraming(in, f) || !in.atEnd() || f.rate < 1 || f.rate > 100)
        return false;
    step.rate = f.rate;
    step.fit = f.fit;
    step.centre = f.centre;
    step.origin = f.origin;
    return true;
}

// Where the framing starts: the first '@', '+' or ':' from which the rest reads as one, so
// that a name may hold those characters and a span's "+X+Y" places are never taken for it.
std::size_t framingStart(std::string_view text, SetStep& step)
{
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '@' && text[i] != '+' && text[i] != ':')
            continue;
        SetStep framed;
        if (parseFraming(text.substr(i), framed)) {
            step.rate = framed.rate;
            step.fit = framed.fit;
            step.centre = framed.centre;
            step.origin = framed.origin;
            return i;
        }
    }
    return text.size();
}

bool startsLikeASize(std::string_view text)
{
    const std::size_t x = text.find_first_not_of("0123456789");
    return x > 0 && x != text.npos && text[x] == 'x';
}

Refusal readCutSet(std::string_view option, Value value, Request& req)
{
    SetStep step;
    step.option = option;
    const std::string_view head = std::string_view(value).substr(0, framingStart(value, step));
    const std::string syntax = "--cut-set takes NAME or WxH,WxH...[@RATE|@fit][+CX,CY|:X,Y] with RATE 1..100";
    if (head.empty())
        return syntax + ", not " + value;
    if (!startsLikeASize(head)) {
        step.name = head;
    } else if (head.find_first_not_of("0123456789x,") != head.npos) {
        return syntax + ", not " + value;
    } else {
        auto sizes = parseSizeList(head);
        if (!sizes)
            return "--cut-set " + value + ": " + sizes.error().message;
        step.set.sizes = std::move(sizes).value();
    }
    req.steps.emplace_back(std::move(step));
    return std::nullopt;
}

Refusal readSpan(std::string_view option, Value value, Request& req)
{
    SetStep step;
    step.option = option;
    step.set.kind = CutSet::Kind::Span;
    const std::string_view head = std::string_view(value).substr(0, framingStart(value, step));
    auto screens = parseSpanScreens(head);
    if (!screens)
        return "--span takes SCREENS (WxH+X+Y/MM,...)[@RATE|@fit][+CX,CY|:X,Y], not " + value + ": " +
               screens.error().message;
    step.set.screens = std::move(screens).value();
    req.steps.emplace_back(std::move(step));
    return std::nullopt;
}

Refusal readBezel(std::string_view, Value value, Request& req)
{
    const auto bezel = parseBezel(value);
    if (!bezel)
        return "--bezel takes millimetres 0..1000, not " + value;
    req.bezelMm = bezel.value();
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
        kind != PictureKind::Webp && kind != PictureKind::Jxl)
        return "--output must end in .jpg, .jpeg, .bmp, .png, .webp or .jxl: " + value;
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

Refusal setLossless(std::string_view, Value, Request& req)
{
    req.lossless = true;
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

Refusal readJobs(std::string_view, Value value, Request& req)
{
    const auto jobs = parseInt(value);
    if (!jobs || *jobs < 1)
        return "--jobs must be a whole number, 1 or more, not " + value;
    req.jobs = *jobs;
    return std::nullopt;
}

Refusal setSave(std::string_view, Value, Request& req)
{
    req.save = true;
    return std::nullopt;
}

Refusal readSaveDir(std::string_view, Value value, Request& req)
{
    if (value.empty())
        return "--save-dir needs a folder";
    req.saveDir = value;
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

Refusal setRawPreview(std::string_view, Value, Request& req)
{
    req.rawPreview = true;
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
    {"--cut-set", Arity::Step, readCutSet},
    {"--span", Arity::Step, readSpan},
    {"--bezel", Arity::Once, readBezel},
    {"--output", Arity::Once, readOutput},
    {"--save", Arity::Flag, setSave},
    {"--save-dir", Arity::Once, readSaveDir},
    {"--quality", Arity::Once, readQuality},
    {"--lossless", Arity::Flag, setLossless},
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
    {"--raw-preview", Arity::Flag, setRawPreview},
    {"--jobs", Arity::Once, readJobs},
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
    if (!req.save && !req.saveDir.empty())
        return "--save-dir goes with --save; --output takes its folder from FILE";
    return std::nullopt;
}

bool isSetStep(const Step& step) { return std::holds_alternative<SetStep>(step); }

// A set writes its pieces as it cuts them, under one serial number, so it ends the steps and
// needs --save.
Refusal checkSets(const Request& req)
{
    const auto first = std::find_if(req.steps.begin(), req.steps.end(), isSetStep);
    const bool span = first != req.steps.end() && std::get<SetStep>(*first).set.kind == CutSet::Kind::Span;
    if (req.bezelMm && !span)
        return "--bezel goes with --span";
    if (first == req.steps.end())
        return std::nullopt;
    const std::string& option = std::get<SetStep>(*first).option;
    if (std::count_if(req.steps.begin(), req.steps.end(), isSetStep) > 1)
        return "one --cut-set or --span at most: each writes a whole set of pieces";
    if (!isSetStep(req.steps.back()))
        return option + " must be the last step; --turn, --flip, --rotate and --join may come before it";
    if (std::any_of(req.steps.begin(), req.steps.end(),
                    [](const Step& s) { return std::holds_alternative<CutStep>(s); }))
        return option + " does not go with --cut: " + (span ? "the span's screens" : "the set's sizes") +
               " are its cuts";
    if (!req.save)
        return option + " writes several files; use --save";
    if (span && req.lossless)
        return "--span does not go with --lossless: a span resamples its pieces";
    return std::nullopt;
}

// What --lossless allows: the steps that only move the file's own pixels, ending in one cut
// of them, written as JPEG.
Refusal checkLossless(const Request& req, const std::vector<std::string_view>& given)
{
    if (!req.lossless)
        return std::nullopt;
    if (std::count_if(req.steps.begin(), req.steps.end(),
                      [](const Step& s) { return std::holds_alternative<CutStep>(s); }) > 1)
        return "--lossless takes one --cut at most";
    for (std::size_t i = 0; i < req.steps.size(); ++i) {
        const Step& step = req.steps[i];
        if (std::holds_alternative<RotateStep>(step))
            return "--rotate does not go with --lossless: it makes new pixels";
        if (std::holds_alternative<JoinStep>(step))
            return "--join does not go with --lossless: it makes new pixels";
        if (const auto* cut = std::get_if<CutStep>(&step)) {
            if (i + 1 != req.steps.size())
                return "with --lossless, --cut must be the last step, after every --turn and --flip";
            if (!cut->frame.fit && cut->frame.rate != 100)
                return "--lossless copies pixels as they are, so --cut takes the rate 100 (or @fit), not " +
                       std::to_string(cut->frame.rate);
        }
        if (const auto* set = std::get_if<SetStep>(&step); set && !set->fit && set->rate != 100)
            return "--lossless copies pixels as they are, so --cut-set takes the rate 100 (or @fit), not " +
                   std::to_string(set->rate);
    }
    if (std::find(given.begin(), given.end(), "--quality") != given.end())
        return "--quality does not go with --lossless: the piece is not encoded again";
    for (const Word<PictureKind>& w : kFormats)
        if (req.format == w.value && w.value != PictureKind::Jpeg)
            return "--lossless writes JPEG files only, not --format " + std::string(w.text);
    if (!req.output.empty() && kindForPath(req.output) != PictureKind::Jpeg)
        return "--lossless writes JPEG files only: --output must end in .jpg or .jpeg, not " + req.output;
    return std::nullopt;
}

}  // namespace

const SetStep* setStepOf(const Request& req)
{
    return req.steps.empty() ? nullptr : std::get_if<SetStep>(&req.steps.back());
}

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
    if (Refusal refused = checkRequest(req))
        return refused;
    if (Refusal refused = checkSets(req))
        return refused;
    return checkLossless(req, given);
}

}  // namespace trimlet::cli
