// The discovery sweep and the adapter list behind `discover` and `info`. Probes go only to loopback
// addresses: each test hands the sweep its own adapters, whose netmask 255.255.255.255 makes the
// address its own broadcast address.

#include "CliTestSupport.h"

#include "discovery/Adapters.h"
#include "discovery/DiscoverySweep.h"
#include "link/SocketError.h"

#include <gtest/gtest.h>

namespace quorral {
namespace {

using namespace std::chrono_literals;
using test::BoundLoopbackSocket;
using test::CScratchFolder;
using test::CTillUnderTest;
using test::LocalPort;

constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

constexpr std::uint32_t Single = 0xFFFFFFFFu;

CDiscoverySweepOptions LoopbackSweep(std::vector<std::string> targets, int probePort)
{
    CDiscoverySweepOptions options;
    options.Targets = std::move(targets);
    options.ListenPort = 0;
    options.ProbePort = static_cast<std::uint16_t>(probePort);
    options.Timeout = 700ms;
    options.RoundInterval = 100ms;
    options.PauseAfterProbe = 10ms;
    return options;
}

TEST(BroadcastTargets, OnlyTheFirstSixAdaptersCountAndThoseWithoutAddressAreSkipped)
{
    std::vector<CAdapterAddress> adapters = {
        {Ip(192, 168, 1, 20), Ip(255, 255, 255, 0)}, {0, Ip(255, 255, 255, 0)},
        {Ip(10, 1, 2, 3), Ip(255, 255, 0, 0)},       {Ip(127, 0, 0, 2), Single},
        {Ip(172, 16, 0, 1), Ip(255, 255, 255, 0)},   {Ip(172, 17, 0, 1), Ip(255, 255, 255, 0)},
        {Ip(172, 18, 0, 1), Ip(255, 255, 255, 0)}, // the seventh: never probed
    };
    const std::vector<std::string> expected = {"192.168.1.255", "10.1.255.255", "127.0.0.2", "172.16.0.255",
                                               "172.17.0.255"};
    EXPECT_EQ(BroadcastTargets(adapters), expected);
}

TEST(NetworkAdapters, NeverListLoopbackOrAdaptersWithoutAddress)
{
    // Reads the system's list and sends nothing.
    for (const CAdapterAddress& adapter : NetworkAdapters()) {
        EXPECT_NE(adapter.Address >> 24, 127u);
        EXPECT_NE(adapter.Address, 0u);
    }
}

// Two tills on two loopback addresses answering on the same probe port, as tills on two networks.
class TwoTillsSweep : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FFirst = std::make_unique<CTillUnderTest>(FScratch.Path(), "127.0.0.2", 0,
                                                  CTillIdentity{"till-a", "Front", "11", "4.2"});
        if (FFirst->DiscoveryPort() == NoDiscovery) {
            GTEST_SKIP() << "no second loopback address here: " << FFirst->DiscoveryProblem();
        }
        FSecond = std::make_unique<CTillUnderTest>(FScratch.Path(), "127.0.0.3", FFirst->DiscoveryPort(),
                                                   CTillIdentity{"till-b", "Back", "12", "4.3"});
        if (FSecond->DiscoveryPort() == NoDiscovery) {
            GTEST_SKIP() << "no third loopback address here: " << FSecond->DiscoveryProblem();
        }
    }

    int ProbePort() const { return FFirst->DiscoveryPort(); }

    CScratchFolder FScratch{"sweep"};
    std::unique_ptr<CTillUnderTest> FFirst;
    std::unique_ptr<CTillUnderTest> FSecond;
};

TEST_F(TwoTillsSweep, EachTillIsListedOnceWithItsFields)
{
    // Four rounds to each of the two addresses: every till answers four times.
    const CDiscoverySweepOptions options = LoopbackSweep(
        BroadcastTargets({{Ip(127, 0, 0, 2), Single}, {Ip(127, 0, 0, 3), Single}}), ProbePort());
    std::vector<CDiscoveredTill> found = RunDiscoverySweep(options);
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(),
              [](const CDiscoveredTill& a, const CDiscoveredTill& b) { return a.Address < b.Address; });
    EXPECT_EQ(found[0].Address, "127.0.0.2");
    EXPECT_EQ(found[0].Reply.HostName, "till-a");
    EXPECT_EQ(found[0].Reply.McName, "Front");
    EXPECT_EQ(found[0].Reply.McId, "11");
    EXPECT_EQ(found[0].Reply.VersionString, "4.2");
    EXPECT_EQ(found[1].Address, "127.0.0.3");
    EXPECT_EQ(found[1].Reply.HostName, "till-b");
}

