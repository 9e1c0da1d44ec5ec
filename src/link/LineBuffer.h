#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace quorral {

// The receive buffer of the till link: bytes that arrived and were not consumed yet. It frames
// lines (only the pair CR LF ends one) and hands out raw bytes; it never touches a socket.
class CLineBuffer
{
public:
    void Append(const char* data, std::size_t size);

    // The bytes before the first CR LF, removed together with the CR LF; nothing when no complete
    // line is buffered. Repeated calls while a long line trickles in do not rescan what was seen.
    std::optional<std::string> TakeLine();

    // Moves up to `size` buffered bytes into `destination`; returns how many.
    std::size_t Take(char* destination, std::size_t size);

    std::size_t Size() const { return FData.size() - FStart; }
    bool Empty() const { return Size() == 0; }
    void Clear();

private:
    void Compact();

    std::string FData;
    std::size_t FStart = 0;    // first unconsumed byte
    std::size_t FScanFrom = 0; // CR LF was searched for up to here already
};

} // namespace quorral
