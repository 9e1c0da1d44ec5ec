// Every command of quorral-cli against quorral-till serving a temporary folder on loopback: what
// reaches the till's folder and the local one, what is printed, and the exit status.

#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <regex>

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

namespace quorral {
namespace {

namespace fs = std::filesystem;
using test::CCliResult;
using test::CScratchFolder;
using test::CStallingTill;
using test::CTillUnderTest;
using test::RandomBytes;
using test::ReadFile;
using test::RefusingPort;
using test::WriteFile;
using Args = std::vector<std::string>;

std::string WithoutSeconds(const std::string& json)
{
    return std::regex_replace(json, std::regex("\"seconds\":[0-9.]+"), "\"seconds\":_");
}

class CliTest : public ::testing::Test
{
protected:
    CliTest()
    {
        WriteFile(Root() / "a.txt", "alpha\r\n");
        WriteFile(Root() / "Data" / "b.csv", "1;2;3\r\n");
        fs::create_directories(Root() / "Data" / "Sub");
        fs::create_directories(Root() / "Reports");
        fs::create_directories(Local());
    }

    fs::path Root() const { return FScratch.Path() / "root"; }
    fs::path Local() const { return FScratch.Path() / "local"; }
    std::string At(const std::string& name) const { return (Local() / name).string(); }

    CTillUnderTest& Till()
    {
        if (!FTill) {
            FTill = std::make_unique<CTillUnderTest>(Root());
        }
        return *FTill;
    }
    std::string Port() { return std::to_string(Till().Port()); }

    // The command line against the till, quorral-cli's own options first.
    CCliResult Run(Args arguments, bool terminal = false)
    {
        arguments.insert(arguments.begin(), {"--port", Port()});
        return test::RunCommandLine(arguments, terminal);
    }

