#include "link/LineBuffer.h"

#include <cstring>

namespace quorral {

void CLineBuffer::Append(const char* data, std::size_t size)
{
    Compact();
    FData.append(data, size);
}

std::optional<std::string> CLineBuffer::TakeLine()
{
    const std::size_t from = FScanFrom > FStart ? FScanFrom : FStart;
    const std::size_t end = FData.find("\r\n", from);
    if (end == std::string::npos) {
        // A CR at the very end may still be followed by its LF.
        FScanFrom = FData.empty() ? 0 : FData.size() - 1;
        return std::nullopt;
    }
    std::string line = FData.substr(FStart, end - FStart);
    FStart = end + 2;
    FScanFrom = FStart;
    return line;
}

std::size_t CLineBuffer::Take(char* destination, std::size_t size)
{
    const std::size_t count = size < Size() ? size : Size();
    std::memcpy(destination, FData.data() + FStart, count);
    FStart += count;
    return count;
}

void CLineBuffer::Clear()
{
    FData.clear();
    FStart = 0;
    FScanFrom = 0;
}

// Drops consumed bytes once they make up the larger part, so appending stays amortised linear.
void CLineBuffer::Compact()
{
    if (FStart == 0 || FStart < FData.size() / 2) {
        return;
    }
    FData.erase(0, FStart);
    FScanFrom = FScanFrom > FStart ? FScanFrom - FStart : 0;
    FStart = 0;
}

} // namespace quorral
