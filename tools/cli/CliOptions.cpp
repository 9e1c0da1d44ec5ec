#include "CliOptions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace quorral {
namespace {

struct CCommandName
{
    CCommand Command;
    std::string_view Word;
    std::size_t MinArguments;
    std::size_t MaxArguments;
};

constexpr std::array<CCommandName, 11> Commands = {{
    {CCommand::Pwd, "pwd", 0, 0},
    {CCommand::Ls, "ls", 0, 1},
    {CCommand::Get, "get", 1, 2},
    {CCommand::Put, "put", 1, 2},
    {CCommand::Rm, "rm", 1, 1},
    {CCommand::Rmdir, "rmdir", 1, 1},
    {CCommand::Mv, "mv", 2, 2},
    {CCommand::Mkdir, "mkdir", 1, 1},
    {CCommand::Discover, "discover", 0, 0},
    {CCommand::Info, "info", 1, 1},
    {CCommand::Help, "help", 0, 1},
}};

const CCommandName& NameOf(CCommand command)
{
    return *std::find_if(Commands.begin(), Commands.end(),
                         [command](const CCommandName& name) { return name.Command == command; });
}

bool HasSpaceOrControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '\x7F'; });
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

template <class T>
T ParseInteger(std::string_view option, std::string_view text, T low, T high)
{
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
        value > high) {
        throw CUsageError(std::string(option) + ": not a whole number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ": " + std::string(text));
    }
    return value;
}

std::chrono::milliseconds ParseSeconds(std::string_view option, std::string_view text)
{
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    // A week is more than any transfer or sweep needs, and keeps the milliseconds far from overflow.
    constexpr double Longest = 7 * 24 * 3600;
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) ||
        seconds < 0 || seconds > Longest) {
        throw CUsageError(std::string(option) + ": not a number of seconds: " + std::string(text));
    }
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

int ParsePort(std::string_view what, std::string_view text)
{
    return ParseInteger(what, text, 1, 65535);
}

// a.b.c.d, each part a decimal number up to 255.
std::optional<std::uint32_t> ParseDotted(std::string_view text)
{
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const std::size_t digits = static_cast<std::size_t>(end - text.data());
        if (error != std::errc() || digits == 0 || digits > 3 || value > 255) {
            return std::nullopt;
        }
        address = address << 8 | value;
        text.remove_prefix(digits);
    }
    return text.empty() ? std::optional<std::uint32_t>(address) : std::nullopt;
}

// ADDRESS, ADDRESS/NETMASK or ADDRESS/BITS; a lone address is a network of its own.
CAdapterAddress ParseAdapter(std::string_view text)
{
    const std::size_t slash = text.find('/');
    const std::optional<std::uint32_t> address = ParseDotted(text.substr(0, slash));
    std::optional<std::uint32_t> netmask = 0xFFFFFFFFu;
    if (slash != std::string_view::npos) {
        const std::string_view mask = text.substr(slash + 1);
        if (mask.find('.') != std::string_view::npos) {
            netmask = ParseDotted(mask);
        } else {
            const int bits = ParseInteger<int>("--adapter", mask, 0, 32);
            netmask = bits == 0 ? 0u : ~std::uint32_t{0} << (32 - bits);
        }
    }
    if (!address || !netmask) {
        throw CUsageError("--adapter: not ADDRESS[/NETMASK]: " + std::string(text));
    }
    return {*address, *netmask};
}

constexpr std::string_view GeneralHelp =
    R"(Usage: quorral-cli [options] COMMAND [arguments]

Moves files to and from tills: one till, or a whole fleet at once.

Commands:
  pwd                   print the till's current folder
  ls [PATH]             list the till's current folder, or the folder PATH
  get REMOTE [LOCAL]    copy the till's file REMOTE to this PC
  put LOCAL [NAME]      copy the file LOCAL to the till
  rm NAME               delete a file on the till
  rmdir NAME            delete a folder on the till
  mv FROM TO            rename a file or folder on the till
  mkdir NAME            create a folder on the till
  discover              find the tills on the local networks
  info ADDRESS          show every detail a till gives about itself
  help [COMMAND]        this text, or the help of one command

