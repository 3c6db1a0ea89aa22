#pragma once
// trimlet-cli: the batch tool on top of codecs/ and imaging/.

#include <ostream>
#include <string>
#include <vector>

namespace trimlet::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// What run needs to know about standard error: the progress line of a batch is shown only on
// a terminal, and cut to its width.
struct Terminal {
    bool stderrIsTerminal = false;
    int columns = 0;  // 0 when unknown
};

// Runs one command line (without the program name). Written paths, info lines, the usage text
// and the version go to out; one "trimlet-cli: ..." line per failure, and the progress line,
// to err. Returns the exit status: 0, 1 when any file failed, 2 for a usage error.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Terminal& terminal = {});

}  // namespace trimlet::cli
