#pragma once

#include "TillSession.h"
#include "link/CommandChannel.h"
#include "link/SocketApi.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

namespace quorral {

inline constexpr int DefaultDiscoveryPort = 5555;
inline constexpr int NoDiscovery = -1;

// What the discovery responder tells a PC about this till.
struct CTillIdentity
{
    std::string HostName; // empty: the machine's own name
    std::string McName = "Quorral demo till";
    std::string McId = "1";
    std::string VersionString; // empty: "quorral-till" and the version
};

struct CTillServerOptions
{
    std::filesystem::path Root;
    std::string Host = "127.0.0.1";
    int Port = DefaultTillPort;               // 0: any free port
    int DiscoveryPort = DefaultDiscoveryPort; // 0: any free port; NoDiscovery: no responder
    bool PlainReplies = false;
    CTillLimits Limits;
    std::chrono::milliseconds UploadStallLimit = DefaultUploadStallLimit;
    std::size_t MaxClients = 256;
    CTillIdentity Identity;
    std::ostream* Log = nullptr; // one line per command; null: quiet
};

// The 1012-byte datagram a PC broadcasts to find tills.
bool IsDiscoveryProbe(const char* data, std::size_t size);

// The till: serves one folder over TCP to any number of clients, each with its own session on a
// thread of its own, and answers discovery probes over UDP on the same host.
class CTillServer
{
public:
    explicit CTillServer(CTillServerOptions options);
    ~CTillServer();
    CTillServer(const CTillServer&) = delete;
    CTillServer& operator=(const CTillServer&) = delete;

    // Opens the root and binds both sockets. Throws std::runtime_error with a text for the
    // operator when the root or the TCP port cannot be had; a discovery port that cannot be bound
    // only leaves the responder off (DiscoveryProblem says why).
    void Listen();
    int Port() const { return FPort; }
    int DiscoveryPort() const { return FDiscoveryPort; } // NoDiscovery when off
    const std::string& DiscoveryProblem() const { return FDiscoveryProblem; }
    std::string RootSpelling() const;

    // Serves until `stop` becomes true (a signal handler may set it), then closes every
    // connection and returns once all client threads have ended.
    void Serve(const std::atomic<bool>& stop);

    // The reply datagram to a probe.
    std::string DiscoveryReply() const;

    void LogLine(const std::string& line);

private:
    class CClient;

    void RunResponder(const std::atomic<bool>& stop);

    CTillServerOptions FOptions;
    std::shared_ptr<const CTillJail> FJail;
    CSocketHandle FListener;
    CSocketHandle FDiscovery;
    int FPort = 0;
    int FDiscoveryPort = NoDiscovery;
    std::string FDiscoveryProblem;
    std::chrono::steady_clock::time_point FStarted;
    std::atomic<std::size_t> FClients{0};
    std::mutex FLogLock;
};

} // namespace quorral
