#include "xml/XMLText.h"

#include <cstdint>
#include <limits>

namespace quorral::xmltext {

std::int32_t ReadDecimal(std::string_view text)
{
    std::size_t at = 0;
    // isspace of the C locale.
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    // Kept one past the int32 range at most, so long runs of digits cannot overflow.
    constexpr std::int64_t Cap = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - '0');
        if (magnitude > Cap) {
            magnitude = Cap;
        }
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace quorral::xmltext