Options of the till commands (pwd to mkdir):
  --host HOST[:PORT]    the till (default 127.0.0.1); more than one makes a fleet
  --hosts FILE          a fleet: one HOST[:PORT] a line, "#" starts a comment
  --port N              the port of every till given without one (default 5559)
  --cd PATH             change the till's current folder before the command
  --jobs N              fleet mode: how many tills are served at once (default 16)
  --time-limit S        give up on a till after S seconds (default 300; 0: no limit)

Options of every command:
  --json                print JSON for scripts: one object, or in fleet mode one line per till
  --no-progress         no progress bars (they only ever go to a terminal, on stderr)
  --help                the help of the command; --version

Names on the till (REMOTE, NAME, FROM, TO) are entries of its current folder; reach other
folders with --cd. In fleet mode the command runs on every till in parallel and a table (till,
result, bytes, time) follows; one till failing never stops the others.

Exit status:
  0  success
  1  the till refused the command (its reason is shown) or did not confirm it
  2  usage error: an unknown option, a missing argument, a name that cannot be sent
  3  no connection: cannot connect, connection lost, no answer, time limit reached
  4  local file error: the source cannot be read or the destination not written
  5  fleet mode: at least one till failed (the table says which and why)
)";

std::string CommandHelp(CCommand command)
{
    const std::string tillOptions = "\nOptions: --host, --hosts, --port, --cd, --jobs, --time-limit, --json, "
                                    "--no-progress\n(see quorral-cli --help).\n";
    const std::string discoveryOptions =
        "\nOptions:\n"
        "  --timeout S       how long to wait for answers, in seconds\n"
        "  --listen-port N   the local UDP port the replies come to (default 32567; 0: any)\n"
        "  --probe-port N    the UDP port tills listen on for the probe (default 5555)\n"
        "  --json            print JSON for scripts\n";
    switch (command) {
    case CCommand::Pwd:
        return "Usage: quorral-cli [options] pwd\n\nPrints the till's current folder as the till spells "
               "it.\n" +
               tillOptions;
    case CCommand::Ls:
        return "Usage: quorral-cli [options] ls [PATH]\n\n"
               "Lists the till's current folder, or the folder PATH (any path the till takes):\n"
               "folders first, each with \"/\" after its name, then files.\n" +
               tillOptions;
    case CCommand::Get:
        return "Usage: quorral-cli [options] get REMOTE [LOCAL]\n\n"
               "Copies the file REMOTE of the till's current folder to LOCAL: by default REMOTE in the\n"
               "current folder, or inside LOCAL when that is a folder. LOCAL is replaced only once the\n"
               "whole file has arrived and been decompressed; on any failure it stays as it was.\n\n"
               "In fleet mode LOCAL is a folder (default the current one) and each till's copy goes to\n"
               "LOCAL/HOST_PORT/REMOTE.\n" +
               tillOptions;
    case CCommand::Put:
        return "Usage: quorral-cli [options] put LOCAL [NAME]\n\n"
               "Copies the file LOCAL into the till's current folder as NAME (default: LOCAL's own name),\n"
               "replacing a file of that name there. Succeeds only when the till confirms it.\n" +
               tillOptions;
    case CCommand::Rm:
        return "Usage: quorral-cli [options] rm NAME\n\nDeletes the file NAME of the till's current "
               "folder.\n" +
               tillOptions;
    case CCommand::Rmdir:
        return "Usage: quorral-cli [options] rmdir NAME\n\n"
               "Deletes the folder NAME of the till's current folder.\n" +
               tillOptions;
    case CCommand::Mv:
        return "Usage: quorral-cli [options] mv FROM TO\n\n"
               "Renames the file or folder FROM of the till's current folder to TO.\n" +
               tillOptions;
    case CCommand::Mkdir:
        return "Usage: quorral-cli [options] mkdir NAME\n\n"
               "Creates the folder NAME in the till's current folder.\n" +
               tillOptions;
    case CCommand::Discover:
        return "Usage: quorral-cli discover [--timeout S] [options]\n\n"
               "Sends the discovery probe to the broadcast address of each of the first six network\n"
               "adapters (up, not loopback), again every half second, and lists every till that answers\n"
               "within S seconds (default 2): its address, host name, MC name, ID and version.\n" +
               discoveryOptions;
    case CCommand::Info:
        return "Usage: quorral-cli info ADDRESS [--timeout S] [options]\n\n"
               "Sends the discovery probe to the till at ADDRESS and prints every detail of its answer,\n"
               "in the order the till gives them. Waits at most S seconds (default 2).\n" +
               discoveryOptions;
    case CCommand::None:
    case CCommand::Help:
        break;
    }
    return std::string(GeneralHelp);
}

} // namespace

