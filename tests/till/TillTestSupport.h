#pragma once

// A till serving a temporary folder on a free loopback port, and the small file helpers its tests
// share.

#include "TillServer.h"

#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorral::test {

namespace fs = std::filesystem;

// A symbolic link to a folder. False where links cannot be made: Windows grants them to
// administrators and in Developer Mode only, and Wine makes none.
inline bool MakeFolderLink(const fs::path& target, const fs::path& link)
{
#ifdef _WIN32
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
        return false;
    }
    // Wine reports success without making anything.
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    fs::create_directory_symlink(target, link);
    return true;
#endif
}

// Every entry below `folder`, as sorted relative paths with "/" for folders: a snapshot to compare.
inline std::string TreeOf(const fs::path& folder)
{
    std::vector<std::string> entries;
    for (auto walk = fs::recursive_directory_iterator(folder); walk != fs::recursive_directory_iterator();
         ++walk) {
        // Links are entries of their own here: never followed, so that loops and dangling ones do.
        const bool isFolder = fs::is_directory(walk->symlink_status());
        entries.push_back(walk->path().lexically_relative(folder).generic_string() + (isFolder ? "/" : ""));
    }
    std::sort(entries.begin(), entries.end());
    std::string tree;
    for (const std::string& entry : entries) {
        tree += entry + "\n";
    }
    return tree;
}

// The till on a free loopback port, serving until the object goes.
class CRunningTill
{
public:
    explicit CRunningTill(CTillServerOptions options) : FServer(Prepare(std::move(options)))
    {
        FServer.Listen();
        FThread = std::thread([this] { FServer.Serve(FStop); });
    }
    ~CRunningTill() { Stop(); }
    CRunningTill(const CRunningTill&) = delete;
    CRunningTill& operator=(const CRunningTill&) = delete;

    int Port() const { return FServer.Port(); }
    int DiscoveryPort() const { return FServer.DiscoveryPort(); }
    CTillServer& Server() { return FServer; }

    // Returns once the server has closed every connection and ended every thread.
    void Stop()
    {
        FStop = true;
        if (FThread.joinable()) {
            FThread.join();
        }
    }

private:
    static CTillServerOptions Prepare(CTillServerOptions options)
    {
        options.Host = "127.0.0.1";
        options.Port = 0;
        if (options.DiscoveryPort != NoDiscovery) {
            options.DiscoveryPort = 0;
        }
        return options;
    }

    CTillServer FServer;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

} // namespace quorral::test
