#include "Cli.h"

#include "CliOptions.h"
#include "CliOutput.h"
#include "FleetRunner.h"
#include "TillTask.h"
#include "discovery/DiscoverySweep.h"
#include "link/SocketError.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#ifndef QUORRAL_VERSION
#define QUORRAL_VERSION "0"
#endif

namespace quorral {
namespace {

namespace fs = std::filesystem;

int Status(CExitCode code)
{
    return static_cast<int>(code);
}

void ReportError(const CCliEnvironment& environment, const std::string& text)
{
    environment.Err << ProgramName << ": " << Printable(text) << "\n";
}

std::string ReadHostFile(const std::string& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) {
        throw CCliError(CExitCode::LocalFile, "Cannot read the host list " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        throw CCliError(CExitCode::LocalFile, "Cannot read the host list " + path);
    }
    return text.str();
}

std::vector<CTillAddress> TillsOf(const CCliRequest& request)
{
    const int port = request.Port.value_or(DefaultTillPort);
    std::vector<CTillAddress> tills;
    const auto add = [&](CTillAddress till, const std::string& where) {
        if (std::find(tills.begin(), tills.end(), till) != tills.end()) {
            throw CUsageError(where + till.Label() + " is listed twice");
        }
        tills.push_back(std::move(till));
    };
    for (const std::string& text : request.HostTexts) {
        add(ParseTillAddress(text, port), "");
    }
    for (const std::string& file : request.HostFiles) {
        std::vector<CTillAddress> listed;
        try {
            listed = ParseHostList(ReadHostFile(file), port);
        } catch (const CUsageError& error) {
            throw CUsageError(file + ": " + error.what());
        }
        for (CTillAddress& till : listed) {
            add(std::move(till), file + ": ");
        }
    }
    if (request.HostTexts.empty() && request.HostFiles.empty()) {
        tills.push_back({"127.0.0.1", port});
    }
    if (tills.empty()) {
        throw CUsageError("no tills in the host list");
    }
    return tills;
}

std::string EntriesJson(const CFolderRows& rows)
{
    std::string json = "[";
    for (const CFolderRow& row : rows) {
        json += (json.size() > 1 ? "," : "") +
                CJsonObject().Add("name", row.Caption).Add("folder", row.IsFolder).Text();
    }
    return json + "]";
}

std::string RunJson(CCommand command, const CTillRun& run)
{
    const CTillOutcome& outcome = run.Outcome;
    CJsonObject json;
    json.Add("till", run.Till.Label())
        .Add("command", CommandWord(command))
        .Add("result", outcome.Succeeded() ? "ok" : "failed")
        .Add("exit", Status(outcome.Exit))
        .Add("bytes", outcome.Bytes)
        .AddSeconds("seconds", run.Elapsed);
    if (!outcome.Succeeded()) {
        json.Add("error", outcome.Error);
        return json.Text();
    }
    if (command == CCommand::Pwd || command == CCommand::Ls) {
        json.Add("folder", outcome.Folder);
    }
    if (command == CCommand::Ls) {
        json.AddRaw("entries", EntriesJson(outcome.Entries));
    }
    if (command == CCommand::Get) {
        json.Add("file", outcome.Written.string());
    }
    return json.Text();
}

// What pwd and ls print for one till.
void PrintListing(std::ostream& out, CCommand command, const CTillOutcome& outcome)
{
    if (command == CCommand::Pwd) {
        out << Printable(outcome.Folder) << "\n";
    }
    if (command == CCommand::Ls) {
        for (const CFolderRow& row : outcome.Entries) {
            out << Printable(row.Caption) << (row.IsFolder ? "/" : "") << "\n";
        }
    }
}

std::string SummaryTable(const std::vector<CTillRun>& runs)
{
    std::vector<std::vector<std::string>> rows = {{"TILL", "RESULT", "BYTES", "TIME"}};
    for (const CTillRun& run : runs) {
        rows.push_back({run.Till.Label(), run.Outcome.Succeeded() ? "ok" : Printable(run.Outcome.Error),
                        std::to_string(run.Outcome.Bytes), SecondsText(run.Elapsed)});
    }
    return FormatTable(rows);
}

int RunTillCommand(const CCliRequest& request, const CCliEnvironment& environment)
{
    const std::vector<CTillAddress> tills = TillsOf(request);
    const CTillTask task = PrepareTillTask(request);
    const bool fleet = request.IsFleet();
    const bool progress = request.Progress && environment.ErrIsTerminal;
    CFleetOptions options;
    options.Jobs = fleet ? request.Jobs : 1;
    options.TimeLimit = request.TimeLimit;
    const CTillJob job = [&task](CCommandChannel& channel, const CTillAddress& till, const CProgress& moved) {
        return RunTillTask(channel, task, till, moved);
    };

    if (!fleet) {
        const bool transfer = task.Command == CCommand::Get || task.Command == CCommand::Put;
        CProgressBar bar(environment.Err, progress && transfer,
                         std::string(CommandWord(task.Command)) + " " + Printable(task.Name));
        CFleetEvents events;
        events.Progress = [&bar](std::size_t, std::int64_t done, std::int64_t total) {
            bar.Update(done, total);
        };
        const std::vector<CTillRun> runs = RunFleet(tills, options, job, events);
        bar.Finish();
        const CTillRun& run = runs.front();
        if (request.Json) {
            environment.Out << RunJson(task.Command, run) << "\n";
        } else if (run.Outcome.Succeeded()) {
            PrintListing(environment.Out, task.Command, run.Outcome);
        }
        if (!run.Outcome.Succeeded()) {
            ReportError(environment, run.Outcome.Error);
        }
        return Status(run.Outcome.Exit);
    }

    CFleetStatus status(environment.Err, progress, tills.size());
    std::vector<std::int64_t> shown(tills.size(), 0);
    CFleetEvents events;
    events.Progress = [&](std::size_t till, std::int64_t done, std::int64_t) {
        status.Moved(done - shown[till]);
        shown[till] = done;
    };
    events.Finished = [&](std::size_t, const CTillRun& run) { status.Finished(run.Outcome.Succeeded()); };
    const std::vector<CTillRun> runs = RunFleet(tills, options, job, events);
    status.Finish();

    const auto failed = static_cast<std::size_t>(std::count_if(
        runs.begin(), runs.end(), [](const CTillRun& run) { return !run.Outcome.Succeeded(); }));
    if (request.Json) {
        for (const CTillRun& run : runs) {
            environment.Out << RunJson(task.Command, run) << "\n";
        }
    } else {
        bool listed = false;
        for (const CTillRun& run : runs) {
            if (run.Outcome.Succeeded() && (task.Command == CCommand::Pwd || task.Command == CCommand::Ls)) {
                environment.Out << "== " << run.Till.Label() << " ==\n";
                PrintListing(environment.Out, task.Command, run.Outcome);
                listed = true;
            }
        }
        environment.Out << (listed ? "\n" : "") << SummaryTable(runs) << runs.size() - failed << " of "
                        << runs.size() << " tills succeeded\n";
    }
    return Status(failed == 0 ? CExitCode::Success : CExitCode::SomeTillsFailed);
}

CDiscoverySweepOptions SweepOptions(const CCliRequest& request)
{
    CDiscoverySweepOptions options;
    options.ListenPort = request.ListenPort;
    options.ProbePort = request.ProbePort;
    options.Timeout = request.DiscoveryTimeout;
    return options;
}

int RunDiscover(const CCliRequest& request, const CCliEnvironment& environment)
{
    const std::vector<CAdapterAddress> adapters =
        request.Adapters ? *request.Adapters
                         : (environment.Adapters ? environment.Adapters() : std::vector<CAdapterAddress>());
    CDiscoverySweepOptions options = SweepOptions(request);
    options.Targets = BroadcastTargets(adapters);
    if (options.Targets.empty()) {
        throw CCliError(CExitCode::Connection, "No network adapter to probe.");
    }
    const std::vector<CDiscoveredTill> found = RunDiscoverySweep(options);
    if (request.Json) {
        std::string tills = "[";
        for (const CDiscoveredTill& till : found) {
            tills += (tills.size() > 1 ? "," : "") + CJsonObject()
                                                         .Add("address", till.Address)
                                                         .Add("hostname", till.Reply.HostName)
                                                         .Add("mcname", till.Reply.McName)
                                                         .Add("mcid", till.Reply.McId)
                                                         .Add("version", till.Reply.VersionString)
                                                         .Text();
        }
        environment.Out << CJsonObject().Add("command", "discover").AddRaw("tills", tills + "]").Text()
                        << "\n";
        return Status(CExitCode::Success);
    }
    if (found.empty()) {
        environment.Err << "No till answered.\n";
        return Status(CExitCode::Success);
    }
    // The Detect Hosts window's column titles.
    std::vector<std::vector<std::string>> rows = {{"IP Address", "Hostname", "MC Name", "ID#", "Version"}};
    for (const CDiscoveredTill& till : found) {
        rows.push_back({till.Address, Printable(till.Reply.HostName), Printable(till.Reply.McName),
                        Printable(till.Reply.McId), Printable(till.Reply.VersionString)});
    }
    environment.Out << FormatTable(rows);
    return Status(CExitCode::Success);
}

int RunInfo(const CCliRequest& request, const CCliEnvironment& environment)
{
    const std::string& host = request.Arguments.front();
    const std::string address = ResolveIpv4(host);
    if (address.empty()) {
        throw CCliError(CExitCode::Connection, "Cannot find the address of " + host);
    }
    CDiscoverySweepOptions options = SweepOptions(request);
    options.Targets = {address};
    options.OnlyFrom = address;
    const std::vector<CDiscoveredTill> found = RunDiscoverySweep(options);
    if (found.empty()) {
        throw CCliError(CExitCode::Connection, "No answer from " + address + ".");
    }
    const CDiscoveryReply& reply = found.front().Reply;
    if (request.Json) {
        std::string details = "[";
        for (const auto& [name, value] : reply.Details) {
            details +=
                (details.size() > 1 ? "," : "") + CJsonObject().Add("name", name).Add("value", value).Text();
        }
        environment.Out << CJsonObject()
                               .Add("command", "info")
                               .Add("address", address)
                               .Add("hostname", reply.HostName)
                               .Add("mcname", reply.McName)
                               .Add("mcid", reply.McId)
                               .Add("version", reply.VersionString)
                               .AddRaw("details", details + "]")
                               .Text()
                        << "\n";
        return Status(CExitCode::Success);
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto& [name, value] : reply.Details) {
        rows.push_back({Printable(name), Printable(value)});
    }
    environment.Out << FormatTable(rows);
    return Status(CExitCode::Success);
}

} // namespace

int RunCli(const std::vector<std::string>& arguments, const CCliEnvironment& environment)
{
    CCliRequest request;
    try {
        request = ParseCommandLine(arguments);
    } catch (const CUsageError& error) {
        ReportError(environment, error.what());
        environment.Err << "Try '" << ProgramName << " --help'.\n";
        return Status(CExitCode::Usage);
    }
    if (request.Version) {
        environment.Out << ProgramName << " " << QUORRAL_VERSION << "\n";
        return Status(CExitCode::Success);
    }
    if (request.Help) {
        environment.Out << HelpText(request.Command);
        return Status(CExitCode::Success);
    }
    try {
        switch (request.Command) {
        case CCommand::Discover:
            return RunDiscover(request, environment);
        case CCommand::Info:
            return RunInfo(request, environment);
        default:
            return RunTillCommand(request, environment);
        }
    } catch (const CCliError& error) {
        ReportError(environment, error.what());
        return Status(error.Code());
    } catch (const CSocketError& error) {
        ReportError(environment, error.what());
        return Status(CExitCode::Connection);
    } catch (const std::exception& error) {
        ReportError(environment, error.what());
        return Status(CExitCode::LocalFile);
    }
}

} // namespace quorral
