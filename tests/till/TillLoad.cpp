// Many clients at once against a quorral-till process on loopback, each listing, uploading and
// downloading back its own files for a bounded time. Every transfer must come back byte for byte;
// the till must end with the descriptors and threads it started with. Prints what it saw.
//
// quorral_till_load QUORRAL_TILL [SECONDS=3] [CLIENTS=50]
#include "link/CommandChannel.h"
#include "link/SocketError.h"
#include "link/TillCommands.h"
#include "link/Transfer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::size_t CountEntries(const fs::path& folder)
{
    std::error_code error;
    std::size_t count = 0;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        ++count;
    }
    return count;
}

long RssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

struct CTillFigures
{
    std::size_t Descriptors = 0;
    std::size_t Threads = 0;
    long Rss = 0;
};

CTillFigures Measure(pid_t pid)
{
    const fs::path proc = "/proc/" + std::to_string(pid);
    return {CountEntries(proc / "fd"), CountEntries(proc / "task"), RssKb(pid)};
}

int FreeLoopbackPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(probe);
    return port;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CClientCounts
{
    std::atomic<long> Listings{0};
    std::atomic<long> Uploads{0};
    std::atomic<long> Downloads{0};
    std::atomic<long> Bytes{0};
    std::atomic<long> Failures{0};
};

void Fail(CClientCounts& counts, int client, const std::string& what)
{
    ++counts.Failures;
    std::fprintf(stderr, "client %d: %s\n", client, what.c_str());
}