std::optional<CCommand> CommandFromWord(std::string_view word)
{
    for (const CCommandName& name : Commands) {
        if (name.Word == word) {
            return name.Command;
        }
    }
    return std::nullopt;
}

std::string_view CommandWord(CCommand command)
{
    return command == CCommand::None ? std::string_view() : NameOf(command).Word;
}

bool IsTillCommand(CCommand command)
{
    switch (command) {
    case CCommand::Pwd:
    case CCommand::Ls:
    case CCommand::Get:
    case CCommand::Put:
    case CCommand::Rm:
    case CCommand::Rmdir:
    case CCommand::Mv:
    case CCommand::Mkdir:
        return true;
    default:
        return false;
    }
}

std::string CTillAddress::Label() const
{
    const bool ipv6 = Host.find(':') != std::string::npos;
    return (ipv6 ? "[" + Host + "]" : Host) + ":" + std::to_string(Port);
}

CTillAddress ParseTillAddress(std::string_view text, int defaultPort)
{
    std::string_view host = text;
    std::optional<std::string_view> port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            throw CUsageError("not a till address: " + std::string(text));
        }
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') {
                throw CUsageError("not a till address: " + std::string(text));
            }
            port = rest.substr(1);
        }
    } else if (const std::size_t colon = text.find(':');
               colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        // One colon separates the port; more than one is an IPv6 address without one.
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty() || HasSpaceOrControl(host)) {
        throw CUsageError("not a till address: " + std::string(text));
    }
    return {std::string(host), port ? ParsePort("port of " + std::string(text), *port) : defaultPort};
}

std::vector<CTillAddress> ParseHostList(std::string_view text, int defaultPort)
{
    std::vector<CTillAddress> tills;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        line = Trimmed(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        CTillAddress till;
        try {
            till = ParseTillAddress(line, defaultPort);
        } catch (const CUsageError& error) {
            throw CUsageError(where + error.what());
        }
        if (std::find(tills.begin(), tills.end(), till) != tills.end()) {
            throw CUsageError(where + till.Label() + " is listed twice");
        }
        tills.push_back(std::move(till));
    }
    return tills;
}