TEST_F(TwoTillsSweep, OnlyFromTakesTheChosenTillAlone)
{
    CDiscoverySweepOptions options = LoopbackSweep({"127.0.0.2", "127.0.0.3"}, ProbePort());
    options.OnlyFrom = "127.0.0.3";
    const std::vector<CDiscoveredTill> found = RunDiscoverySweep(options);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].Address, "127.0.0.3");
    EXPECT_EQ(found[0].Reply.McName, "Back");
}

TEST(DiscoverySweep, SendsTheProbeAndIgnoresEchoesOfIt)
{
    // A responder that first reflects what it got (as a device that echoes any datagram would),
    // then answers with a reply that ends at a zero byte.
    const CSocketHandle responder = BoundLoopbackSocket(SOCK_DGRAM);
    std::vector<char> received(2048);
    std::atomic<long> receivedSize{-1};
    std::thread answer([&] {
        if (WaitForSocket(responder.Get(), false, 3000) != CWaitResult::Ready) {
            return;
        }
        sockaddr_in sender{};
        socklen_t length = sizeof sender;
        const auto size = ::recvfrom(responder.Get(), received.data(), static_cast<int>(received.size()), 0,
                                     reinterpret_cast<sockaddr*>(&sender), &length);
        receivedSize = static_cast<long>(size);
        if (size <= 0) {
            return;
        }
        ::sendto(responder.Get(), received.data(), static_cast<int>(size), 0,
                 reinterpret_cast<const sockaddr*>(&sender), length);
        constexpr char Reply[] = "<T><HOSTNAME>echo-till</HOSTNAME></T>\0<MCNAME>hidden</MCNAME>";
        ::sendto(responder.Get(), Reply, static_cast<int>(sizeof Reply - 1), 0,
                 reinterpret_cast<const sockaddr*>(&sender), length);
    });
    CDiscoverySweepOptions options = LoopbackSweep({"127.0.0.1"}, LocalPort(responder.Get()));
    options.Rounds = 1;
    const std::vector<CDiscoveredTill> found = RunDiscoverySweep(options);
    answer.join();

    ASSERT_EQ(receivedSize, 1012);
    EXPECT_EQ(static_cast<unsigned char>(received[0]), 0x0E);
    EXPECT_EQ(static_cast<unsigned char>(received[1]), 0x27);
    EXPECT_EQ(static_cast<unsigned char>(received[2]), 0xFF);
    EXPECT_TRUE(std::all_of(received.begin() + 3, received.begin() + 1012, [](char c) { return c == 0; }));
    ASSERT_EQ(found.size(), 1u) << "the echoed probe is no till";
    EXPECT_EQ(found[0].Address, "127.0.0.1");
    EXPECT_EQ(found[0].Reply.HostName, "echo-till");
    EXPECT_EQ(found[0].Reply.McName, "") << "the text ends at the zero byte";
}

TEST(DiscoverySweep, AListenPortInUseIsReportedWithThePort)
{
    const CSocketHandle taken = BoundLoopbackSocket(SOCK_DGRAM);
    const int port = LocalPort(taken.Get());
    CDiscoverySweepOptions options = LoopbackSweep({"127.0.0.1"}, 9);
    options.ListenPort = static_cast<std::uint16_t>(port);
    try {
        RunDiscoverySweep(options);
        ADD_FAILURE() << "the sweep bound a port in use";
    } catch (const CSocketError& error) {
        EXPECT_EQ(
            std::string(error.what())
                .rfind("Cannot receive discovery replies on UDP port " + std::to_string(port) + ": ", 0),
            0u)
            << error.what();
    }
}

TEST(DiscoverySweep, ATargetThatIsNoAddressIsRefusedBeforeAnythingIsSent)
{
    EXPECT_THROW(RunDiscoverySweep(LoopbackSweep({"till.example"}, 9)), CSocketError);
    EXPECT_TRUE(RunDiscoverySweep(LoopbackSweep({}, 9)).empty());
}

} // namespace
} // namespace quorral
