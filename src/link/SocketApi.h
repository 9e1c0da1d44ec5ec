#pragma once

// The few socket primitives the link and the till simulator need, the same on POSIX and Windows.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <string>

namespace quorral {

#ifdef _WIN32
using socket_t = SOCKET;
inline constexpr socket_t InvalidSocket = INVALID_SOCKET;
#else
using socket_t = int;
inline constexpr socket_t InvalidSocket = -1;
#endif

// Starts the platform's socket library once per process (WSAStartup on Windows; nothing elsewhere).
void EnsureSocketsStarted();

void CloseSocket(socket_t socket) noexcept;
bool SetNonBlocking(socket_t socket, bool nonBlocking) noexcept;
void SetNoDelay(socket_t socket) noexcept;

enum class CWaitResult { Ready, TimedOut, Failed };
// Waits until the socket is readable (or writable) or the time runs out; negative means no limit.
CWaitResult WaitForSocket(socket_t socket, bool forWrite, int timeoutMs) noexcept;

// The error numbers the code looks at, named the same on both platforms.
bool IsWouldBlock(int code) noexcept;
bool IsInterrupted(int code) noexcept;
int TimedOutCode() noexcept;

// Flags for send() that keep a closed peer from raising SIGPIPE.
int SendFlags() noexcept;

// Owns one socket handle.
class CSocketHandle
{
public:
    CSocketHandle() = default;
    explicit CSocketHandle(socket_t socket) : FSocket(socket) {}
    CSocketHandle(const CSocketHandle&) = delete;
    CSocketHandle& operator=(const CSocketHandle&) = delete;
    CSocketHandle(CSocketHandle&& other) noexcept : FSocket(other.Release()) {}
    CSocketHandle& operator=(CSocketHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    ~CSocketHandle() { Reset(); }

    socket_t Get() const { return FSocket; }
    bool Valid() const { return FSocket != InvalidSocket; }
    socket_t Release() noexcept
    {
        const socket_t socket = FSocket;
        FSocket = InvalidSocket;
        return socket;
    }
    void Reset(socket_t socket = InvalidSocket) noexcept
    {
        if (FSocket != InvalidSocket) {
            CloseSocket(FSocket);
        }
        FSocket = socket;
    }

private:
    socket_t FSocket = InvalidSocket;
};

} // namespace quorral
