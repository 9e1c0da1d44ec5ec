#include "TillServer.h"

#include "gzip/NativeFile.h"
#include "link/LineBuffer.h"
#include "link/SocketApi.h"
#include "link/SocketError.h"

#include <algorithm>
#include <array>
#include <climits>
#include <list>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#ifndef QUORRAL_VERSION
#define QUORRAL_VERSION "0"
#endif

namespace quorral {
namespace {

using Clock = std::chrono::steady_clock;

// Every wait is cut into slices this long, so that a stop request is noticed soon.
constexpr int PollSliceMs = 200;
constexpr std::size_t ProbeSize = 1012;
// The PC takes reply datagrams of up to 8192 bytes; no option may push a reply past that.
constexpr std::size_t IdentityValueLimit = 255;
constexpr std::size_t ChunkSize = 64 * 1024;

std::string SystemText(int code)
{
    return std::system_category().message(code);
}

std::string AddressText(const sockaddr* address, socklen_t length)
{
    char host[NI_MAXHOST];
    char service[NI_MAXSERV];
    if (getnameinfo(address, length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "?";
    }
    return address->sa_family == AF_INET6 ? "[" + std::string(host) + "]:" + service
                                          : std::string(host) + ":" + service;
}

int LocalPort(socket_t socket)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

struct CAddressListDeleter
{
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// A socket bound to host and port; invalid, with `problem` set, when none could be bound.
CSocketHandle BindSocket(const std::string& host, int port, int type, std::string& problem)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (resolved != 0) {
#ifdef _WIN32
        problem = SystemText(resolved);
#else
        problem = gai_strerror(resolved);
#endif
        return {};
    }
    const std::unique_ptr<addrinfo, CAddressListDeleter> list(found);
    for (const addrinfo* address = list.get(); address != nullptr; address = address->ai_next) {
        CSocketHandle socket(::socket(address->ai_family, address->ai_socktype, address->ai_protocol));
        if (!socket.Valid()) {
            problem = SystemText(LastSocketErrorCode());
            continue;
        }
#ifndef _WIN32
        // A restarted till may take its port back while old connections linger in TIME_WAIT.
        // (On Windows the same option would let another program steal the port.)
        if (type == SOCK_STREAM) {
            int on = 1;
            setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        }
#endif
        if (::bind(socket.Get(), address->ai_addr, static_cast<socklen_t>(address->ai_addrlen)) != 0) {
            problem = SystemText(LastSocketErrorCode());
            continue;
        }
        return socket;
    }
    return {};
}

std::string Capped(const std::string& value)
{
    return EscapeXml(std::string_view(value).substr(0, IdentityValueLimit));
}

std::string MachineName()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "TILL";
    }
    return name;
}

} // namespace

bool IsDiscoveryProbe(const char* data, std::size_t size)
{
    // Only the full probe is answered: a short datagram with a forged sender would otherwise
    // make the till send a larger reply to someone else.
    return size == ProbeSize && static_cast<unsigned char>(data[0]) == 0x0E &&
           static_cast<unsigned char>(data[1]) == 0x27 && static_cast<unsigned char>(data[2]) == 0xFF;
}

// One connected PC: reads command lines, hands them to its session and writes the replies.
class CTillServer::CClient final : public CRawSource
{
public:
    CClient(CTillServer& server, CSocketHandle socket, std::string peer, const std::atomic<bool>& stop)
        : FServer(server), FSocket(std::move(socket)), FPeer(std::move(peer)), FStop(stop), FChunk(ChunkSize)
    {}

    void Run()
    {
        CTillSession session(FServer.FJail, FServer.FOptions.Limits);
        for (;;) {
            while (std::optional<std::string> line = FBuffer.TakeLine()) {
                const CTillReply reply = session.HandleCommandLine(*line, *this);
                if (!Deliver(reply) || reply.Close) {
                    return;
                }
            }
            // No CR LF within the limit: whatever this is, it is not a command line.
            if (FBuffer.Size() > MaxCommandLineLength) {
                Deliver(LineTooLongReply());
                return;
            }
            if (FStop || ReceiveSome() == CReceive::Closed) {
                return;
            }
        }
    }

    bool ReadExactly(char* destination, std::size_t size) override
    {
        std::size_t done = FBuffer.Take(destination, size);
        Clock::time_point lastProgress = Clock::now();
        while (done < size) {
            const int waitMs = SliceBefore(lastProgress);
            if (FStop || waitMs <= 0) {
                return false;
            }
            const CWaitResult ready = WaitForSocket(FSocket.Get(), false, waitMs);
            if (ready == CWaitResult::Failed) {
                return false;
            }
            if (ready == CWaitResult::TimedOut) {
                continue;
            }
            const int want = static_cast<int>(std::min<std::size_t>(size - done, INT_MAX));
            const auto received = ::recv(FSocket.Get(), destination + done, want, 0);
            if (received > 0) {
                done += static_cast<std::size_t>(received);
                lastProgress = Clock::now();
            } else if (received == 0 || !Retryable(LastSocketErrorCode())) {
                return false;
            }
        }
        return true;
    }

private:
    enum class CReceive { Data, Idle, Closed };

