// Fleet mode: the same command on many tills at once through a bounded pool, with a time limit per
// till that reaches into blocked exchanges, and one till's failure kept to its own row.

#include "CliTestSupport.h"

#include "FleetRunner.h"
#include "link/SocketError.h"
#include "link/TillCommands.h"

#include <gtest/gtest.h>

#include <mutex>
#include <regex>

namespace quorral {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::CCliResult;
using test::CScratchFolder;
using test::CStallingTill;
using test::CTillUnderTest;
using test::RandomBytes;
using test::ReadFile;
using test::RefusingPort;
using test::WriteFile;

// Twenty tills on loopback: eighteen simulators, the sixth refusing connections and the
// thirteenth accepting them and then saying nothing.
class TwentyTills : public ::testing::Test
{
protected:
    static constexpr std::size_t Count = 20;
    static constexpr std::size_t Refusing = 5;
    static constexpr std::size_t Stalling = 12;

    TwentyTills()
    {
        std::string list = "# the shop's tills\n\n";
        for (std::size_t n = 0; n < Count; ++n) {
            int port = 0;
            if (n == Refusing) {
                port = RefusingPort();
            } else if (n == Stalling) {
                port = FStalling.Port();
            } else {
                fs::create_directories(Root(n));
                FTills.push_back(std::make_unique<CTillUnderTest>(Root(n)));
                port = FTills.back()->Port();
            }
            FLabels.push_back("127.0.0.1:" + std::to_string(port));
            list += FLabels.back() + (n % 3 == 0 ? "   # till " + std::to_string(n) : "") + "\n";
        }
        WriteFile(HostList(), list);
    }

    fs::path Root(std::size_t n) const { return FScratch.Path() / ("till-" + std::to_string(n)); }
    fs::path HostList() const { return FScratch.Path() / "tills.txt"; }
    fs::path Local() const { return FScratch.Path() / "local"; }
    bool IsServed(std::size_t n) const { return n != Refusing && n != Stalling; }

    CScratchFolder FScratch{"fleet"};
    CStallingTill FStalling;
    std::vector<std::unique_ptr<CTillUnderTest>> FTills;
    std::vector<std::string> FLabels;
};

TEST_F(TwentyTills, TheOthersSucceedAndTheSummarySaysWhichFailed)
{
    const std::string data = RandomBytes(200 * 1000, 11);
    WriteFile(Local() / "prices.csv", data);

    const CCliResult pushed =
        test::RunCommandLine({"--hosts", HostList().string(), "--jobs", "16", "--time-limit", "1", "--json",
                              "put", (Local() / "prices.csv").string()});
    EXPECT_EQ(pushed.Exit, 5) << pushed;
    std::vector<std::string> lines;
    std::istringstream out(pushed.Out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), Count) << pushed;
    for (std::size_t n = 0; n < Count; ++n) {
        const std::string& line = lines[n];
        EXPECT_EQ(line.rfind("{\"till\":\"" + FLabels[n] + "\",\"command\":\"put\",", 0), 0u) << line;
        if (IsServed(n)) {
            EXPECT_NE(line.find("\"result\":\"ok\",\"exit\":0,\"bytes\":2"), std::string::npos) << line;
            EXPECT_EQ(ReadFile(Root(n) / "prices.csv"), data) << "till " << n;
        }
    }
    EXPECT_NE(lines[Refusing].find("\"exit\":3,\"bytes\":0,"), std::string::npos) << lines[Refusing];
    EXPECT_NE(lines[Refusing].find("\"error\":\"Failed to connect to till: Socket Error # "),
              std::string::npos)
        << lines[Refusing];
    EXPECT_NE(lines[Stalling].find("\"exit\":3,"), std::string::npos) << lines[Stalling];
    EXPECT_NE(lines[Stalling].find("\"error\":\"Time limit of 1 s reached\""), std::string::npos)
        << lines[Stalling];

    // The same fleet fetches the file back, each till's copy into a folder of its own.
    fs::create_directories(Local() / "back");
    const CCliResult fetched = test::RunCommandLine({"--hosts", HostList().string(), "--time-limit", "1",
                                                     "get", "prices.csv", (Local() / "back").string()});
    EXPECT_EQ(fetched.Exit, 5) << fetched;
    std::istringstream table(fetched.Out);
    std::string line;
    std::getline(table, line);
    EXPECT_EQ(std::regex_replace(line, std::regex(" +"), " "), "TILL RESULT BYTES TIME");
    for (std::size_t n = 0; n < Count; ++n) {
        ASSERT_TRUE(std::getline(table, line)) << fetched;
        EXPECT_EQ(line.rfind(FLabels[n] + " ", 0), 0u) << line;
        std::string expected = " ok ";
        if (n == Refusing) {
            expected = " Failed to connect to till: Socket Error # ";
        } else if (n == Stalling) {
            expected = " Time limit of 1 s reached ";
        }
        EXPECT_NE(std::regex_replace(line, std::regex(" +"), " ").find(expected), std::string::npos) << line;
        const fs::path copy = Local() / "back" / ("127.0.0.1_" + FLabels[n].substr(10)) / "prices.csv";
        EXPECT_EQ(fs::exists(copy), IsServed(n)) << copy;
        if (IsServed(n)) {
            EXPECT_EQ(ReadFile(copy), data) << copy;
        }
    }
    ASSERT_TRUE(std::getline(table, line));
    EXPECT_EQ(line, "18 of 20 tills succeeded");
    EXPECT_EQ(fetched.Err, "") << "the failures are in the table, not on stderr";
}