// One operator: its own files, a mix of sizes, every one checked on the way back.
void RunClient(int client, int port, const fs::path& local, std::chrono::steady_clock::time_point end,
               CClientCounts& counts)
{
    std::mt19937 random(static_cast<unsigned>(client) * 7919u + 1u);
    const fs::path folder = local / ("client" + std::to_string(client));
    fs::create_directories(folder);
    try {
        quorral::CCommandChannel channel(10s);
        channel.Connect("127.0.0.1", port, 10s);
        const auto noProgress = [](std::int64_t, std::int64_t) {};
        for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
            channel.SendCommand(quorral::GetDirListCommand());
            const std::string listing = channel.ReadReply();
            if (quorral::IsFailedReply(listing) || listing.find("<DIRLIST>") == std::string::npos) {
                Fail(counts, client, "listing: " + listing.substr(0, 200));
                return;
            }
            (void)quorral::ReadListing(listing);
            ++counts.Listings;

            const std::string name = "c" + std::to_string(client) + "-" + std::to_string(round % 4) + ".bin";
            // Mostly small files, now and then one of a few hundred kilobytes; half of them incompressible.
            const std::size_t size = random() % 8 == 0 ? 100000 + random() % 300000 : random() % 20000;
            std::string content(size, '\0');
            const bool noisy = random() % 2 == 0;
            for (std::size_t i = 0; i < size; ++i) {
                content[i] = noisy ? static_cast<char>(random()) : static_cast<char>('a' + (i / 64) % 26);
            }
            std::ofstream(folder / name, std::ios::binary)
                .write(content.data(), static_cast<std::streamsize>(size));
            const quorral::CUploadResult sent = quorral::UploadFile(channel, folder / name, name, noProgress);
            if (sent.Status != quorral::CUploadStatus::Sent || !quorral::IsOkReply(sent.Reply)) {
                Fail(counts, client, "upload of " + name + ": " + sent.Reply.substr(0, 200));
                return;
            }
            ++counts.Uploads;

            channel.SendCommand(quorral::GetFileCommand(name));
            const std::optional<std::int32_t> announced = quorral::ReadFileReplySize(channel.ReadReply());
            const fs::path back = folder / (name + ".back");
            if (!announced ||
                quorral::DownloadFile(channel, *announced, back, nullptr, noProgress, 10s) !=
                    quorral::CDownloadStatus::Written ||
                ReadAll(back) != content) {
                Fail(counts, client, "download of " + name + " did not come back byte for byte");
                return;
            }
            ++counts.Downloads;
            counts.Bytes += static_cast<long>(2 * size);
            fs::remove(back);
        }
    } catch (const std::exception& error) {
        Fail(counts, client, std::string("socket error: ") + error.what());
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s QUORRAL_TILL [SECONDS=3] [CLIENTS=50]\n", argv[0]);
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 3;
    const int clients = argc > 3 ? std::atoi(argv[3]) : 50;
    std::signal(SIGPIPE, SIG_IGN);

    char pattern[] = "/tmp/quorral-load-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const fs::path work = pattern;
    const fs::path root = work / "till";
    const fs::path local = work / "pc";
    fs::create_directories(root);
    fs::create_directories(local);
    const int port = FreeLoopbackPort();

    const pid_t till = ::fork();
    if (till == 0) {
        const std::string portText = std::to_string(port);
        ::execl(argv[1], argv[1], "--root", root.c_str(), "--port", portText.c_str(), "--no-discovery",
                "--quiet", static_cast<char*>(nullptr));
        std::perror("exec quorral-till");
        std::_Exit(127);
    }
    // Ready once it takes a connection.
    bool ready = false;
    for (int attempt = 0; attempt < 200 && !ready; ++attempt) {
        try {
            quorral::CCommandChannel probe(1s);
            probe.Connect("127.0.0.1", port, 1s);
            ready = true;
        } catch (const quorral::CSocketError&) {
            std::this_thread::sleep_for(50ms);
        }
    }
    int status = 0;
    if (!ready) {
        std::fprintf(stderr, "quorral-till did not start\n");
        ::kill(till, SIGTERM);
        ::waitpid(till, &status, 0);
        fs::remove_all(work);
        return 2;
    }
    std::this_thread::sleep_for(200ms); // let the probe's session end
    const CTillFigures before = Measure(till);

    CClientCounts counts;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::vector<std::thread> threads;
    for (int client = 0; client < clients; ++client) {
        threads.emplace_back(RunClient, client, port, local, end, std::ref(counts));
    }
    std::vector<long> rss;
    std::size_t peakThreads = 0;
    std::size_t peakDescriptors = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(1s, end - std::chrono::steady_clock::now()));
        const CTillFigures now = Measure(till);
        rss.push_back(now.Rss);
        peakThreads = std::max(peakThreads, now.Threads);
        peakDescriptors = std::max(peakDescriptors, now.Descriptors);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The till notices each hang-up on its own schedule: give it a moment to let go.
    CTillFigures after = Measure(till);
    for (int wait = 0;
         wait < 50 && (after.Descriptors != before.Descriptors || after.Threads != before.Threads); ++wait) {
        std::this_thread::sleep_for(100ms);
        after = Measure(till);
    }
    const std::size_t leftInRoot = CountEntries(root);

    ::kill(till, SIGINT);
    ::waitpid(till, &status, 0);
    fs::remove_all(work);

    std::printf("clients %d, %.1f s: %ld listings, %ld uploads, %ld downloads, %.1f MB moved, %ld failures\n",
                clients, elapsed, counts.Listings.load(), counts.Uploads.load(), counts.Downloads.load(),
                static_cast<double>(counts.Bytes.load()) / 1e6, counts.Failures.load());
    std::printf("till descriptors: %zu before, %zu peak, %zu after\n", before.Descriptors, peakDescriptors,
                after.Descriptors);
    std::printf("till threads: %zu before, %zu peak, %zu after\n", before.Threads, peakThreads,
                after.Threads);
    std::printf("till RSS (kB): %ld before, each second:", before.Rss);
    for (const long sample : rss) {
        std::printf(" %ld", sample);
    }
    std::printf(", %ld after\n", after.Rss);
    std::printf("files left in the served folder: %zu (each client keeps at most 4)\n", leftInRoot);
    std::printf("quorral-till exit: %s %d\n", WIFEXITED(status) ? "status" : "signal",
                WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));

    bool ok = counts.Failures == 0 && counts.Downloads > 0;
    ok = ok && after.Descriptors == before.Descriptors && after.Threads == before.Threads;
    ok = ok && leftInRoot <= static_cast<std::size_t>(4 * clients);
    ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::printf("%s\n", ok ? "PASSED" : "FAILED");
    return ok ? 0 : 1;
}
