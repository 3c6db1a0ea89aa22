#pragma once
// trimlet-cli run in the test's own process, with what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace trimlet {

struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun runCli(const std::vector<std::string>& args, cli::Terminal terminal = {})
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err, terminal);
    return {status, out.str(), err.str()};
}

}  // namespace trimlet
