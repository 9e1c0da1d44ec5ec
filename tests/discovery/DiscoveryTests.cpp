#include "discovery/Discovery.h"

#include <gtest/gtest.h>

#include <string>

namespace quorral {
namespace {

constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d)
{
    return a << 24 | b << 16 | c << 8 | d;
}

TEST(DiscoveryProbe, IsTheFixedThousandAndTwelveBytes)
{
    const std::vector<std::uint8_t> probe = DiscoveryProbe();
    ASSERT_EQ(probe.size(), 1012u);
    EXPECT_EQ(probe[0], 0x0E);
    EXPECT_EQ(probe[1], 0x27);
    EXPECT_EQ(probe[2], 0xFF);
    for (std::size_t i = 3; i < probe.size(); ++i) {
        ASSERT_EQ(probe[i], 0) << "byte " << i;
    }
}

TEST(AdapterBroadcastAddress, SetsEveryHostBitOfTheNthAdapter)
{
    const std::vector<CAdapterAddress> adapters = {
        {Ip(192, 168, 1, 20), Ip(255, 255, 255, 0)},
        {Ip(10, 1, 2, 3), Ip(255, 255, 0, 0)},
        {0, Ip(255, 255, 255, 0)},
        {Ip(172, 16, 5, 9), Ip(255, 240, 0, 0)},
    };
    const std::pair<int, std::string> cases[] = {
        {1, "192.168.1.255"}, {2, "10.1.255.255"}, {3, ""}, {4, "172.31.255.255"}, {5, ""}, {0, ""}, {-1, ""},
    };
    for (const auto& [n, address] : cases) {
        EXPECT_EQ(AdapterBroadcastAddress(adapters, n), address) << "adapter " << n;
    }
}

TEST(DiscoveryReply, FieldsAreMatchedInAnyCaseAndEveryChildIsADetail)
{
    const std::string text =
        "<terminal id=\"7\"><hostname>till-1</hostname><mcname>Front</mcname><mcid>42</mcid>"
        "<versionstring>4.2</versionstring><Mcid>second</Mcid><Uptime>3 days</Uptime></terminal>";
    const CDiscoveryReply reply = ReadDiscoveryReply(text.data(), text.size());
    EXPECT_EQ(reply.HostName, "till-1");
    EXPECT_EQ(reply.McName, "Front");
    EXPECT_EQ(reply.McId, "42") << "the first of a name counts";
    EXPECT_EQ(reply.VersionString, "4.2");
    const std::vector<std::pair<std::string, std::string>> details = {
        {"HOSTNAME", "till-1"},   {"MCNAME", "Front"}, {"MCID", "42"},
        {"VERSIONSTRING", "4.2"}, {"MCID", "second"},  {"UPTIME", "3 days"},
    };
    EXPECT_EQ(reply.Details, details);
}

TEST(DiscoveryReply, TextEndsAtTheFirstZeroByteAndNonXmlGivesEmptyFields)
{
    const std::string cut("<T><HOSTNAME>a</HOSTNAME>\0<MCNAME>b</MCNAME></T>", 48);
    const CDiscoveryReply reply = ReadDiscoveryReply(cut.data(), cut.size());
    EXPECT_EQ(reply.HostName, "a");
    EXPECT_EQ(reply.McName, "");

    const std::string plain = "hello there";
    const CDiscoveryReply empty = ReadDiscoveryReply(plain.data(), plain.size());
    EXPECT_EQ(empty.HostName, "");
    EXPECT_EQ(empty.VersionString, "");
    EXPECT_TRUE(empty.Details.empty());
}

} // namespace
} // namespace quorral
