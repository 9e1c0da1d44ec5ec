#include "link/SocketApi.h"

#ifdef _WIN32
#include <mutex>
#else
#include <cerrno>
#include <fcntl.h>
#endif

namespace quorral {

#ifdef _WIN32
void EnsureSocketsStarted()
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

void CloseSocket(socket_t socket) noexcept
{
    closesocket(socket);
}

bool SetNonBlocking(socket_t socket, bool nonBlocking) noexcept
{
    u_long mode = nonBlocking ? 1 : 0;
    return ioctlsocket(socket, FIONBIO, &mode) == 0;
}

bool IsWouldBlock(int code) noexcept
{
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}
bool IsInterrupted(int code) noexcept
{
    return code == WSAEINTR;
}
int TimedOutCode() noexcept
{
    return WSAETIMEDOUT;
}
int SendFlags() noexcept
{
    return 0;
}
#else
void EnsureSocketsStarted()
{}

void CloseSocket(socket_t socket) noexcept
{
    ::close(socket);
}

bool SetNonBlocking(socket_t socket, bool nonBlocking) noexcept
{
    const int flags = fcntl(socket, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    return fcntl(socket, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

bool IsWouldBlock(int code) noexcept
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINPROGRESS;
}
bool IsInterrupted(int code) noexcept
{
    return code == EINTR;
}
int TimedOutCode() noexcept
{
    return ETIMEDOUT;
}
int SendFlags() noexcept
{
    return MSG_NOSIGNAL;
}
#endif

void SetNoDelay(socket_t socket) noexcept
{
    // Commands and replies are single small lines: waiting to coalesce them only adds latency.
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

CWaitResult WaitForSocket(socket_t socket, bool forWrite, int timeoutMs) noexcept
{
#ifdef _WIN32
    int result;
    if (forWrite) {
        // Before Windows 10 2004, WSAPoll never reports a connection attempt that failed, so a
        // refused connection would only end at the deadline; select reports it as an exception.
        fd_set writable;
        fd_set failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(socket, &writable);
        FD_SET(socket, &failed);
        timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        result = ::select(0, nullptr, &writable, &failed, timeoutMs < 0 ? nullptr : &limit);
    } else {
        WSAPOLLFD entry{};
        entry.fd = socket;
        entry.events = POLLRDNORM;
        result = WSAPoll(&entry, 1, timeoutMs);
    }
#else
    pollfd entry{};
    entry.fd = socket;
    entry.events = forWrite ? POLLOUT : POLLIN;
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
#endif
    if (result < 0) {
        return CWaitResult::Failed;
    }
    // Errors and hang-ups count as ready: the following recv or send reports what happened.
    return result == 0 ? CWaitResult::TimedOut : CWaitResult::Ready;
}

} // namespace quorral
