#pragma once
// trimlet-cli's command line read into a request: the inputs, the editing steps in order,
// the output and the options, checked against each other.

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "codecs/picture.h"
#include "document/cut_set.h"
#include "imaging/cut.h"
#include "imaging/join.h"
#include "imaging/rotate.h"
#include "imaging/serial_name.h"

namespace trimlet::cli {

// What --help prints.
extern const char kUsage[];

// The editing steps, each as its option gives it.
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

// The last step, which writes one piece a size of a set or a screen of a span: given, or a
// set's name to look up in the window's settings file. The main frame (a set's first size, a
// span's whole region) is placed as --cut places its frame.
struct SetStep {
    std::string option;  // "--cut-set" or "--span", for the messages
    std::string name;    // a stored set's name; empty when set holds the sizes or screens
    CutSet set;
    int rate = 100;
    bool fit = false;
    std::optional<IntPoint> centre;
    std::optional<IntPoint> origin;
};

// One editing step, applied left to right.
using Step = std::variant<CutStep, TurnStep, FlipStep, RotateStep, JoinStep, SetStep>;

// What one command line asks for.
struct Request {
    enum class Action { Convert, Help, Version };
    Action action = Action::Convert;
    std::vector<std::string> inputs;
    std::vector<Step> steps;
    std::string output;
    bool save = false;
    std::string saveDir;                // --save-dir; empty: beside each input
    std::optional<PictureKind> format;  // --format; JPEG when not given
    std::optional<SerialTail> tail;     // --tail; paren when not given
    int quality = 90;
    bool lossless = false;  // the piece copied from the JPEG's blocks, never encoded again
    int maxKb = 0;          // 0: no size limit
    bool force = false;
    Rgb background;  // of rotations and joins
    AlignH alignH = AlignH::Centre;
    AlignV alignV = AlignV::Centre;
    bool colourManagement = true;
    bool rawPreview = false;        // camera raws through their embedded preview
    std::optional<double> bezelMm;  // --bezel, of a --span
    int jobs = 0;                   // files worked on at once; 0: one a usable core
};

// The set step, when the steps end in one.
const SetStep* setStepOf(const Request& req);

// Why an argument is refused; nothing when it is taken.
using Refusal = std::optional<std::string>;

// The arguments after args[0], "info", as file names (those after "--" even when they start
// with a dash), or why one is refused.
Refusal parseInfo(const std::vector<std::string>& args, std::vector<std::string>& files);

// Reads a whole command line (without the program name) into req, or tells why it is refused:
// an unknown or repeated option, a value out of its range, or a request that does not hold
// together (no input, no output or both kinds of output, ...). After --help or --version the
// rest is not read.
Refusal parse(const std::vector<std::string>& args, Request& req);

}  // namespace trimlet::cli
