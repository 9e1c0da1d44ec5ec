#pragma once

#include <stdexcept>
#include <string>

namespace quorral {

// The one error type of the till link. Its text is exactly what the operator sees in the error box.
class CSocketError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raw bytes that stopped arriving in the middle of a transfer: the stream can no longer be trusted.
class CSocketStalled : public CSocketError
{
public:
    CSocketStalled() : CSocketError("The till stopped sending data.") {}
};

// A connection closed by the till, closed by us, or never opened.
inline constexpr const char* ConnectionClosedText = "Connection Closed Gracefully.";

// "Socket Error # %d\r\n%s" with the platform's number and wording for the error.
std::string SocketErrorText(int code);

// The last socket error of the calling thread (errno, or WSAGetLastError on Windows).
int LastSocketErrorCode();

[[noreturn]] void ThrowSocketError(int code);

} // namespace quorral