TEST_F(TwentyTills, ListingsComeBeforeTheTableInTheOrderGiven)
{
    for (std::size_t n = 0; n < Count; ++n) {
        if (IsServed(n) && n % 4 == 0) {
            fs::create_directories(Root(n) / ("Only" + std::to_string(n)));
        }
    }
    const CCliResult listed =
        test::RunCommandLine({"--hosts", HostList().string(), "--time-limit", "0.5", "--jobs", "4", "ls"});
    EXPECT_EQ(listed.Exit, 5);
    std::string expected;
    for (std::size_t n = 0; n < Count; ++n) {
        if (IsServed(n)) {
            expected += "== " + FLabels[n] + " ==\n" + (n % 4 == 0 ? "Only" + std::to_string(n) + "/\n" : "");
        }
    }
    EXPECT_EQ(listed.Out.substr(0, expected.size()), expected) << listed;
}

TEST(FleetRunner, NeverServesMoreTillsAtOnceThanItsJobs)
{
    CScratchFolder scratch("pool");
    CTillUnderTest till(scratch.Path());
    const std::vector<CTillAddress> tills(10, CTillAddress{"127.0.0.1", till.Port()});
    std::atomic<int> running{0};
    std::atomic<int> most{0};
    std::atomic<int> ran{0};
    const CTillJob job = [&](CCommandChannel& channel, const CTillAddress&, const CProgress&) {
        const int now = ++running;
        for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);) {
        }
        channel.SendCommand(GetCurDirCommand());
        CTillOutcome outcome;
        outcome.Folder = ReadCurrentFolder(channel.ReadReply());
        std::this_thread::sleep_for(30ms);
        ++ran;
        --running;
        return outcome;
    };
    CFleetOptions options;
    options.Jobs = 3;
    const std::vector<CTillRun> runs = RunFleet(tills, options, job);
    EXPECT_EQ(ran, 10);
    EXPECT_LE(most, 3);
    EXPECT_GE(most, 2) << "the tills were served one after another";
    ASSERT_EQ(runs.size(), 10u);
    for (const CTillRun& run : runs) {
        EXPECT_TRUE(run.Outcome.Succeeded()) << run.Outcome.Error;
        EXPECT_EQ(run.Outcome.Folder, "C:\\TILL");
    }
}

TEST(FleetRunner, TheTimeLimitWakesABlockedReadAndABlockedWrite)
{
    CStallingTill stalling;
    const std::vector<CTillAddress> tills(2, CTillAddress{"127.0.0.1", stalling.Port()});
    std::atomic<int> next{0};
    std::mutex textsLock;
    std::vector<std::string> texts;
    const CTillJob job = [&](CCommandChannel& channel, const CTillAddress&, const CProgress&) {
        const bool writer = next++ == 1;
        try {
            if (writer) {
                // More than any socket buffer holds: the write blocks once the till stops reading.
                const std::string piece(1 << 20, 'x');
                for (int n = 0; n < 256; ++n) {
                    channel.Client().Write(piece);
                }
            } else {
                channel.SendCommand(GetCurDirCommand());
                channel.ReadReply();
            }
        } catch (const CSocketError& error) {
            const std::lock_guard<std::mutex> lock(textsLock);
            texts.emplace_back(error.what());
            throw;
        }
        return CTillOutcome();
    };
    CFleetOptions options;
    options.TimeLimit = 300ms;
    options.ReplyWait = 60s; // far beyond the limit: only the limit can end the read
    const std::vector<CTillRun> runs = RunFleet(tills, options, job);
    // Left to themselves, the read would come back empty after a minute and the write would give
    // up with a time-out of its own: the closed connection is the limit's doing.
    EXPECT_EQ(texts, (std::vector<std::string>{ConnectionClosedText, ConnectionClosedText}));
    for (const CTillRun& run : runs) {
        EXPECT_EQ(run.Outcome.Exit, CExitCode::Connection);
        EXPECT_EQ(run.Outcome.Error, "Time limit of 0.3 s reached");
    }
}

TEST(FleetRunner, EachFailureStaysWithItsTill)
{
    CScratchFolder scratch("failures");
    CTillUnderTest till(scratch.Path());
    const std::vector<CTillAddress> tills = {
        {"127.0.0.1", till.Port()}, {"127.0.0.1", till.Port()}, {"127.0.0.1", till.Port()}};
    std::atomic<int> call{0};
    const CTillJob job = [&](CCommandChannel&, const CTillAddress&,
                             const CProgress& progress) -> CTillOutcome {
        const int n = call++;
        progress(0, 100);
        progress(40, 100);
        if (n == 0) {
            throw CCliError(CExitCode::LocalFile, "Disk full");
        }
        if (n == 1) {
            throw std::runtime_error("odd");
        }
        return {};
    };
    CFleetOptions options;
    options.Jobs = 1; // in order, so that call n is till n
    const std::vector<CTillRun> runs = RunFleet(tills, options, job);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].Outcome.Exit, CExitCode::LocalFile);
    EXPECT_EQ(runs[0].Outcome.Error, "Disk full");
    EXPECT_EQ(runs[0].Outcome.Bytes, 40) << "what moved before the failure still counts";
    EXPECT_EQ(runs[1].Outcome.Exit, CExitCode::LocalFile);
    EXPECT_EQ(runs[1].Outcome.Error, "odd");
    EXPECT_TRUE(runs[2].Outcome.Succeeded());
}

TEST(TcpClientAbort, AnAbortedClientNeverConnectsAgain)
{
    CStallingTill till;
    CTcpClient client;
    client.Connect("127.0.0.1", till.Port(), 2s);
    client.Abort();
    EXPECT_THROW(client.ReadLn(10s), CSocketError) << "the connection is over at once";
    EXPECT_THROW(client.Connect("127.0.0.1", till.Port(), 2s), CSocketError);
    EXPECT_FALSE(client.IsOpen());
}

} // namespace
} // namespace quorral