    CScratchFolder FScratch{"e2e"};
    std::unique_ptr<CTillUnderTest> FTill;
};

TEST_F(CliTest, PwdAndLsShowTheTillsFolders)
{
    const std::pair<Args, std::string> cases[] = {
        {{"pwd"}, "C:\\TILL\n"},
        {{"ls"}, "Data/\nReports/\na.txt\n"},
        {{"ls", "Data"}, "Sub/\nb.csv\n"},
        {{"ls", "C:\\TILL\\Data\\Sub"}, ""},
        {{"--cd", "Data", "pwd"}, "C:\\TILL\\Data\n"},
        {{"--cd", "Data", "ls", ".."}, "Data/\nReports/\na.txt\n"},
    };
    for (const auto& [arguments, out] : cases) {
        const CCliResult result = Run(arguments);
        EXPECT_EQ(result.Exit, 0) << result;
        EXPECT_EQ(result.Out, out) << ::testing::PrintToString(arguments);
        EXPECT_EQ(result.Err, "") << result;
    }
}

TEST_F(CliTest, AFolderTheTillRefusesStopsTheCommandInsteadOfRunningItElsewhere)
{
    const CCliResult listing = Run({"ls", "Nope"});
    EXPECT_EQ(listing.Exit, 1) << listing;
    EXPECT_EQ(listing.Out, "") << "the current folder is not what was asked for";
    EXPECT_EQ(listing.Err, "quorral-cli: Folder not found: Nope\n");

    // Not deleting a.txt of the root when the folder meant is missing.
    const CCliResult removal = Run({"--cd", "Nope", "rm", "a.txt"});
    EXPECT_EQ(removal.Exit, 1) << removal;
    EXPECT_TRUE(fs::exists(Root() / "a.txt"));
}

TEST_F(CliTest, GetCopiesTheFileExactlyWhereverItIsPut)
{
    const std::string blob = RandomBytes(300 * 1000, 7);
    WriteFile(Root() / "Data" / "blob.bin", blob);
    WriteFile(Local() / "old.bin", "to be replaced");

    const CCliResult toFile = Run({"--cd", "Data", "get", "blob.bin", At("old.bin")});
    EXPECT_EQ(toFile.Exit, 0) << toFile;
    EXPECT_EQ(ReadFile(Local() / "old.bin"), blob);

    const CCliResult intoFolder = Run({"--cd", "Data", "get", "blob.bin", Local().string()});
    EXPECT_EQ(intoFolder.Exit, 0) << intoFolder;
    EXPECT_EQ(ReadFile(Local() / "blob.bin"), blob);

    // Without LOCAL the copy goes to the current folder under the till's name.
    const fs::path before = fs::current_path();
    fs::current_path(Local());
    const CCliResult here = Run({"get", "a.txt"});
    fs::current_path(before);
    EXPECT_EQ(here.Exit, 0) << here;
    EXPECT_EQ(ReadFile(Local() / "a.txt"), "alpha\r\n");
    EXPECT_EQ(here.Out + here.Err, "") << "a successful get says nothing";
}

TEST_F(CliTest, AFailedGetLeavesTheLocalFileAsItWas)
{
    WriteFile(Local() / "a.txt", "keep");
    const std::pair<Args, std::string> cases[] = {
        {{"get", "missing.txt", At("a.txt")}, "quorral-cli: File not found: missing.txt\n"},
        {{"get", "Data", At("a.txt")}, "quorral-cli: Is a folder: Data\n"},
    };
    for (const auto& [arguments, err] : cases) {
        const CCliResult result = Run(arguments);
        EXPECT_EQ(result.Exit, 1) << result;
        EXPECT_EQ(result.Err, err);
        EXPECT_EQ(ReadFile(Local() / "a.txt"), "keep");
    }
    const CCliResult noFolder = Run({"get", "a.txt", At("missing/a.txt")});
    EXPECT_EQ(noFolder.Exit, 4) << noFolder;
    EXPECT_NE(noFolder.Err.find("No such folder: "), std::string::npos) << noFolder;
}

TEST_F(CliTest, NamesThatCannotBeSentAreRefusedBeforeAnyConnection)
{
    WriteFile(Local() / "data.csv", "x");
    CStallingTill till;
    const std::string local = At("data.csv");
    const Args cases[] = {
        {"get", "../a.txt"},
        {"get", "Data/b.csv"},
        {"get", "a\"b"},
        {"put", local, "sub/data.csv"},
        {"put", local, ".."},
        {"put", local, "quote\".csv"},
        {"put", local, std::string(150, 'n')}, // the SENDFILE line would pass 199 characters
        {"rm", "Data\\b.csv"},
        {"rmdir", ".."},
        {"mv", "a.txt", "line\r\nbreak"},
        {"mkdir", ""},
        {"ls", "a\"b"},
        {"--cd", "x\ny", "pwd"},
    };
    for (Args arguments : cases) {
        arguments.insert(arguments.begin(), {"--port", std::to_string(till.Port())});
        const CCliResult result = test::RunCommandLine(arguments);
        EXPECT_EQ(result.Exit, 2) << ::testing::PrintToString(arguments) << "\n" << result;
        EXPECT_EQ(result.Out, "");
    }
    EXPECT_EQ(till.Accepted(), 0);

    // The digits of the size decide the last characters: 21 bytes of gzip data leave room for a
    // name of 147 characters, which goes to the till (and this one refuses it with its own reason).
    const CCliResult tooLong = Run({"put", local, std::string(148, 'n')});
    EXPECT_EQ(tooLong.Exit, 2) << tooLong;
    EXPECT_EQ(tooLong.Err, "quorral-cli: The file name is too long to send to the till.\n");
    const CCliResult longest = Run({"put", local, std::string(147, 'n')});
    EXPECT_EQ(longest.Err.rfind("quorral-cli: Name too long: nnn", 0), 0u) << longest;
}

TEST_F(CliTest, PutSendsTheFileUnderItsOwnOrTheGivenName)
{
    const std::string data = RandomBytes(200 * 1000, 3);
    WriteFile(Local() / "data.csv", data);
    const CCliResult own = Run({"put", At("data.csv")});
    EXPECT_EQ(own.Exit, 0) << own;
    EXPECT_EQ(ReadFile(Root() / "data.csv"), data);

    const CCliResult named = Run({"--cd", "Data", "put", At("data.csv"), "b.csv"});
    EXPECT_EQ(named.Exit, 0) << named;
    EXPECT_EQ(ReadFile(Root() / "Data" / "b.csv"), data) << "the till's file is replaced";
    EXPECT_EQ(own.Out + own.Err + named.Out + named.Err, "");
}

TEST_F(CliTest, PutFailuresSayWhereTheyCameFrom)
{
    WriteFile(Local() / "Data", "a file named like the till's folder");
    const std::tuple<Args, int, std::string> cases[] = {
        {{"put", At("missing.csv")}, 4, "quorral-cli: No such file: " + At("missing.csv") + "\n"},
        {{"put", Local().string(), "x"}, 4, "quorral-cli: Not a file: " + Local().string() + "\n"},
        {{"put", At("Data")}, 1, "quorral-cli: A folder of that name exists: Data\n"},
    };
    for (const auto& [arguments, exit, err] : cases) {
        const CCliResult result = Run(arguments);
        EXPECT_EQ(result.Exit, exit) << result;
        EXPECT_EQ(result.Err, err);
    }
    EXPECT_TRUE(fs::is_directory(Root() / "Data"));
}

TEST_F(CliTest, FolderAndFileCommandsChangeTheTillOrGiveItsReason)
{
    struct CStep
    {
        Args Arguments;
        int Exit;
        std::string Err;
        fs::path Exists;  // afterwards, below the root
        fs::path Missing; // afterwards, below the root
    };
    const CStep steps[] = {
        {{"mkdir", "New"}, 0, "", "New", ""},
        {{"mkdir", "Data"}, 1, "Already exists: Data", "Data", ""},
        {{"mv", "a.txt", "moved.txt"}, 0, "", "moved.txt", "a.txt"},
        {{"mv", "a.txt", "x.txt"}, 1, "Not found: a.txt", "moved.txt", "x.txt"},
        {{"--cd", "Data", "mv", "b.csv", "c.csv"}, 0, "", "Data/c.csv", "Data/b.csv"},
        {{"rm", "moved.txt"}, 0, "", "", "moved.txt"},
        {{"rm", "Data"}, 1, "Is a folder: Data", "Data", ""},
        {{"rmdir", "Data"}, 1, "Folder is not empty: Data", "Data/c.csv", ""},
        {{"rmdir", "Reports"}, 0, "", "", "Reports"},
        {{"rmdir", "New"}, 0, "", "", "New"},
    };
    for (const CStep& step : steps) {
        const CCliResult result = Run(step.Arguments);
        const std::string what = ::testing::PrintToString(step.Arguments);
        EXPECT_EQ(result.Exit, step.Exit) << what << "\n" << result;
        EXPECT_EQ(result.Err, step.Err.empty() ? "" : "quorral-cli: " + step.Err + "\n") << what;
        EXPECT_EQ(result.Out, "") << what;
        if (!step.Exists.empty()) {
            EXPECT_TRUE(fs::exists(Root() / step.Exists)) << what;
        }
        if (!step.Missing.empty()) {
            EXPECT_FALSE(fs::exists(Root() / step.Missing)) << what;
        }
    }
}

TEST_F(CliTest, PlainRepliesAreReadLikeScrambledOnes)
{
    FTill = std::make_unique<CTillUnderTest>(Root(), "127.0.0.1", NoDiscovery, CTillIdentity{}, true);
    EXPECT_EQ(Run({"ls"}).Out, "Data/\nReports/\na.txt\n");
    const CCliResult refused = Run({"rm", "none.txt"});
    EXPECT_EQ(refused.Exit, 1);
    EXPECT_EQ(refused.Err, "quorral-cli: File not found: none.txt\n");
}

TEST_F(CliTest, JsonGivesOneObjectWithTheTillsOwnTexts)
{
#ifndef _WIN32 // Windows allows neither a double quote nor a control character in a file name
    // Names that need escaping in JSON and must not reach a terminal raw.
    WriteFile(Root() / "Reports" / "q\"uote&.txt", "1");
    WriteFile(Root() / "Reports" / "esc\x1b[31m.txt", "2");

    const CCliResult listing = Run({"--json", "--cd", "Reports", "ls"});
    EXPECT_EQ(listing.Exit, 0) << listing;
    EXPECT_EQ(WithoutSeconds(listing.Out),
              "{\"till\":\"127.0.0.1:" + Port() +
                  "\",\"command\":\"ls\",\"result\":\"ok\",\"exit\":0,\"bytes\":0,\"seconds\":_,"
                  "\"folder\":\"C:\\\\TILL\\\\Reports\",\"entries\":["
                  "{\"name\":\"esc\\u001B[31m.txt\",\"folder\":false},"
                  "{\"name\":\"q\\\"uote&.txt\",\"folder\":false}]}\n");
    // The same listing as text: one name a line, the escape made harmless.
    EXPECT_EQ(Run({"--cd", "Reports", "ls"}).Out, "esc?[31m.txt\nq\"uote&.txt\n");
#endif

    const CCliResult failed = Run({"rm", "none.txt", "--json"});
    EXPECT_EQ(failed.Exit, 1);
    EXPECT_EQ(WithoutSeconds(failed.Out),
              "{\"till\":\"127.0.0.1:" + Port() +
                  "\",\"command\":\"rm\",\"result\":\"failed\",\"exit\":1,\"bytes\":0,\"seconds\":_,"
                  "\"error\":\"File not found: none.txt\"}\n");

    WriteFile(Local() / "up.bin", RandomBytes(5000, 1));
    const CCliResult sent = Run({"put", At("up.bin"), "--json"});
    EXPECT_EQ(sent.Exit, 0) << sent;
    const std::smatch bytes = [&] {
        std::smatch match;
        std::regex_search(sent.Out, match, std::regex("\"bytes\":([0-9]+)"));
        return match;
    }();
    ASSERT_EQ(bytes.size(), 2u) << sent.Out;
    EXPECT_GT(std::stoll(bytes[1]), 5000) << "random bytes grow a little in gzip";
}

TEST_F(CliTest, ConnectionProblemsExitWithThree)
{
    const CCliResult refused = test::RunCommandLine({"--port", std::to_string(RefusingPort()), "pwd"});
    EXPECT_EQ(refused.Exit, 3) << refused;
    EXPECT_EQ(refused.Err.rfind("quorral-cli: Failed to connect to till: Socket Error # ", 0), 0u) << refused;

    CStallingTill silent;
    const std::string port = std::to_string(silent.Port());
    const CCliResult limited = test::RunCommandLine({"--port", port, "--time-limit", "0.3", "ls"});
    EXPECT_EQ(limited.Exit, 3) << limited;
    EXPECT_EQ(limited.Err, "quorral-cli: Time limit of 0.3 s reached\n");

    // Without a limit the reply's own wait runs out, which the window would take for success.
    const CCliResult unanswered = test::RunCommandLine({"--port", port, "--time-limit", "0", "mkdir", "New"});
    EXPECT_EQ(unanswered.Exit, 3) << unanswered;
    EXPECT_EQ(unanswered.Err, "quorral-cli: The till did not answer.\n");
}

TEST_F(CliTest, ProgressIsDrawnOnATerminalOnly)
{
    WriteFile(Local() / "big.bin", RandomBytes(1000 * 1000, 9));
    const CCliResult terminal = Run({"put", At("big.bin")}, true);
    EXPECT_EQ(terminal.Exit, 0) << terminal;
    EXPECT_NE(terminal.Err.find("put big.bin ["), std::string::npos) << terminal;
    EXPECT_NE(terminal.Err.find("100%"), std::string::npos) << terminal;
    EXPECT_EQ(terminal.Err.back(), '\r') << "the bar is wiped at the end";
    const CCliResult download = Run({"get", "big.bin", At("copy.bin")}, true);
    EXPECT_NE(download.Err.find("get big.bin ["), std::string::npos) << download;

    EXPECT_EQ(Run({"put", At("big.bin")}).Err, "") << "no terminal, no bar";
    EXPECT_EQ(Run({"put", At("big.bin"), "--no-progress"}, true).Err, "");
}

TEST(CliCommandLine, HelpVersionAndUsageErrors)
{
    const CCliResult help = test::RunCommandLine({"put", "--help"});
    EXPECT_EQ(help.Exit, 0);
    EXPECT_EQ(help.Out.rfind("Usage: quorral-cli [options] put LOCAL [NAME]\n", 0), 0u) << help;

    const CCliResult general = test::RunCommandLine({"--help"});
    EXPECT_EQ(general.Exit, 0);
    for (const std::string code : {"  0  success", "  2  usage error", "  5  fleet mode"}) {
        EXPECT_NE(general.Out.find(code), std::string::npos) << code;
    }
    EXPECT_EQ(test::RunCommandLine({"--version"}).Out.rfind("quorral-cli ", 0), 0u);

    const CCliResult wrong = test::RunCommandLine({"pwd", "--hots", "x"});
    EXPECT_EQ(wrong.Exit, 2);
    EXPECT_EQ(wrong.Out, "");
    EXPECT_EQ(wrong.Err, "quorral-cli: unknown option: --hots\nTry 'quorral-cli --help'.\n");
}

class DiscoverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FTill = std::make_unique<CTillUnderTest>(FScratch.Path(), "127.0.0.1", 0,
                                                 CTillIdentity{"till-9", "Kiosk \"North\"", "9", "5.1"});
        ASSERT_NE(FTill->DiscoveryPort(), NoDiscovery) << FTill->DiscoveryProblem();
    }
    Args Loopback() const
    {
        return {"--probe-port", std::to_string(FTill->DiscoveryPort()), "--listen-port", "0", "--timeout",
                "0.6"};
    }