CCliRequest ParseCommandLine(const std::vector<std::string>& arguments)
{
    CCliRequest request;
    bool optionsEnded = false;
    std::string tillOption;      // the first option that only the till commands take
    std::string discoveryOption; // the first option that only discover and info take
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (optionsEnded || argument.size() < 2 || argument.front() != '-') {
            if (request.Command == CCommand::None) {
                const std::optional<CCommand> command = CommandFromWord(argument);
                if (!command) {
                    throw CUsageError("unknown command: " + argument);
                }
                request.Command = *command;
            } else {
                request.Arguments.push_back(argument);
            }
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        std::string_view option = argument;
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = option.find('='); equals != std::string_view::npos) {
            inlineValue = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        const std::string name(option);
        const auto value = [&]() -> std::string_view {
            if (inlineValue) {
                return *inlineValue;
            }
            if (at + 1 >= arguments.size()) {
                throw CUsageError(name + " needs a value");
            }
            return arguments[++at];
        };
        const auto flag = [&] {
            if (inlineValue) {
                throw CUsageError(name + " takes no value");
            }
            return true;
        };
        const auto forTills = [&] {
            if (tillOption.empty()) {
                tillOption = name;
            }
        };
        const auto forDiscovery = [&] {
            if (discoveryOption.empty()) {
                discoveryOption = name;
            }
        };
        if (option == "--host") {
            forTills();
            request.HostTexts.emplace_back(value());
        } else if (option == "--hosts") {
            forTills();
            request.HostFiles.emplace_back(value());
        } else if (option == "--port") {
            forTills();
            request.Port = ParsePort(name, value());
        } else if (option == "--cd") {
            forTills();
            request.ChangeFolder = std::string(value());
        } else if (option == "--jobs") {
            forTills();
            request.Jobs = ParseInteger(name, value(), 1, 1024);
        } else if (option == "--time-limit") {
            forTills();
            request.TimeLimit = ParseSeconds(name, value());
        } else if (option == "--timeout") {
            forDiscovery();
            request.DiscoveryTimeout = ParseSeconds(name, value());
        } else if (option == "--listen-port") {
            forDiscovery();
            // 0 lets the system choose: replies still come back to the port the probe left from.
            request.ListenPort = static_cast<std::uint16_t>(ParseInteger(name, value(), 0, 65535));
        } else if (option == "--probe-port") {
            forDiscovery();
            request.ProbePort = static_cast<std::uint16_t>(ParsePort(name, value()));
        } else if (option == "--adapter") {
            forDiscovery();
            if (!request.Adapters) {
                request.Adapters.emplace();
            }
            request.Adapters->push_back(ParseAdapter(value()));
        } else if (option == "--json" && flag()) {
            request.Json = true;
        } else if (option == "--no-progress" && flag()) {
            request.Progress = false;
        } else if ((option == "--help" || option == "-h") && flag()) {
            request.Help = true;
        } else if (option == "--version" && flag()) {
            request.Version = true;
        } else {
            throw CUsageError("unknown option: " + name);
        }
    }

    if (request.Command == CCommand::Help) {
        if (request.Arguments.size() > 1) {
            throw CUsageError("help takes at most one command");
        }
        std::optional<CCommand> about = CCommand::None;
        if (!request.Arguments.empty()) {
            about = CommandFromWord(request.Arguments.front());
            if (!about) {
                throw CUsageError("unknown command: " + request.Arguments.front());
            }
        }
        request.Command = *about == CCommand::Help ? CCommand::None : *about;
        request.Arguments.clear();
        request.Help = true;
    }
    if (request.Help || request.Version) {
        return request;
    }
    if (request.Command == CCommand::None) {
        throw CUsageError("no command given");
    }
    const CCommandName& command = NameOf(request.Command);
    const std::string word(command.Word);
    if (request.Arguments.size() < command.MinArguments) {
        throw CUsageError(word + " needs " +
                          (command.MinArguments == 1 ? std::string("an argument")
                                                     : std::to_string(command.MinArguments) + " arguments"));
    }
    if (request.Arguments.size() > command.MaxArguments) {
        throw CUsageError(word + " takes " +
                          (command.MaxArguments == 0 ? std::string("no arguments")
                                                     : "at most " + std::to_string(command.MaxArguments)) +
                          ": " + request.Arguments[command.MaxArguments]);
    }
    if (IsTillCommand(request.Command) && !discoveryOption.empty()) {
        throw CUsageError(discoveryOption + " is an option of discover and info, not of " + word);
    }
    if (!IsTillCommand(request.Command) && !tillOption.empty()) {
        throw CUsageError(tillOption + " is an option of the till commands, not of " + word);
    }
    return request;
}

std::string HelpText(CCommand command)
{
    return CommandHelp(command);
}

} // namespace quorral
