#pragma once

// What the quorral-cli tests share: scratch folders, tills on free loopback ports (real simulators,
// one that accepts and never answers, a port that refuses), and the command line run in-process.

#include "Cli.h"
#include "TillServer.h"
#include "link/SocketApi.h"

#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quorral::test {

namespace fs = std::filesystem;

// quorral-till's server serving `root` on a free port of a loopback address, until the object goes.
class CTillUnderTest
{
public:
    explicit CTillUnderTest(const fs::path& root, const std::string& host = "127.0.0.1",
                            int discoveryPort = NoDiscovery, CTillIdentity identity = {},
                            bool plainReplies = false)
        : FServer(Options(root, host, discoveryPort, std::move(identity), plainReplies))
    {
        FServer.Listen();
        FThread = std::thread([this] { FServer.Serve(FStop); });
    }
    ~CTillUnderTest()
    {
        FStop = true;
        FThread.join();
    }
    CTillUnderTest(const CTillUnderTest&) = delete;
    CTillUnderTest& operator=(const CTillUnderTest&) = delete;

    int Port() const { return FServer.Port(); }
    int DiscoveryPort() const { return FServer.DiscoveryPort(); }
    const std::string& DiscoveryProblem() const { return FServer.DiscoveryProblem(); }

private:
    static CTillServerOptions Options(const fs::path& root, const std::string& host, int discoveryPort,
                                      CTillIdentity identity, bool plainReplies)
    {
        CTillServerOptions options;
        options.Root = root;
        options.Host = host;
        options.Port = 0;
        options.DiscoveryPort = discoveryPort;
        options.Identity = std::move(identity);
        options.PlainReplies = plainReplies;
        return options;
    }

    CTillServer FServer;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

inline int LocalPort(socket_t socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

inline CSocketHandle BoundLoopbackSocket(int type)
{
    EnsureSocketsStarted();
    CSocketHandle socket(::socket(AF_INET, type, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (!socket.Valid() ||
        ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "cannot bind a loopback socket";
        return {};
    }
    return socket;
}

// A loopback port that nothing listens on: connections to it are refused at once.
inline int RefusingPort()
{
    const CSocketHandle socket = BoundLoopbackSocket(SOCK_STREAM);
    return LocalPort(socket.Get());
}

// A till that accepts every connection and then neither reads nor answers.
class CStallingTill
{
public:
    CStallingTill() : FListener(BoundLoopbackSocket(SOCK_STREAM))
    {
        ::listen(FListener.Get(), 16);
        FThread = std::thread([this] {
            while (!FStop) {
                if (WaitForSocket(FListener.Get(), false, 50) != CWaitResult::Ready) {
                    continue;
                }
                CSocketHandle client(::accept(FListener.Get(), nullptr, nullptr));
                if (client.Valid()) {
                    ++FAccepted;
                    FClients.push_back(std::move(client));
                }
            }
        });
    }
    ~CStallingTill()
    {
        FStop = true;
        FThread.join();
    }
    CStallingTill(const CStallingTill&) = delete;
    CStallingTill& operator=(const CStallingTill&) = delete;

    int Port() const { return LocalPort(FListener.Get()); }
    int Accepted() const { return FAccepted; }

private:
    CSocketHandle FListener;
    std::vector<CSocketHandle> FClients; // only the accepting thread touches them until it ends
    std::atomic<bool> FStop{false};
    std::atomic<int> FAccepted{0};
    std::thread FThread;
};

struct CCliResult
{
    int Exit = -1;
    std::string Out;
    std::string Err;
};

// The whole command line in-process. The adapter list is never the system's: a test that reaches
// it fails instead of probing a real network.
inline CCliResult RunCommandLine(const std::vector<std::string>& arguments, bool errIsTerminal = false)
{
    std::ostringstream out;
    std::ostringstream err;
    const CCliEnvironment environment{out, err, errIsTerminal, [] {
                                          ADD_FAILURE() << "the system's adapters were asked for";
                                          return std::vector<CAdapterAddress>();
                                      }};
    CCliResult result;
    result.Exit = RunCli(arguments, environment);
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

inline std::ostream& operator<<(std::ostream& stream, const CCliResult& result)
{
    return stream << "exit " << result.Exit << "\n--- stdout:\n"
                  << result.Out << "--- stderr:\n"
                  << result.Err;
}

} // namespace quorral::test