    CScratchFolder FScratch{"discover"};
    std::unique_ptr<CTillUnderTest> FTill;
};

TEST_F(DiscoverTest, ListsEachTillWithItsAddressAndFourFields)
{
    Args arguments = {"discover", "--adapter", "127.0.0.1/255.255.255.255"};
    const Args loopback = Loopback();
    arguments.insert(arguments.end(), loopback.begin(), loopback.end());
    const CCliResult table = test::RunCommandLine(arguments);
    EXPECT_EQ(table.Exit, 0) << table;
    EXPECT_EQ(table.Out, "IP Address  Hostname  MC Name        ID#  Version\n"
                         "127.0.0.1   till-9    Kiosk \"North\"  9    5.1\n");

    arguments.push_back("--json");
    EXPECT_EQ(test::RunCommandLine(arguments).Out,
              "{\"command\":\"discover\",\"tills\":[{\"address\":\"127.0.0.1\",\"hostname\":\"till-9\","
              "\"mcname\":\"Kiosk \\\"North\\\"\",\"mcid\":\"9\",\"version\":\"5.1\"}]}\n");
}

TEST_F(DiscoverTest, InfoPrintsEveryDetailInTheTillsOrder)
{
    Args arguments = {"info", "127.0.0.1"};
    const Args loopback = Loopback();
    arguments.insert(arguments.end(), loopback.begin(), loopback.end());
    const CCliResult info = test::RunCommandLine(arguments);
    EXPECT_EQ(info.Exit, 0) << info;
    std::vector<std::string> names;
    std::istringstream lines(info.Out);
    for (std::string line; std::getline(lines, line);) {
        names.push_back(line.substr(0, line.find(' ')));
    }
    const std::vector<std::string> expected = {"HOSTNAME", "MCNAME", "MCID",    "VERSIONSTRING",
                                               "PORT",     "FOLDER", "CLIENTS", "UPTIME"};
    EXPECT_EQ(names, expected);
    EXPECT_NE(info.Out.find("MCNAME         Kiosk \"North\"\n"), std::string::npos) << info.Out;

    const CCliResult silent =
        test::RunCommandLine({"info", "127.0.0.1", "--probe-port", std::to_string(test::RefusingPort()),
                              "--listen-port", "0", "--timeout", "0.3"});
    EXPECT_EQ(silent.Exit, 3) << silent;
    EXPECT_EQ(silent.Err, "quorral-cli: No answer from 127.0.0.1.\n");
}

