#pragma once
// trimlet-cli: the batch tool on top of codecs/ and imaging/.

#include <ostream>
#include <string>
#include <vector>

namespace trimlet::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs one command line (without the program name). Written paths and info lines go to out,
// the single "trimlet-cli: reason" line of a failure to err. Returns the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace trimlet::cli
