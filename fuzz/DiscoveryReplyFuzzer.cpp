// Any datagram as a discovery reply: the reader must take it (a stranger on the network can send
// anything to the reply port) and what it names must agree with the details it lists.
#include "discovery/Discovery.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

std::string Upper(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

// A named field is the text of the first child of that name, so the details list it too.
void CheckField(const quorral::CDiscoveryReply& reply, const std::string& field, std::string_view name)
{
    if (field.empty()) {
        return;
    }
    for (const auto& [childName, text] : reply.Details) {
        if (Upper(childName) == name) {
            Check(text == field);
            return;
        }
    }
    Check(false);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > quorral::MaxDiscoveryDatagram) {
        return 0; // no datagram read from the socket is longer
    }
    const auto* bytes = reinterpret_cast<const char*>(data);
    const quorral::CDiscoveryReply reply = quorral::ReadDiscoveryReply(bytes, size);
    CheckField(reply, reply.HostName, "HOSTNAME");
    CheckField(reply, reply.McName, "MCNAME");
    CheckField(reply, reply.McId, "MCID");
    CheckField(reply, reply.VersionString, "VERSIONSTRING");
    for (const auto& [name, text] : reply.Details) {
        Check(name.find('\0') == std::string::npos && text.find('\0') == std::string::npos);
    }
    return 0;
}
