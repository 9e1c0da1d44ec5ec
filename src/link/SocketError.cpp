#include "link/SocketError.h"

#ifdef _WIN32
#include <winsock2.h>
// Only after winsock2.h: on its own, windows.h brings in the old winsock.h.
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#endif

namespace quorral {

#ifdef _WIN32
namespace {
std::string SystemText(int code)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result(text != nullptr ? text : "", length);
    LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' ')) {
        result.pop_back();
    }
    return result;
}
} // namespace

int LastSocketErrorCode()
{
    return WSAGetLastError();
}
#else
namespace {
std::string SystemText(int code)
{
    char buffer[256] = {};
    // The GNU variant may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return strerror_r(code, buffer, sizeof buffer);
#else
    strerror_r(code, buffer, sizeof buffer);
    return buffer;
#endif
}
} // namespace

int LastSocketErrorCode()
{
    return errno;
}
#endif

std::string SocketErrorText(int code)
{
    return "Socket Error # " + std::to_string(code) + "\r\n" + SystemText(code);
}

void ThrowSocketError(int code)
{
    throw CSocketError(SocketErrorText(code));
}

} // namespace quorral
