#include "discovery/DiscoverySweep.h"

#include "link/SocketApi.h"
#include "link/SocketError.h"

#ifndef _WIN32
#include <arpa/inet.h>
#endif

#include <algorithm>
#include <memory>
#include <system_error>

namespace quorral {
namespace {

using Clock = std::chrono::steady_clock;

std::string SystemText(int code)
{
    return std::system_category().message(code);
}

std::string Dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = {};
    return inet_ntop(AF_INET, &address, text, sizeof text) != nullptr ? std::string(text) : std::string();
}

struct CProbeTarget
{
    sockaddr_in Address{};
    Clock::duration Offset{}; // after the start of its round
};

struct CAddressListDeleter
{
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

int MillisecondsUntil(Clock::time_point when)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    // Rounded up, so that a wait never ends just before the moment it waits for and spins.
    return left > 0 ? static_cast<int>(left) + 1 : 0;
}

} // namespace

std::vector<std::string> BroadcastTargets(const std::vector<CAdapterAddress>& adapters)
{
    std::vector<std::string> targets;
    for (int n = 1; n <= MaxProbedAdapters; ++n) {
        std::string address = AdapterBroadcastAddress(adapters, n);
        if (!address.empty()) {
            targets.push_back(std::move(address));
        }
    }
    return targets;
}

std::string ResolveIpv4(const std::string& host)
{
    EnsureSocketsStarted();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return {};
    }
    const std::unique_ptr<addrinfo, CAddressListDeleter> list(found);
    return Dotted(reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr);
}

std::vector<CDiscoveredTill> RunDiscoverySweep(const CDiscoverySweepOptions& options)
{
    EnsureSocketsStarted();
    std::vector<CProbeTarget> targets;
    for (const std::string& text : options.Targets) {
        CProbeTarget target;
        target.Address.sin_family = AF_INET;
        target.Address.sin_port = htons(options.ProbePort);
        if (inet_pton(AF_INET, text.c_str(), &target.Address.sin_addr) != 1) {
            throw CSocketError("Not an IPv4 address: " + text);
        }
        target.Offset = options.PauseAfterProbe * static_cast<int>(targets.size());
        targets.push_back(target);
    }
    std::vector<CDiscoveredTill> found;
    if (targets.empty()) {
        return found;
    }

    CSocketHandle socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (!socket.Valid()) {
        throw CSocketError("Cannot open a UDP socket: " + SystemText(LastSocketErrorCode()));
    }
    int on = 1;
    setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(options.ListenPort);
    if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        throw CSocketError("Cannot receive discovery replies on UDP port " +
                           std::to_string(options.ListenPort) + ": " + SystemText(LastSocketErrorCode()));
    }
    SetNonBlocking(socket.Get(), true);

    const std::vector<std::uint8_t> probe = DiscoveryProbe();
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + options.Timeout;
    const int rounds = std::max(options.Rounds, 1);
    // Counts the probes over all rounds: probe i goes to target i % targets in round i / targets.
    std::size_t nextProbe = 0;
    const std::size_t probes = static_cast<std::size_t>(rounds) * targets.size();
    std::size_t sent = 0;
    int lastSendError = 0;
    const auto probeTime = [&](std::size_t index) {
        return start + options.RoundInterval * static_cast<int>(index / targets.size()) +
               targets[index % targets.size()].Offset;
    };
    std::vector<char> datagram(MaxDiscoveryDatagram);

    for (;;) {
        const Clock::time_point now = Clock::now();
        // The first round goes out whatever the time-out, so that even a zero wait probes once.
        while (nextProbe < probes && probeTime(nextProbe) <= now &&
               (now < deadline || nextProbe < targets.size())) {
            const CProbeTarget& target = targets[nextProbe % targets.size()];
            if (::sendto(socket.Get(), reinterpret_cast<const char*>(probe.data()),
                         static_cast<int>(probe.size()), SendFlags(),
                         reinterpret_cast<const sockaddr*>(&target.Address),
                         sizeof target.Address) == static_cast<int>(probe.size())) {
                ++sent;
            } else {
                lastSendError = LastSocketErrorCode();
            }
            ++nextProbe;
            if (nextProbe == targets.size() && sent == 0) {
                throw CSocketError("Cannot send the discovery probe: " + SystemText(lastSendError));
            }
        }
        if (now >= deadline) {
            return found;
        }
        Clock::time_point wake = deadline;
        if (nextProbe < probes) {
            wake = std::min(wake, probeTime(nextProbe));
        }
        if (WaitForSocket(socket.Get(), false, MillisecondsUntil(wake)) != CWaitResult::Ready) {
            continue;
        }
        for (;;) {
            sockaddr_in sender{};
            socklen_t length = sizeof sender;
            const auto received = ::recvfrom(socket.Get(), datagram.data(), static_cast<int>(datagram.size()),
                                             0, reinterpret_cast<sockaddr*>(&sender), &length);
            std::size_t size = 0;
            if (received >= 0) {
                size = static_cast<std::size_t>(received);
            } else {
                const int code = LastSocketErrorCode();
#ifdef _WIN32
                // Windows reports an oversized datagram as an error, with its first bytes delivered.
                if (code == WSAEMSGSIZE) {
                    size = datagram.size();
                }
#endif
                if (IsInterrupted(code)) {
                    continue;
                }
                if (size == 0) {
                    // Nothing more waiting, or the echo of an earlier send's failure: neither is a
                    // reply, and the next wait tells whether more has come.
                    break;
                }
            }
            if (length < static_cast<socklen_t>(sizeof sender) || sender.sin_family != AF_INET) {
                continue;
            }
            // A sweep from another PC on the same ports is not a till answering.
            if (size == probe.size() &&
                std::equal(probe.begin(), probe.end(), datagram.begin(),
                           [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
                continue;
            }
            const std::string address = Dotted(sender.sin_addr);
            if (!options.OnlyFrom.empty() && address != options.OnlyFrom) {
                continue;
            }
            const bool known = std::any_of(found.begin(), found.end(), [&](const CDiscoveredTill& till) {
                return till.Address == address;
            });
            if (known) {
                continue;
            }
            found.push_back({address, ReadDiscoveryReply(datagram.data(), size)});
            if (!options.OnlyFrom.empty()) {
                return found;
            }
        }
    }
}

} // namespace quorral
