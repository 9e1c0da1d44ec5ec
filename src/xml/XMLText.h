#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Byte-string helpers shared by the reader's parser and its queries. Replies are single-byte text, so
// "without regard to case" means the ASCII letters only, as the C run-time's comparison does in the C
// locale; every other byte compares and upper-cases as itself.
namespace quorral::xmltext {

// The white space that separates the parts of tags and declarations.
constexpr bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

constexpr char ToUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToUpper(a[i]) != ToUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// The decimal reading of atol/strtol(base 10) with a 32-bit long, as on the tills' home platform:
// leading white space, an optional sign, digits up to the first other byte (0 when there are none),
// and the nearest limit when the number does not fit.
std::int32_t ReadDecimal(std::string_view text);

// The reader's progress reports. They go to a sink that keeps nothing; the calls mark the steps of
// a parse so that a debugging build can route them somewhere.
inline void Trace(std::string_view /*text*/, std::string_view /*value*/ = {})
{}

} // namespace quorral::xmltext
