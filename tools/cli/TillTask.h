#pragma once

#include "CliOptions.h"
#include "FleetRunner.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorral {

// One till command with everything checked that can be checked before a connection opens.
struct CTillTask
{
    CCommand Command = CCommand::None;
    std::vector<std::string> ChangeFolders; // --cd, then the PATH of ls
    std::string Name;                       // the till's entry: REMOTE, NAME, or FROM of mv
    std::string NewName;                    // TO of mv
    // get: the destination file, or in fleet mode the folder that gets one folder per till.
    // put: the source file.
    std::filesystem::path Local;
    bool FolderPerTill = false;
};

// Checks names and local files. Throws CUsageError for a name that cannot be sent or used, and
// CCliError(LocalFile) for a source or destination folder that is not there.
CTillTask PrepareTillTask(const CCliRequest& request);

// The folder below a fleet download's folder that takes one till's files: its address with every
// character that a file name cannot safely hold replaced.
std::string TillFolderName(const CTillAddress& till);

// Runs the task over an open channel, the way the window runs the same operation: the same command
// lines, the same reply readers, the same transfer engine. Unlike the window it reports a reply
// that never came, so that a script cannot take silence for success.
CTillOutcome RunTillTask(CCommandChannel& channel, const CTillTask& task, const CTillAddress& till,
                         const CProgress& progress);

inline constexpr const char* NoAnswerText = "The till did not answer.";

} // namespace quorral
