#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    return trimlet::cli::run({argv + 1, argv + argc}, std::cout, std::cerr);
}
