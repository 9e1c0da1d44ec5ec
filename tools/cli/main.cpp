// quorral-cli: the till commands of the window for scripts, to one till or to a whole fleet.

#include "Cli.h"
#include "discovery/Adapters.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

bool ErrorStreamIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const quorral::CCliEnvironment environment{std::cout, std::cerr, ErrorStreamIsTerminal(),
                                               quorral::NetworkAdapters};
    return quorral::RunCli(arguments, environment);
}
