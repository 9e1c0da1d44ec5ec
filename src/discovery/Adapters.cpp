#include "discovery/Adapters.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// iphlpapi.h needs the socket headers first.
#include <iphlpapi.h>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#endif

#include <memory>
#include <string>

namespace quorral {

#ifdef _WIN32
std::vector<CAdapterAddress> NetworkAdapters()
{
    std::vector<CAdapterAddress> adapters;
    constexpr ULONG Flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::unique_ptr<unsigned char[]> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the call that sizes it and the one that fills it.
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer = std::make_unique<unsigned char[]>(size);
        result = GetAdaptersAddresses(AF_INET, Flags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result != NO_ERROR) {
        return adapters;
    }
    for (const IP_ADAPTER_ADDRESSES* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        for (const IP_ADAPTER_UNICAST_ADDRESS* entry = adapter->FirstUnicastAddress; entry != nullptr;
             entry = entry->Next) {
            const sockaddr* address = entry->Address.lpSockaddr;
            if (address == nullptr || address->sa_family != AF_INET) {
                continue;
            }
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            const unsigned prefix = entry->OnLinkPrefixLength > 32 ? 32 : entry->OnLinkPrefixLength;
            const std::uint32_t netmask = prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - prefix);
            adapters.push_back({ntohl(ipv4->sin_addr.s_addr), netmask});
            break;
        }
    }
    return adapters;
}
#else
std::vector<CAdapterAddress> NetworkAdapters()
{
    std::vector<CAdapterAddress> adapters;
    ifaddrs* found = nullptr;
    if (getifaddrs(&found) != 0) {
        return adapters;
    }
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> list(found, freeifaddrs);
    // getifaddrs gives one entry per address; an adapter counts once, with its first IPv4 address.
    std::vector<std::string> seen;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET ||
            (entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const std::string name = entry->ifa_name != nullptr ? entry->ifa_name : "";
        bool known = false;
        for (const std::string& other : seen) {
            known = known || other == name;
        }
        if (known) {
            continue;
        }
        seen.push_back(name);
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        adapters.push_back(
            {ntohl(address->sin_addr.s_addr), netmask != nullptr ? ntohl(netmask->sin_addr.s_addr) : 0u});
    }
    return adapters;
}
#endif

} // namespace quorral
