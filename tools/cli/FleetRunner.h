#pragma once

#include "CliOptions.h"
#include "files/FolderRow.h"
#include "link/CommandChannel.h"
#include "link/Transfer.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorral {

// What one command achieved on one till.
struct CTillOutcome
{
    CExitCode Exit = CExitCode::Success;
    std::string Error;             // what the operator is told; empty on success
    std::int64_t Bytes = 0;        // gzip bytes moved over the connection, as far as they got
    std::string Folder;            // pwd and ls: the till's current folder as it spells it
    CFolderRows Entries;           // ls
    std::filesystem::path Written; // get: the local file

    bool Succeeded() const { return Exit == CExitCode::Success; }

    static CTillOutcome Failure(CExitCode exit, std::string error)
    {
        CTillOutcome outcome;
        outcome.Exit = exit;
        outcome.Error = std::move(error);
        return outcome;
    }
};

struct CTillRun
{
    CTillAddress Till;
    CTillOutcome Outcome;
    std::chrono::milliseconds Elapsed{0};
};

struct CFleetOptions
{
    int Jobs = 16;
    // How long one till may take, connection included; zero: no limit.
    std::chrono::milliseconds TimeLimit{0};
    std::chrono::milliseconds ReplyWait = DefaultReplyWait;
    std::chrono::milliseconds ConnectTimeout = DefaultConnectTimeout;
};

// The command itself, on a connection that is open. Runs on a worker thread: it must touch nothing
// that another till's run touches. Socket errors may pass out; the runner reports them.
using CTillJob = std::function<CTillOutcome(CCommandChannel& channel, const CTillAddress& till,
                                            const CProgress& progress)>;

// What the caller hears while the fleet runs; calls never overlap, whichever thread makes them.
struct CFleetEvents
{
    std::function<void(std::size_t till, std::int64_t done, std::int64_t total)> Progress;
    std::function<void(std::size_t till, const CTillRun& run)> Finished;
};

// "Failed to connect to till", as the window says it, with the socket layer's reason after it.
std::string ConnectFailureText(const std::string& reason);
// What a till that ran out of time is reported with.
std::string TimeLimitText(std::chrono::milliseconds limit);

// Connects to every till and runs the job there, at most options.Jobs tills at once. A till that
// exceeds the time limit has its connection ended from outside, wherever it was blocked. Every
// failure stays with its own till: the result has one run per till, in the order given.
std::vector<CTillRun> RunFleet(const std::vector<CTillAddress>& tills, const CFleetOptions& options,
                               const CTillJob& job, const CFleetEvents& events = {});

} // namespace quorral