#ifndef _WIN32
// The executable itself: its exit status, and no progress when stderr is not a terminal.
CCliResult RunExecutable(const Args& arguments, const fs::path& scratch)
{
    const fs::path out = scratch / "stdout.txt";
    const fs::path err = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<std::string> texts = {QUORRAL_CLI_PATH};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    CCliResult result;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        result.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.Out = ReadFile(out);
    result.Err = ReadFile(err);
    return result;
}

TEST_F(CliTest, TheExecutableExitsWithTheDocumentedStatus)
{
    WriteFile(Local() / "big.bin", RandomBytes(500 * 1000, 4));
    const CCliResult sent = RunExecutable({"--port", Port(), "put", At("big.bin")}, FScratch.Path());
    EXPECT_EQ(sent.Exit, 0) << sent;
    EXPECT_EQ(sent.Err, "") << "stderr is a file: no progress";
    EXPECT_EQ(ReadFile(Root() / "big.bin"), ReadFile(Local() / "big.bin"));

    EXPECT_EQ(RunExecutable({"--port", Port(), "rm", "none"}, FScratch.Path()).Exit, 1);
    EXPECT_EQ(RunExecutable({"pwd", "--bogus"}, FScratch.Path()).Exit, 2);
    EXPECT_EQ(RunExecutable({"--port", std::to_string(RefusingPort()), "pwd"}, FScratch.Path()).Exit, 3);
    EXPECT_EQ(RunExecutable({"put", At("none.bin")}, FScratch.Path()).Exit, 4);
}
#endif

} // namespace
} // namespace quorral
