#pragma once

#include "link/TcpClient.h"

#include <chrono>
#include <string>

namespace quorral {

// The three bytes that head every command line and mark a scrambled reply line.
inline constexpr char ScrambleMarker[] = "\x01"
                                         "EC";
inline constexpr std::size_t ScrambleMarkerLength = 3;

inline constexpr int DefaultTillPort = 5559;
inline constexpr std::chrono::milliseconds DefaultReplyWait{2000};
inline constexpr std::chrono::milliseconds DefaultConnectTimeout{15000};

// The port field's text as a port number: a decimal integer, or the default port for anything else.
int PortFromText(const std::string& text);

// The reply a framed line (without its CR LF) stands for: cut at the first NUL, then unscrambled
// behind the marker, which stays at its head.
std::string ReplyFromLine(std::string line);

// One command line out, one reply line in, over one TCP connection to a till.
class CCommandChannel
{
public:
    explicit CCommandChannel(std::chrono::milliseconds replyWait = DefaultReplyWait,
                             std::size_t maxLineLength = DefaultMaxLineLength);

    void Connect(const std::string& host, int port,
                 std::chrono::milliseconds timeout = DefaultConnectTimeout);
    void Disconnect() noexcept { FClient.Disconnect(); }
    bool IsOpen() const { return FClient.IsOpen(); }

    // Sends the marker and the scrambled command (a complete line ending in CR LF). Whatever
    // arrived before and was not read is dropped first, so each reply answers its own command.
    void SendCommand(const std::string& command);

    // One reply line, unscrambled when it carries the marker (which stays at its head); cut at the
    // first NUL; empty when the wait ran out.
    std::string ReadReply();

    // The connection itself, for the raw bytes of file transfers.
    CTcpClient& Client() { return FClient; }

private:
    CTcpClient FClient;
    std::chrono::milliseconds FReplyWait;
};

} // namespace quorral
