#include <iostream>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/cli.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    trimlet::cli::Terminal terminal;
    terminal.stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
    terminal.stdoutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    winsize size{};
    if (terminal.stderrIsTerminal && ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0)
        terminal.columns = size.ws_col;
    return trimlet::cli::run({argv + 1, argv + argc}, std::cout, std::cerr, terminal);
}
