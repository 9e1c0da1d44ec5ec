// quorral-till: a till simulator. Serves one folder over the till protocol and answers discovery
// probes, for the demo, the end-to-end tests and anyone who wants to rehearse without a till.

#include "TillDemo.h"
#include "TillServer.h"

#include <atomic>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <exception>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#ifndef QUORRAL_VERSION
#define QUORRAL_VERSION "0"
#endif

namespace quorral {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler may only touch a lock-free flag");
std::atomic<bool> StopRequested{false};

void OnStopSignal(int)
{
    StopRequested = true;
}

constexpr const char* Usage =
    "Usage: quorral-till (--root DIR | --demo DIR) [options]\n"
    "\n"
    "Serves DIR as the till's folder C:\\TILL over the till protocol and answers discovery probes.\n"
    "\n"
    "  --root DIR             the folder to serve\n"
    "  --demo DIR             fill DIR with a small demo shop when it is empty, then serve it\n"
    "  --host ADDRESS         address of both sockets (default 127.0.0.1; 0.0.0.0 for every network,\n"
    "                         which discovery broadcasts from other machines need)\n"
    "  --port N               TCP port of the till protocol (default 5559; 0: any free port)\n"
    "  --discovery-port N     UDP port of the discovery responder (default 5555; 0: any free port)\n"
    "  --no-discovery         do not answer discovery probes\n"
    "  --plain-replies        send replies as plain text instead of scrambled\n"
    "  --max-upload BYTES     refuse uploads announced larger than this (default 4294967296)\n"
    "  --stall-limit SECONDS  drop a client whose upload stops for this long (default 30)\n"
    "  --max-clients N        connections served at once (default 256)\n"
    "  --hostname TEXT        HOSTNAME in discovery replies (default: this machine's name)\n"
    "  --mc-name TEXT         MCNAME in discovery replies (default \"Quorral demo till\")\n"
    "  --mc-id TEXT           MCID in discovery replies (default \"1\")\n"
    "  --version-string TEXT  VERSIONSTRING in discovery replies (default \"quorral-till " QUORRAL_VERSION
    "\")\n"
    "  --quiet                no log lines on stderr\n"
    "  --help, --version\n";

class CUsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

template <class T>
T ParseNumber(std::string_view option, std::string_view text, T low, T high)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw CUsageError(std::string(option) + ": not a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ": " + std::string(text));
    }
    return value;
}

struct CCommandLine
{
    CTillServerOptions Server;
    std::optional<std::filesystem::path> Demo;
    bool Quiet = false;
    bool Help = false;
    bool Version = false;
};

CCommandLine ParseCommandLine(const std::vector<std::string_view>& arguments)
{
    CCommandLine result;
    bool haveRoot = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        std::string_view option = arguments[at];
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = option.find('=');
            option.substr(0, 2) == "--" && equals != option.npos) {
            inlineValue = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        const auto value = [&]() -> std::string_view {
            if (inlineValue) {
                return *inlineValue;
            }
            if (at + 1 >= arguments.size()) {
                throw CUsageError(std::string(option) + " needs a value");
            }
            return arguments[++at];
        };
        const auto flag = [&] {
            if (inlineValue) {
                throw CUsageError(std::string(option) + " takes no value");
            }
            return true;
        };
        if (option == "--root" || option == "--demo") {
            if (haveRoot) {
                throw CUsageError("give one folder, with --root or --demo");
            }
            haveRoot = true;
            result.Server.Root = std::filesystem::path(std::string(value()));
            if (option == "--demo") {
                result.Demo = result.Server.Root;
            }
        } else if (option == "--host") {
            result.Server.Host = value();
        } else if (option == "--port") {
            result.Server.Port = ParseNumber(option, value(), 0, 65535);
        } else if (option == "--discovery-port") {
            result.Server.DiscoveryPort = ParseNumber(option, value(), 0, 65535);
        } else if (option == "--no-discovery" && flag()) {
            result.Server.DiscoveryPort = NoDiscovery;
        } else if (option == "--plain-replies" && flag()) {
            result.Server.PlainReplies = true;
        } else if (option == "--max-upload") {
            result.Server.Limits.MaxUpload =
                ParseNumber<std::uint64_t>(option, value(), 0, std::numeric_limits<std::uint64_t>::max());
        } else if (option == "--stall-limit") {
            result.Server.UploadStallLimit =
                std::chrono::seconds(ParseNumber<std::int64_t>(option, value(), 1, 24 * 3600));
        } else if (option == "--max-clients") {
            result.Server.MaxClients = ParseNumber<std::size_t>(option, value(), 1, 100000);
        } else if (option == "--hostname") {
            result.Server.Identity.HostName = value();
        } else if (option == "--mc-name") {
            result.Server.Identity.McName = value();
        } else if (option == "--mc-id") {
            result.Server.Identity.McId = value();
        } else if (option == "--version-string") {
            result.Server.Identity.VersionString = value();
        } else if (option == "--quiet" && flag()) {
            result.Quiet = true;
        } else if ((option == "--help" || option == "-h") && flag()) {
            result.Help = true;
        } else if (option == "--version" && flag()) {
            result.Version = true;
        } else {
            throw CUsageError("unknown option: " + std::string(option));
        }
    }
    if (!haveRoot && !result.Help && !result.Version) {
        throw CUsageError("give the folder to serve with --root DIR or --demo DIR");
    }
    return result;
}

int Run(const std::vector<std::string_view>& arguments)
{
    CCommandLine commandLine;
    try {
        commandLine = ParseCommandLine(arguments);
    } catch (const CUsageError& error) {
        std::cerr << "quorral-till: " << error.what() << "\n\n" << Usage;
        return 2;
    }
    if (commandLine.Help) {
        std::cout << Usage;
        return 0;
    }
    if (commandLine.Version) {
        std::cout << "quorral-till " QUORRAL_VERSION "\n";
        return 0;
    }
    CTillServerOptions& options = commandLine.Server;
    options.Log = commandLine.Quiet ? nullptr : &std::cerr;
    try {
        if (commandLine.Demo && FillDemoFolder(*commandLine.Demo) && !commandLine.Quiet) {
            std::cerr << "quorral-till: filled " << commandLine.Demo->string() << " with the demo\n";
        }
        CTillServer server(options);
        server.Listen();
        if (!server.DiscoveryProblem().empty()) {
            std::cerr << "quorral-till: " << server.DiscoveryProblem() << "\n";
        }
        if (!commandLine.Quiet) {
            std::cerr << "quorral-till: serving " << std::filesystem::absolute(options.Root).string()
                      << " as " << server.RootSpelling() << " on " << options.Host << " port "
                      << server.Port();
            if (server.DiscoveryPort() != NoDiscovery) {
                std::cerr << ", discovery on UDP port " << server.DiscoveryPort();
            }
            std::cerr << std::endl;
        }
        std::signal(SIGINT, OnStopSignal);
        std::signal(SIGTERM, OnStopSignal);
        server.Serve(StopRequested);
        if (!commandLine.Quiet) {
            std::cerr << "quorral-till: stopped" << std::endl;
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "quorral-till: " << error.what() << std::endl;
        return 1;
    }
}

} // namespace
} // namespace quorral

int main(int argc, char** argv)
{
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    return quorral::Run(arguments);
}
