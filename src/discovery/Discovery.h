#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorral {

// Tills listen for the probe on this port and answer to the port it came from.
inline constexpr std::uint16_t DiscoveryProbePort = 5555;
inline constexpr std::uint16_t DiscoveryReplyPort = 32567;
inline constexpr std::size_t DiscoveryProbeSize = 1012;
inline constexpr std::size_t MaxDiscoveryDatagram = 8192;
// Only this many adapters are probed.
inline constexpr int MaxProbedAdapters = 6;

// The probe every till answers: 9998 as a little-endian 16-bit number, 255, then zeros.
std::vector<std::uint8_t> DiscoveryProbe();

// One network adapter's IPv4 address and netmask, in host byte order.
struct CAdapterAddress
{
    std::uint32_t Address = 0;
    std::uint32_t Netmask = 0;
};

// The broadcast address of the n-th adapter (counting from 1) in dotted form: the adapter's address
// with every host bit set. Empty when there is no such adapter or it has no address.
std::string AdapterBroadcastAddress(const std::vector<CAdapterAddress>& adapters, int n);

// What one till says about itself.
struct CDiscoveryReply
{
    std::string HostName;
    std::string McName;
    std::string McId;
    std::string VersionString;
    // Every child of the reply's root in order: its name (upper-cased) and its text.
    std::vector<std::pair<std::string, std::string>> Details;
};

// Reads a reply datagram: the text ends at its first zero byte. Anything that is not XML still gives
// a reply, with empty fields.
CDiscoveryReply ReadDiscoveryReply(const char* data, std::size_t size);

} // namespace quorral