    static bool Retryable(int code) { return IsInterrupted(code) || IsWouldBlock(code); }

    // How long the next wait may last: one slice at most, and nothing once the peer has made no
    // progress for the stall limit.
    int SliceBefore(Clock::time_point lastProgress) const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            FServer.FOptions.UploadStallLimit - (Clock::now() - lastProgress));
        return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, PollSliceMs));
    }

    CReceive ReceiveSome()
    {
        const CWaitResult ready = WaitForSocket(FSocket.Get(), false, PollSliceMs);
        if (ready == CWaitResult::TimedOut) {
            return CReceive::Idle;
        }
        if (ready == CWaitResult::Failed) {
            return CReceive::Closed;
        }
        const auto received = ::recv(FSocket.Get(), FChunk.data(), static_cast<int>(FChunk.size()), 0);
        if (received > 0) {
            FBuffer.Append(FChunk.data(), static_cast<std::size_t>(received));
            return CReceive::Data;
        }
        if (received < 0 && Retryable(LastSocketErrorCode())) {
            return CReceive::Idle;
        }
        return CReceive::Closed;
    }

    // A client that stops reading is given the same time as one that stops sending.
    bool SendAll(std::string_view bytes)
    {
        Clock::time_point lastProgress = Clock::now();
        while (!bytes.empty()) {
            const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
            const auto sent = ::send(FSocket.Get(), bytes.data(), piece, SendFlags());
            if (sent > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(sent));
                lastProgress = Clock::now();
                continue;
            }
            if (sent < 0 && !Retryable(LastSocketErrorCode())) {
                return false;
            }
            const int waitMs = SliceBefore(lastProgress);
            if (FStop || waitMs <= 0 || WaitForSocket(FSocket.Get(), true, waitMs) == CWaitResult::Failed) {
                return false;
            }
        }
        return true;
    }

    bool SendAttachment(const CTillReply& reply)
    {
        const CFilePtr file = OpenCFile(reply.Attachment->GetPath(), "rb");
        if (!file) {
            return false;
        }
        std::uint64_t sent = 0;
        while (sent < reply.AttachmentSize) {
            const std::size_t read = std::fread(FChunk.data(), 1, FChunk.size(), file.get());
            if (read == 0) {
                return false; // fewer bytes than announced: the stream is out of step
            }
            const auto piece =
                static_cast<std::size_t>(std::min<std::uint64_t>(read, reply.AttachmentSize - sent));
            if (!SendAll(std::string_view(FChunk.data(), piece))) {
                return false;
            }
            sent += piece;
        }
        return true;
    }

    // Logs the reply and sends its line (in one send, so that a round trip costs one segment each
    // way) and any file bytes after it. False when the client is gone.
    bool Deliver(const CTillReply& reply)
    {
        FServer.LogLine(FPeer + " " + reply.Summary);
        if (!reply.Text.empty() && !SendAll(ReplyLine(reply.Text, !FServer.FOptions.PlainReplies))) {
            return false;
        }
        return !reply.Attachment || SendAttachment(reply);
    }

    CTillServer& FServer;
    CSocketHandle FSocket;
    std::string FPeer;
    const std::atomic<bool>& FStop;
    CLineBuffer FBuffer;
    std::vector<char> FChunk;
};

CTillServer::CTillServer(CTillServerOptions options) : FOptions(std::move(options))
{}

CTillServer::~CTillServer() = default;

void CTillServer::Listen()
{
    try {
        FJail = std::make_shared<const CTillJail>(FOptions.Root);
    } catch (const std::filesystem::filesystem_error& error) {
        throw std::runtime_error("Cannot serve " + FOptions.Root.string() + ": " + error.code().message());
    }
    EnsureSocketsStarted();
    std::string problem;
    FListener = BindSocket(FOptions.Host, FOptions.Port, SOCK_STREAM, problem);
    if (!FListener.Valid() || ::listen(FListener.Get(), SOMAXCONN) != 0) {
        if (FListener.Valid()) {
            problem = SystemText(LastSocketErrorCode());
        }
        throw std::runtime_error("Cannot listen on " + FOptions.Host + " port " +
                                 std::to_string(FOptions.Port) + ": " + problem);
    }
    // accept() must not block when a waiting connection vanished between the wait and the call.
    SetNonBlocking(FListener.Get(), true);
    FPort = LocalPort(FListener.Get());
    if (FOptions.DiscoveryPort != NoDiscovery) {
        FDiscovery = BindSocket(FOptions.Host, FOptions.DiscoveryPort, SOCK_DGRAM, problem);
        if (FDiscovery.Valid()) {
            FDiscoveryPort = LocalPort(FDiscovery.Get());
        } else {
            FDiscoveryProblem = "Cannot answer discovery probes on " + FOptions.Host + " UDP port " +
                                std::to_string(FOptions.DiscoveryPort) + ": " + problem;
        }
    }
}

