#pragma once

#include "link/LineBuffer.h"
#include "link/SocketApi.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace quorral {

// The longest reply line taken; a till that sends more without ending it is given up on.
inline constexpr std::size_t DefaultMaxLineLength = 32 * 1024 * 1024;

// A small blocking TCP client: the connection to one till. Every failure is a CSocketError whose
// text is what the operator sees.
class CTcpClient
{
public:
    explicit CTcpClient(std::size_t maxLineLength = DefaultMaxLineLength);
    CTcpClient(const CTcpClient&) = delete;
    CTcpClient& operator=(const CTcpClient&) = delete;
    ~CTcpClient() = default;

    // Opens a connection; any earlier one is closed first and the receive buffer starts empty.
    // Gives up after `timeout` (the system's own limit can be minutes).
    void Connect(const std::string& host, int port, std::chrono::milliseconds timeout);
    // Closes the connection; harmless when none is open.
    void Disconnect() noexcept;
    bool IsOpen() const { return FSocket.Valid(); }

    // Sends every byte at once, unbuffered. Raises when the connection is closed or breaks.
    void Write(std::string_view bytes);

    // One line ended by CR LF, without the terminator. Waits at most `wait` for each arrival of
    // data; an empty line when a wait runs out, with a partial line kept for the next read.
    // Raises when the connection is closed and no complete line is buffered. A line that grows past
    // the longest one taken closes the connection (what follows cannot be told apart any more)
    // and raises.
    std::string ReadLn(std::chrono::milliseconds wait);

    // Exactly `size` raw bytes, buffered ones first. Raises when the connection ends first, and
    // CSocketStalled when no byte arrives for `idleLimit`.
    void ReadBuffer(char* destination, std::size_t size, std::chrono::milliseconds idleLimit);

    // Forgets every byte that arrived and was not consumed, including what is waiting in the socket.
    void DiscardPending();

    // The one call that may come from another thread, so that a deadline can be enforced on a
    // blocked exchange: ends the connection without closing the handle, which wakes whatever wait
    // is under way; it and every later read or write see a closed connection. Lasts for the life
    // of the client: a later Connect fails too.
    void Abort() noexcept;

private:
    enum class CReceive { Data, Nothing, Closed };
    CReceive ReceiveSome();
    CWaitResult Wait(bool forWrite, int timeoutMs);
    [[noreturn]] void ThrowClosed();

    CSocketHandle FSocket;
    CLineBuffer FBuffer;
    std::size_t FMaxLineLength;
    bool FPeerClosed = false;
    // Guards FSocket against Abort: the handle must not be closed (and its number reused by another
    // connection) while Abort shuts it down.
    std::mutex FAbortLock;
    std::atomic<bool> FAborted{false};
};

} // namespace quorral
