#pragma once

#include "discovery/Discovery.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quorral {

// The exit status of quorral-cli; the help text and the README list the same values.
enum class CExitCode : int {
    Success = 0,
    TillFailed = 1,      // the till refused (its reason is shown) or did not confirm
    Usage = 2,           // the command line, or a name that cannot be sent
    Connection = 3,      // cannot connect, connection lost, no answer, time limit reached
    LocalFile = 4,       // a local file cannot be read or written
    SomeTillsFailed = 5, // fleet mode: the table says which tills and why
};

// A failure found before or outside any exchange with a till.
class CCliError : public std::runtime_error
{
public:
    CCliError(CExitCode code, const std::string& text) : std::runtime_error(text), FCode(code) {}
    CExitCode Code() const { return FCode; }

private:
    CExitCode FCode;
};

class CUsageError : public CCliError
{
public:
    explicit CUsageError(const std::string& text) : CCliError(CExitCode::Usage, text) {}
};

enum class CCommand { None, Pwd, Ls, Get, Put, Rm, Rmdir, Mv, Mkdir, Discover, Info, Help };

// The word that names a command; nothing for a word that names none.
std::optional<CCommand> CommandFromWord(std::string_view word);
std::string_view CommandWord(CCommand command);
// pwd, ls, get, put, rm, rmdir, mv and mkdir talk to tills over TCP.
bool IsTillCommand(CCommand command);

struct CTillAddress
{
    std::string Host;
    int Port = 0;

    // "host:port", with an IPv6 address in brackets.
    std::string Label() const;
    bool operator==(const CTillAddress&) const = default;
};

// One HOST, HOST:PORT, [IPv6] or [IPv6]:PORT; defaultPort when none is given. Throws CUsageError.
CTillAddress ParseTillAddress(std::string_view text, int defaultPort);

// The lines of a host list: one till a line, "#" starts a comment, blank lines are skipped.
// Throws CUsageError naming the line of the first bad entry or of a till listed twice.
std::vector<CTillAddress> ParseHostList(std::string_view text, int defaultPort);

struct CCliRequest
{
    CCommand Command = CCommand::None;
    std::vector<std::string> Arguments; // the command's own, in order
    bool Help = false;                  // for Command, or in general when there is none
    bool Version = false;

    // Tills as given with --host (port still to be filled in) and the --hosts files, in order.
    std::vector<std::string> HostTexts;
    std::vector<std::string> HostFiles;
    std::optional<int> Port;
    std::optional<std::string> ChangeFolder;
    int Jobs = 16;
    std::chrono::milliseconds TimeLimit{300000}; // zero: none
    bool Json = false;
    bool Progress = true;

    // discover and info
    std::chrono::milliseconds DiscoveryTimeout{2000};
    std::uint16_t ListenPort = DiscoveryReplyPort;
    std::uint16_t ProbePort = DiscoveryProbePort;
    // Replaces the system's adapter list; tests use it to keep probes on loopback.
    std::optional<std::vector<CAdapterAddress>> Adapters;

    // More than one till, or a host list: every till gets the command and a summary row.
    bool IsFleet() const { return HostFiles.size() > 0 || HostTexts.size() > 1; }
};

// Reads the arguments after the program name. Throws CUsageError.
CCliRequest ParseCommandLine(const std::vector<std::string>& arguments);

// The general help, or the help of one command.
std::string HelpText(CCommand command);

inline constexpr std::string_view ProgramName = "quorral-cli";

} // namespace quorral