std::string CTillServer::RootSpelling() const
{
    return SpellTillPath({});
}

void CTillServer::LogLine(const std::string& line)
{
    if (FOptions.Log == nullptr) {
        return;
    }
    const std::lock_guard<std::mutex> lock(FLogLock);
    *FOptions.Log << line << std::endl;
}

std::string CTillServer::DiscoveryReply() const
{
    const CTillIdentity& identity = FOptions.Identity;
    const auto uptime = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - FStarted).count();
    std::string reply = "<TERMINAL>";
    reply +=
        "<HOSTNAME>" + Capped(identity.HostName.empty() ? MachineName() : identity.HostName) + "</HOSTNAME>";
    reply += "<MCNAME>" + Capped(identity.McName) + "</MCNAME>";
    reply += "<MCID>" + Capped(identity.McId) + "</MCID>";
    reply +=
        "<VERSIONSTRING>" +
        Capped(identity.VersionString.empty() ? "quorral-till " QUORRAL_VERSION : identity.VersionString) +
        "</VERSIONSTRING>";
    reply += "<PORT>" + std::to_string(FPort) + "</PORT>";
    reply += "<FOLDER>" + EscapeXml(RootSpelling()) + "</FOLDER>";
    reply += "<CLIENTS>" + std::to_string(FClients.load()) + "</CLIENTS>";
    reply += "<UPTIME>" + std::to_string(uptime) + "</UPTIME>";
    reply += "</TERMINAL>";
    return reply;
}

void CTillServer::RunResponder(const std::atomic<bool>& stop)
{
    std::array<char, 2048> datagram;
    while (!stop) {
        if (WaitForSocket(FDiscovery.Get(), false, PollSliceMs) != CWaitResult::Ready) {
            continue;
        }
        sockaddr_storage sender{};
        socklen_t length = sizeof sender;
        const auto received = ::recvfrom(FDiscovery.Get(), datagram.data(), static_cast<int>(datagram.size()),
                                         0, reinterpret_cast<sockaddr*>(&sender), &length);
        // Errors here are about earlier datagrams (an unreachable port on Windows); keep going.
        if (received <= 0 || !IsDiscoveryProbe(datagram.data(), static_cast<std::size_t>(received))) {
            continue;
        }
        const std::string reply = DiscoveryReply();
        const auto sent = ::sendto(FDiscovery.Get(), reply.data(), static_cast<int>(reply.size()),
                                   SendFlags(), reinterpret_cast<const sockaddr*>(&sender), length);
        LogLine(
            AddressText(reinterpret_cast<const sockaddr*>(&sender), length) + " discovery probe: " +
            (sent >= 0 && static_cast<std::size_t>(sent) == reply.size() ? "answered" : "answer not sent"));
    }
}

void CTillServer::Serve(const std::atomic<bool>& stop)
{
    if (!FListener.Valid()) {
        Listen();
    }
    FStarted = Clock::now();
    std::thread responder;
    if (FDiscovery.Valid()) {
        responder = std::thread([this, &stop] { RunResponder(stop); });
    }
    struct CRunning
    {
        std::thread Thread;
        std::shared_ptr<std::atomic<bool>> Done;
    };
    std::list<CRunning> clients;
    while (!stop) {
        clients.remove_if([](CRunning& client) {
            if (!*client.Done) {
                return false;
            }
            client.Thread.join();
            return true;
        });
        if (WaitForSocket(FListener.Get(), false, PollSliceMs) != CWaitResult::Ready) {
            continue;
        }
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        CSocketHandle socket(::accept(FListener.Get(), reinterpret_cast<sockaddr*>(&address), &length));
        if (!socket.Valid()) {
            continue;
        }
        std::string peer = AddressText(reinterpret_cast<const sockaddr*>(&address), length);
        if (FClients >= FOptions.MaxClients) {
            LogLine(peer + " refused: already " + std::to_string(FOptions.MaxClients) + " clients");
            continue;
        }
        // Waits are done with poll, so that a stop request or a stalled peer never blocks a thread.
        SetNonBlocking(socket.Get(), true);
        SetNoDelay(socket.Get());
        auto done = std::make_shared<std::atomic<bool>>(false);
        ++FClients;
        try {
            std::thread thread([this, &stop, done, socket = std::move(socket), peer]() mutable {
                LogLine(peer + " connected");
                try {
                    CClient(*this, std::move(socket), peer, stop).Run();
                } catch (const std::exception& error) {
                    LogLine(peer + " dropped: " + error.what());
                }
                LogLine(peer + " disconnected");
                --FClients;
                *done = true;
            });
            clients.push_back({std::move(thread), std::move(done)});
        } catch (const std::system_error& error) {
            --FClients;
            LogLine(peer + " refused: " + error.what());
        }
    }
    for (CRunning& client : clients) {
        client.Thread.join();
    }
    if (responder.joinable()) {
        responder.join();
    }
}

} // namespace quorral
