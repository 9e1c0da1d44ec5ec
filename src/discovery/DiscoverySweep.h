#pragma once

#include "discovery/Discovery.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorral {

// Where the probes of one sweep go and how long replies are awaited.
struct CDiscoverySweepOptions
{
    // Dotted IPv4 addresses: the adapters' broadcast addresses, or one till's own address.
    std::vector<std::string> Targets;
    // The local port of the one socket that sends the probes and receives the replies; 0: any.
    std::uint16_t ListenPort = DiscoveryReplyPort;
    std::uint16_t ProbePort = DiscoveryProbePort;
    // Replies are taken until this much time has passed since the first probe.
    std::chrono::milliseconds Timeout{2000};
    // Datagrams get lost: the probes are sent again every RoundInterval, Rounds times in all.
    int Rounds = 4;
    std::chrono::milliseconds RoundInterval{500};
    // Between two probes of a round, as the Detect Hosts window pauses.
    std::chrono::milliseconds PauseAfterProbe{100};
    // When set, only replies from this dotted address count, and the first one ends the sweep.
    std::string OnlyFrom;
};

struct CDiscoveredTill
{
    std::string Address; // where the reply came from, dotted
    CDiscoveryReply Reply;
};

// The broadcast addresses of the first adapters, as many as are probed, without the empty ones.
std::vector<std::string> BroadcastTargets(const std::vector<CAdapterAddress>& adapters);

// The dotted IPv4 address of a host name or address; empty when it has none.
std::string ResolveIpv4(const std::string& host);

// Probes the targets from one UDP socket with broadcasting on and collects the replies: one entry
// per distinct sender, in the order of their first replies. Throws CSocketError with the socket
// layer's text when the socket cannot be had or no probe could be sent at all.
std::vector<CDiscoveredTill> RunDiscoverySweep(const CDiscoverySweepOptions& options);

} // namespace quorral
