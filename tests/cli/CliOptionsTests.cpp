// The command line and host lists of quorral-cli: what is accepted, and what is refused with which
// reason.

#include "CliOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorral {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

std::string UsageErrorOf(const Args& arguments)
{
    try {
        ParseCommandLine(arguments);
    } catch (const CUsageError& error) {
        return error.what();
    }
    return "(accepted)";
}

TEST(TillAddress, HostPortAndIpv6FormsAreTakenApart)
{
    struct CCase
    {
        std::string Text;
        std::string Host;
        int Port;
    };
    const CCase cases[] = {
        {"till-7", "till-7", 5559},     {"10.0.0.5:6000", "10.0.0.5", 6000}, {"[::1]:7000", "::1", 7000},
        {"[fe80::1]", "fe80::1", 5559}, {"fe80::1", "fe80::1", 5559}, // more than one colon: an IPv6 address
                                                                      // without port
    };
    for (const CCase& c : cases) {
        const CTillAddress till = ParseTillAddress(c.Text, 5559);
        EXPECT_EQ(till.Host, c.Host) << c.Text;
        EXPECT_EQ(till.Port, c.Port) << c.Text;
    }
    EXPECT_EQ(ParseTillAddress("[::1]:7000", 1).Label(), "[::1]:7000");
    EXPECT_EQ(ParseTillAddress("host", 42).Label(), "host:42");
}

TEST(TillAddress, MalformedOnesAreRefused)
{
    for (const std::string text : {"", ":5559", "host:", "host:0", "host:65536", "host:12ab", "[::1",
                                   "[::1]x", "two words", "tab\there"}) {
        EXPECT_THROW(ParseTillAddress(text, 5559), CUsageError) << text;
    }
}

TEST(HostList, CommentsBlankLinesAndLineEndsAreSkipped)
{
    const std::string text = "# shop tills\r\n"
                             "10.0.0.1\r\n"
                             "\n"
                             "   10.0.0.2:6000   # back office\n"
                             "\t[::1]:7000\n"
                             "# the last line has no line end\n"
                             "till-4";
    const std::vector<CTillAddress> tills = ParseHostList(text, 5560);
    const std::vector<CTillAddress> expected = {
        {"10.0.0.1", 5560}, {"10.0.0.2", 6000}, {"::1", 7000}, {"till-4", 5560}};
    EXPECT_EQ(tills, expected);
    EXPECT_TRUE(ParseHostList("# nothing but comments\n\n", 5559).empty());
}

TEST(HostList, ErrorsNameTheLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\nb:99999\n", "line 2: "},
        {"a\n# x\na:5559\n", "line 3: a:5559 is listed twice"},
        {"a b\n", "line 1: "},
    };
    for (const auto& [text, message] : cases) {
        try {
            ParseHostList(text, 5559);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const CUsageError& error) {
            EXPECT_EQ(std::string(error.what()).substr(0, message.size()), message) << error.what();
        }
    }
}

