#pragma once

#include "link/LineBuffer.h"
#include "link/SocketApi.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace quorral {

// A small blocking TCP client: the connection to one till. Every failure is a CSocketError whose
// text is what the operator sees.
class CTcpClient
{
public:
    CTcpClient();
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
    // Raises when the connection is closed and no complete line is buffered.
    std::string ReadLn(std::chrono::milliseconds wait);

    // Exactly `size` raw bytes, buffered ones first. Raises when the connection ends first, and
    // CSocketStalled when no byte arrives for `idleLimit`.
    void ReadBuffer(char* destination, std::size_t size, std::chrono::milliseconds idleLimit);

    // Forgets every byte that arrived and was not consumed, including what is waiting in the socket.
    void DiscardPending();

private:
    enum class CReceive { Data, Nothing, Closed };
    CReceive ReceiveSome();
    [[noreturn]] void ThrowClosed();

    CSocketHandle FSocket;
    CLineBuffer FBuffer;
    bool FPeerClosed = false;
};

} // namespace quorral
