#include "discovery/Discovery.h"

#include "xml/XMLParser.h"

#include <algorithm>
#include <cstring>

namespace quorral {
namespace {

std::string ChildText(const CXMLNode* root, const char* name)
{
    const CXMLNode* child = FindChild(root, name);
    return child != nullptr ? child->Text : std::string();
}

std::string Dotted(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace

std::vector<std::uint8_t> DiscoveryProbe()
{
    std::vector<std::uint8_t> probe(DiscoveryProbeSize, 0);
    constexpr std::uint16_t Magic = 9998;
    probe[0] = static_cast<std::uint8_t>(Magic & 0xFF);
    probe[1] = static_cast<std::uint8_t>(Magic >> 8);
    probe[2] = 0xFF;
    return probe;
}

std::string AdapterBroadcastAddress(const std::vector<CAdapterAddress>& adapters, int n)
{
    if (n < 1 || n > static_cast<int>(adapters.size())) {
        return {};
    }
    const CAdapterAddress& adapter = adapters[static_cast<std::size_t>(n - 1)];
    if (adapter.Address == 0) {
        return {};
    }
    return Dotted(adapter.Address | ~adapter.Netmask);
}

CDiscoveryReply ReadDiscoveryReply(const char* data, std::size_t size)
{
    // An empty datagram may come without any buffer at all; strnlen must not be given that.
    const std::string text(data, size == 0 ? data : std::find(data, data + size, '\0'));
    const CXMLParser parser(text);
    const CXMLNode* root = parser.Root();
    CDiscoveryReply reply{ChildText(root, "HOSTNAME"),
                          ChildText(root, "MCNAME"),
                          ChildText(root, "MCID"),
                          ChildText(root, "VERSIONSTRING"),
                          {}};
    if (root != nullptr && !root->Children.empty()) {
        for (const CXMLNode* child = root->Children.front(); child != nullptr;
             child = NextSibling(*child, false)) {
            reply.Details.emplace_back(child->Name, child->Text);
        }
    }
    return reply;
}

} // namespace quorral