TEST(CommandLine, OptionsGoAnywhereAndTwoDashesEndThem)
{
    const CCliRequest request =
        ParseCommandLine({"get", "--host", "10.0.0.9:6000", "--json", "--", "-odd-name", "--port=7"});
    EXPECT_EQ(request.Command, CCommand::Get);
    EXPECT_EQ(request.Arguments, (Args{"-odd-name", "--port=7"}));
    EXPECT_EQ(request.HostTexts, (Args{"10.0.0.9:6000"}));
    EXPECT_TRUE(request.Json);
    EXPECT_FALSE(request.Port.has_value());
    EXPECT_FALSE(request.IsFleet());

    const CCliRequest fleet = ParseCommandLine({"--host=a", "--host", "b", "--jobs", "3", "--time-limit",
                                                "0.25", "--cd", "Data", "--no-progress", "pwd"});
    EXPECT_TRUE(fleet.IsFleet());
    EXPECT_EQ(fleet.Jobs, 3);
    EXPECT_EQ(fleet.TimeLimit, 250ms);
    EXPECT_EQ(fleet.ChangeFolder, "Data");
    EXPECT_FALSE(fleet.Progress);
    EXPECT_TRUE(ParseCommandLine({"--hosts", "list.txt", "pwd"}).IsFleet()) << "a host list is a fleet";

    const CCliRequest discover =
        ParseCommandLine({"discover", "--timeout", "1.5", "--listen-port", "0", "--adapter", "10.1.2.3/16"});
    EXPECT_EQ(discover.DiscoveryTimeout, 1500ms);
    EXPECT_EQ(discover.ListenPort, 0);
    ASSERT_TRUE(discover.Adapters.has_value());
    ASSERT_EQ(discover.Adapters->size(), 1u);
    EXPECT_EQ(discover.Adapters->front().Address, 0x0A010203u);
    EXPECT_EQ(discover.Adapters->front().Netmask, 0xFFFF0000u);
    EXPECT_EQ(ParseCommandLine({"discover", "--adapter", "127.0.0.2"}).Adapters->front().Netmask, 0xFFFFFFFFu)
        << "a lone address is a network of its own";
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong)
{
    const std::pair<Args, std::string> cases[] = {
        {{}, "no command given"},
        {{"--json"}, "no command given"},
        {{"copy", "a"}, "unknown command: copy"},
        {{"pwd", "--verbose"}, "unknown option: --verbose"},
        {{"pwd", "--host"}, "--host needs a value"},
        {{"pwd", "--json=yes"}, "--json takes no value"},
        {{"pwd", "extra"}, "pwd takes no arguments: extra"},
        {{"get"}, "get needs an argument"},
        {{"mv", "a"}, "mv needs 2 arguments"},
        {{"get", "a", "b", "c"}, "get takes at most 2: c"},
        {{"pwd", "--timeout", "1"}, "--timeout is an option of discover and info, not of pwd"},
        {{"discover", "--host", "a"}, "--host is an option of the till commands, not of discover"},
        {{"pwd", "--jobs", "0"}, "--jobs: not a whole number from 1 to 1024: 0"},
        {{"pwd", "--port", "70000"}, "--port: not a whole number from 1 to 65535: 70000"},
        {{"pwd", "--time-limit", "-1"}, "--time-limit: not a number of seconds: -1"},
        {{"pwd", "--time-limit", "nan"}, "--time-limit: not a number of seconds: nan"},
        {{"discover", "--adapter", "10.0.0.256"}, "--adapter: not ADDRESS[/NETMASK]: 10.0.0.256"},
        {{"help", "copy"}, "unknown command: copy"},
    };
    for (const auto& [arguments, message] : cases) {
        EXPECT_EQ(UsageErrorOf(arguments), message) << ::testing::PrintToString(arguments);
    }
}

TEST(CommandLine, HelpIsThereForEveryCommandWhateverElseIsWrong)
{
    // Help wins over missing arguments: "get --help" must not complain that REMOTE is missing.
    for (const Args& arguments :
         {Args{"get", "--help"}, Args{"help", "get"}, Args{"-h", "get", "a", "b", "c"}}) {
        const CCliRequest request = ParseCommandLine(arguments);
        EXPECT_TRUE(request.Help) << ::testing::PrintToString(arguments);
        EXPECT_EQ(request.Command, CCommand::Get) << ::testing::PrintToString(arguments);
    }
    EXPECT_EQ(ParseCommandLine({"help"}).Command, CCommand::None);
    const std::string general = HelpText(CCommand::None);
    for (const std::string_view word :
         {"pwd", "ls", "get", "put", "rm", "rmdir", "mv", "mkdir", "discover", "info"}) {
        const CCommand command = *CommandFromWord(word);
        const std::string help = HelpText(command);
        EXPECT_NE(help, general) << word;
        const std::string usage = help.substr(0, help.find('\n'));
        EXPECT_EQ(usage.rfind("Usage: quorral-cli", 0), 0u) << word;
        EXPECT_NE((usage + " ").find(" " + std::string(word) + " "), std::string::npos) << usage;
    }
}

} // namespace
} // namespace quorral
