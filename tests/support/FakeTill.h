#pragma once

#include "link/SocketApi.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace quorral::test {

// One accepted connection of the fake till, driven by a test's script on the server thread.
// Mismatches are reported as gtest failures.
class CFakeTillSession
{
public:
    explicit CFakeTillSession(CSocketHandle socket);

    // The next command line, checked for the marker and unscrambled; CR LF included.
    std::string ReadCommand();
    void ExpectCommand(const std::string& expected);
    std::string ReadRaw(std::size_t size);

    void Send(std::string_view bytes);
    // As Send, towards a client that is expected to hang up part way: how many bytes went out.
    std::size_t SendUntilClosed(std::string_view bytes);
    // The reply text followed by CR LF, scrambled behind the marker or plain.
    void SendReply(const std::string& text, bool scrambled = true);
    void Pause(std::chrono::milliseconds duration);
    // Closes gracefully (FIN) or with a reset (RST).
    void Close();
    void Reset();
    // Waits until the client closes its side; true when it did within the time.
    bool WaitForClientClose(std::chrono::milliseconds limit = std::chrono::seconds(10));

private:
    bool ReadByte(char& byte);
    CSocketHandle FSocket;
};

// A till on a loopback port that plays a script against the first client that connects.
class CFakeTill
{
public:
    using Script = std::function<void(CFakeTillSession&)>;

    // Listens on the given loopback port, or on a free one; Port() is 0 when it cannot listen.
    explicit CFakeTill(int port = 0);
    ~CFakeTill();
    CFakeTill(const CFakeTill&) = delete;
    CFakeTill& operator=(const CFakeTill&) = delete;

    int Port() const { return FPort; }
    // Accepts one connection and runs the script on it; `Join` waits for the script to end.
    void Play(Script script);
    void Join();

private:
    CSocketHandle FListener;
    int FPort = 0;
    std::thread FThread;
};

} // namespace quorral::test
