#include "FakeTill.h"

#include "link/CommandChannel.h"
#include "link/Scrambler.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace quorral::test {
namespace {
constexpr int AcceptLimitMs = 10000;
constexpr int ReadLimitMs = 10000;
} // namespace

CFakeTillSession::CFakeTillSession(CSocketHandle socket) : FSocket(std::move(socket))
{
    SetNoDelay(FSocket.Get());
}

bool CFakeTillSession::ReadByte(char& byte)
{
    if (WaitForSocket(FSocket.Get(), false, ReadLimitMs) != CWaitResult::Ready) {
        return false;
    }
    return ::recv(FSocket.Get(), &byte, 1, 0) == 1;
}

std::string CFakeTillSession::ReadCommand()
{
    std::string line;
    char byte = 0;
    while (ReadByte(byte)) {
        line.push_back(byte);
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) {
            break;
        }
    }
    if (line.compare(0, ScrambleMarkerLength, ScrambleMarker) != 0) {
        ADD_FAILURE() << "command line without the marker: " << line;
        return line;
    }
    std::string text = line.substr(ScrambleMarkerLength);
    UnscrambleLine(text.data(), 0);
    return text;
}

void CFakeTillSession::ExpectCommand(const std::string& expected)
{
    EXPECT_EQ(ReadCommand(), expected);
}

std::string CFakeTillSession::ReadRaw(std::size_t size)
{
    std::string bytes;
    char byte = 0;
    while (bytes.size() < size && ReadByte(byte)) {
        bytes.push_back(byte);
    }
    EXPECT_EQ(bytes.size(), size) << "raw bytes missing";
    return bytes;
}

void CFakeTillSession::Send(std::string_view bytes)
{
    while (!bytes.empty()) {
        const auto sent = ::send(FSocket.Get(), bytes.data(), static_cast<int>(bytes.size()), SendFlags());
        if (sent <= 0) {
            ADD_FAILURE() << "fake till could not send";
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::size_t CFakeTillSession::SendUntilClosed(std::string_view bytes)
{
    std::size_t total = 0;
    while (total < bytes.size()) {
        const auto sent =
            ::send(FSocket.Get(), bytes.data() + total, static_cast<int>(bytes.size() - total), SendFlags());
        if (sent <= 0) {
            break;
        }
        total += static_cast<std::size_t>(sent);
    }
    return total;
}

void CFakeTillSession::SendReply(const std::string& text, bool scrambled)
{
    std::string line = text;
    if (scrambled) {
        ScrambleLine(line.data(), 0);
        line.insert(0, ScrambleMarker, ScrambleMarkerLength);
    }
    Send(line + "\r\n");
}

void CFakeTillSession::Pause(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

void CFakeTillSession::Close()
{
    FSocket.Reset();
}

void CFakeTillSession::Reset()
{
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(FSocket.Get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
    FSocket.Reset();
}

bool CFakeTillSession::WaitForClientClose(std::chrono::milliseconds limit)
{
    if (!FSocket.Valid()) {
        return true; // closed from this side already
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    char chunk[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        if (WaitForSocket(FSocket.Get(), false, 50) != CWaitResult::Ready) {
            continue;
        }
        if (::recv(FSocket.Get(), chunk, sizeof chunk, 0) <= 0) {
            return true;
        }
    }
    return false;
}

CFakeTill::CFakeTill(int port)
{
    EnsureSocketsStarted();
    FListener.Reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    int on = 1;
    setsockopt(FListener.Get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::bind(FListener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListener.Get(), 4) != 0) {
        FListener.Reset();
        return;
    }
    socklen_t length = sizeof address;
    getsockname(FListener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    FPort = ntohs(address.sin_port);
}

CFakeTill::~CFakeTill()
{
    Join();
}

void CFakeTill::Play(Script script)
{
    if (!FListener.Valid()) {
        ADD_FAILURE() << "the fake till is not listening";
        return;
    }
    FThread = std::thread([this, script = std::move(script)] {
        if (WaitForSocket(FListener.Get(), false, AcceptLimitMs) != CWaitResult::Ready) {
            ADD_FAILURE() << "no client connected to the fake till";
            return;
        }
        CFakeTillSession session(CSocketHandle(::accept(FListener.Get(), nullptr, nullptr)));
        script(session);
    });
}

void CFakeTill::Join()
{
    if (FThread.joinable()) {
        FThread.join();
    }
}

} // namespace quorral::test
