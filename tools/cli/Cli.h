#pragma once

#include "discovery/Discovery.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace quorral {

// What quorral-cli takes from the process around it, so that tests can run it in-process.
struct CCliEnvironment
{
    std::ostream& Out;
    std::ostream& Err;
    // Progress goes to Err only when it is a terminal: never into a log or a pipe.
    bool ErrIsTerminal = false;
    // The adapters that discover probes; --adapter replaces them.
    std::function<std::vector<CAdapterAddress>()> Adapters;
};

// Runs one command line (the arguments after the program name); returns the exit status.
int RunCli(const std::vector<std::string>& arguments, const CCliEnvironment& environment);

} // namespace quorral
