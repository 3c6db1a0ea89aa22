#pragma once
// trimlet-cli: the batch tool on top of codecs/ and imaging/.

#include <ostream>
#include <string>
#include <vector>

namespace trimlet::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// What run needs to know about the terminal: the progress line of a batch is shown only when
// standard error is one, cut to its width; names are printed with bytes that are not UTF-8
// escaped on a terminal, and as they are for a script.
struct Terminal {
    bool stderrIsTerminal = false;
    int columns = 0;  // 0 when unknown
    bool stdoutIsTerminal = false;
};

// Runs one command line (without the program name). Written paths, info lines, the usage text
// and the version go to out; one "trimlet-cli: ..." line per failure, and the progress line,
// to err. Control characters in names never reach either raw. Returns the exit status: 0, 1 when any file failed, 2 for a usage error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Terminal& terminal = {});

}  // namespace trimlet::cli
