#include "link/CommandChannel.h"

#include "link/Scrambler.h"

#include <charconv>

namespace quorral {

int PortFromText(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    int port = 0;
    const auto [end, error] = std::from_chars(first, last, port);
    if (error != std::errc() || end != last || first == last) {
        return DefaultTillPort;
    }
    return port;
}

CCommandChannel::CCommandChannel(std::chrono::milliseconds replyWait, std::size_t maxLineLength)
    : FClient(maxLineLength), FReplyWait(replyWait)
{}

void CCommandChannel::Connect(const std::string& host, int port, std::chrono::milliseconds timeout)
{
    FClient.Connect(host, port, timeout);
}

void CCommandChannel::SendCommand(const std::string& command)
{
    FClient.DiscardPending();
    // The line is a C string on the wire: it ends at its first NUL, if any.
    std::string line(ScrambleMarker, ScrambleMarkerLength);
    line.append(command.c_str());
    ScrambleLine(line.data() + ScrambleMarkerLength, 0);
    // Marker and text in one send: the bytes are the same, and no small second segment waits on
    // the peer's delayed acknowledgement.
    FClient.Write(line);
}

std::string ReplyFromLine(std::string line)
{
    line.resize(std::char_traits<char>::length(line.c_str()));
    if (line.compare(0, ScrambleMarkerLength, ScrambleMarker, ScrambleMarkerLength) == 0) {
        UnscrambleLine(line.data() + ScrambleMarkerLength, 0);
    }
    return line;
}

std::string CCommandChannel::ReadReply()
{
    return ReplyFromLine(FClient.ReadLn(FReplyWait));
}

} // namespace quorral
