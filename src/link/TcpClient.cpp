#include "link/TcpClient.h"

#include "link/SocketError.h"

#include <array>
#include <memory>

namespace quorral {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

struct CAddressListDeleter
{
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// Opens a non-blocking connection to one resolved address; returns the error code on failure.
int ConnectOne(const addrinfo& address, Clock::time_point deadline, CSocketHandle& result)
{
    CSocketHandle socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (!socket.Valid()) {
        return LastSocketErrorCode();
    }
    SetNonBlocking(socket.Get(), true);
    if (::connect(socket.Get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
        const int code = LastSocketErrorCode();
        if (!IsWouldBlock(code)) {
            return code;
        }
        const CWaitResult wait = WaitForSocket(socket.Get(), true, RemainingMs(deadline));
        if (wait == CWaitResult::TimedOut) {
            return TimedOutCode();
        }
        if (wait == CWaitResult::Failed) {
            return LastSocketErrorCode();
        }
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
        if (error != 0) {
            return error;
        }
    }
    SetNoDelay(socket.Get());
    result = std::move(socket);
    return 0;
}

} // namespace

CTcpClient::CTcpClient(std::size_t maxLineLength) : FMaxLineLength(maxLineLength)
{
    EnsureSocketsStarted();
}

void CTcpClient::Connect(const std::string& host, int port, std::chrono::milliseconds timeout)
{
    Disconnect();
    if (FAborted) {
        ThrowClosed();
    }
    if (port < 0 || port > 65535) {
        throw CSocketError("Invalid port: " + std::to_string(port));
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
#ifdef _WIN32
        ThrowSocketError(resolved);
#else
        throw CSocketError(std::string("Socket Error # ") + std::to_string(resolved) + "\r\n" +
                           gai_strerror(resolved));
#endif
    }
    const std::unique_ptr<addrinfo, CAddressListDeleter> list(found);
    int lastError = TimedOutCode();
    for (const addrinfo* address = list.get(); address != nullptr; address = address->ai_next) {
        CSocketHandle connected;
        lastError = ConnectOne(*address, deadline, connected);
        if (lastError == 0) {
            const std::lock_guard<std::mutex> lock(FAbortLock);
            FSocket = std::move(connected);
            if (FAborted) {
                FSocket.Reset();
                ThrowClosed();
            }
            return;
        }
        if (RemainingMs(deadline) == 0) {
            break;
        }
    }
    ThrowSocketError(lastError);
}

void CTcpClient::Disconnect() noexcept
{
    {
        const std::lock_guard<std::mutex> lock(FAbortLock);
        FSocket.Reset();
    }
    FBuffer.Clear();
    FPeerClosed = false;
}

void CTcpClient::ThrowClosed()
{
    throw CSocketError(ConnectionClosedText);
}

void CTcpClient::Write(std::string_view bytes)
{
    if (!FSocket.Valid() || FPeerClosed || FAborted) {
        ThrowClosed();
    }
    // A write that makes no progress for this long means the till stopped reading.
    constexpr int StallLimitMs = 30000;
    while (!bytes.empty()) {
        const int chunk = bytes.size() > (1 << 30) ? (1 << 30) : static_cast<int>(bytes.size());
        const auto sent = ::send(FSocket.Get(), bytes.data(), chunk, SendFlags());
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        const int code = LastSocketErrorCode();
        if (IsInterrupted(code)) {
            continue;
        }
        if (!IsWouldBlock(code)) {
#ifdef _WIN32
            const bool broken = false;
#else
            const bool broken = code == EPIPE;
#endif
            // A connection shut down by Abort fails its writes like one the till closed.
            if (broken || FAborted) {
                FPeerClosed = true;
                ThrowClosed();
            }
            ThrowSocketError(code);
        }
        if (Wait(true, StallLimitMs) == CWaitResult::TimedOut) {
            ThrowSocketError(TimedOutCode());
        }
    }
}

CWaitResult CTcpClient::Wait(bool forWrite, int timeoutMs)
{
#ifdef _WIN32
    // WSAPoll does not wake up for a socket that another thread shut down: wait in slices and look
    // at the abort between them.
    constexpr int SliceMs = 100;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (FAborted) {
            return CWaitResult::Ready; // the read or write that follows reports the closed connection
        }
        const int left = timeoutMs < 0 ? SliceMs : RemainingMs(deadline);
        const CWaitResult result = WaitForSocket(FSocket.Get(), forWrite, left < SliceMs ? left : SliceMs);
        if (result != CWaitResult::TimedOut || (timeoutMs >= 0 && RemainingMs(deadline) == 0)) {
            return result;
        }
    }
#else
    return WaitForSocket(FSocket.Get(), forWrite, timeoutMs);
#endif
}

CTcpClient::CReceive CTcpClient::ReceiveSome()
{
    if (FAborted) {
        FPeerClosed = true;
        return CReceive::Closed;
    }
    std::array<char, 64 * 1024> chunk;
    for (;;) {
        const auto received = ::recv(FSocket.Get(), chunk.data(), static_cast<int>(chunk.size()), 0);
        if (received > 0) {
            FBuffer.Append(chunk.data(), static_cast<std::size_t>(received));
            return CReceive::Data;
        }
        if (received == 0) {
            FPeerClosed = true;
            return CReceive::Closed;
        }
        const int code = LastSocketErrorCode();
        if (IsInterrupted(code)) {
            continue;
        }
        if (IsWouldBlock(code)) {
            return CReceive::Nothing;
        }
        ThrowSocketError(code);
    }
}

std::string CTcpClient::ReadLn(std::chrono::milliseconds wait)
{
    for (;;) {
        if (auto line = FBuffer.TakeLine()) {
            return *line;
        }
        if (FBuffer.Size() > FMaxLineLength) {
            Disconnect();
            throw CSocketError("The till sent a reply line longer than " +
                               std::to_string(FMaxLineLength >> 20) + " MB; the connection was closed.");
        }
        if (!FSocket.Valid() || FPeerClosed) {
            ThrowClosed();
        }
        const CWaitResult ready = Wait(false, static_cast<int>(wait.count()));
        if (ready == CWaitResult::TimedOut) {
            return {};
        }
        if (ready == CWaitResult::Failed) {
            ThrowSocketError(LastSocketErrorCode());
        }
        if (ReceiveSome() == CReceive::Closed && !FBuffer.Empty()) {
            // The partial line is given up on now; the next read or write reports the close.
            if (auto line = FBuffer.TakeLine()) {
                return *line;
            }
            return {};
        }
    }
}

void CTcpClient::ReadBuffer(char* destination, std::size_t size, std::chrono::milliseconds idleLimit)
{
    std::size_t done = FBuffer.Take(destination, size);
    while (done < size) {
        if (!FSocket.Valid() || FPeerClosed) {
            ThrowClosed();
        }
        const CWaitResult ready = Wait(false, static_cast<int>(idleLimit.count()));
        if (ready == CWaitResult::TimedOut) {
            throw CSocketStalled();
        }
        if (ready == CWaitResult::Failed) {
            ThrowSocketError(LastSocketErrorCode());
        }
        ReceiveSome();
        done += FBuffer.Take(destination + done, size - done);
    }
}

void CTcpClient::DiscardPending()
{
    FBuffer.Clear();
    while (FSocket.Valid() && !FPeerClosed && WaitForSocket(FSocket.Get(), false, 0) == CWaitResult::Ready) {
        const CReceive received = ReceiveSome();
        FBuffer.Clear();
        if (received != CReceive::Data) {
            break;
        }
    }
}

void CTcpClient::Abort() noexcept
{
    const std::lock_guard<std::mutex> lock(FAbortLock);
    FAborted = true;
    if (FSocket.Valid()) {
        // Unlike closing, shutting down leaves the handle to its owner and wakes its waits at once:
        // reads see the end of the stream and writes fail.
#ifdef _WIN32
        ::shutdown(FSocket.Get(), SD_BOTH);
#else
        ::shutdown(FSocket.Get(), SHUT_RDWR);
#endif
    }
}

} // namespace quorral
