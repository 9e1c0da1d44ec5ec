// Arbitrary command lines to the till simulator, each input a fresh session over a fresh served
// folder. Lines are split at LF; the bytes after a line are the raw source an upload reads from.
// Beside the served folder lies a folder it must never reach (links inside point at it), and the
// staging folder must be empty again once every reply is gone.
#include "TillPath.h"
#include "TillSession.h"
#include "gzip/NativeFile.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

constexpr std::size_t MaxCommandsPerInput = 24;

void WriteAll(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every entry below a folder: its kind, its bytes or link target. Enough to see any change.
std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        const std::string key = path.lexically_relative(folder).string();
        const fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status)) {
            entries[key] = "link:" + fs::read_symlink(path).string();
        } else if (fs::is_directory(status)) {
            entries[key] = "folder";
        } else {
            std::ifstream in(path, std::ios::binary);
            entries[key] =
                "file:" + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) +
                ":" + std::to_string(static_cast<unsigned>(status.permissions()));
        }
    }
    return entries;
}

struct CWorld
{
    CWorld()
    {
        // A name of its own, so that parallel fuzzing jobs never share a folder.
        std::random_device random;
        Path = fs::temp_directory_path() /
               ("till-fuzz-" + std::to_string(random()) + "-" + std::to_string(random()));
        Check(fs::create_directories(Path));
        Root = Path / "root";
        Outside = Path / "outside";
        Staging = Path / "staging";
        fs::create_directories(Outside / "Data");
        WriteAll(Outside / "secret.txt", "not served\n");
        WriteAll(Outside / "Data" / "deep.txt", "not served either\n");
        fs::create_directories(Staging);
        Before = Snapshot(Path);
    }
    ~CWorld()
    {
        std::error_code error;
        fs::remove_all(Path, error);
    }

    // The served folder as every input starts with it: files, a folder, and links that stay
    // inside and ones that lead out.
    void ResetRoot() const
    {
        std::error_code error;
        fs::remove_all(Root, error);
        fs::create_directories(Root / "Data" / "Sub");
        WriteAll(Root / "PRICES.DAT", "1;BREAD;2.10\n2;MILK;0.99\n");
        WriteAll(Root / "Data" / "TILL.INI", "[till]\nid=7\n");
        WriteAll(Root / "Data" / "Sub" / "empty.txt", "");
        // Where links need privileges the platform lacks, the rest still runs.
        fs::create_directory_symlink("../outside", Root / "out", error);
        fs::create_symlink(Outside / "secret.txt", Root / "secret-link.txt", error);
        fs::create_directory_symlink("Data", Root / "DataLink", error);
        fs::create_directory_symlink("../../..", Root / "Data" / "Sub" / "up", error);
    }

    fs::path Path;
    fs::path Root;
    fs::path Outside;
    fs::path Staging;
    std::map<std::string, std::string> Before;
};

class CInputSource : public quorral::CRawSource
{
public:
    CInputSource(std::string_view bytes, std::size_t& at) : FBytes(bytes), FAt(at) {}
    bool ReadExactly(char* destination, std::size_t size) override
    {
        if (FBytes.size() - FAt < size) {
            FAt = FBytes.size();
            return false;
        }
        std::memcpy(destination, FBytes.data() + FAt, size);
        FAt += size;
        return true;
    }

private:
    std::string_view FBytes;
    std::size_t& FAt;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const CWorld world;
    world.ResetRoot();
    {
        quorral::CTillLimits limits;
        limits.MaxUpload = 1 << 20;
        limits.TemporaryFolder = world.Staging;
        quorral::CTillSession session(std::make_shared<const quorral::CTillJail>(world.Root), limits);

        const std::string_view bytes(reinterpret_cast<const char*>(data), size);
        std::size_t at = 0;
        for (std::size_t commands = 0; at < bytes.size() && commands < MaxCommandsPerInput; ++commands) {
            const std::size_t end = bytes.find('\n', at);
            const std::string_view line = bytes.substr(at, end == std::string_view::npos ? end : end - at);
            at = end == std::string_view::npos ? bytes.size() : end + 1;
            CInputSource raw(bytes, at);
            const quorral::CTillReply reply = session.HandleCommandLine(line, raw);
            // The reply text goes out as one line: it must not end early or split in two.
            Check(reply.Text.find('\0') == std::string::npos);
            Check(reply.Text.find("\r\n") == std::string::npos);
            Check(reply.Text.find('\n') == std::string::npos);
            if (reply.Attachment != nullptr) {
                Check(fs::file_size(reply.Attachment->GetPath()) == reply.AttachmentSize);
            }
            if (reply.Close) {
                break;
            }
        }
    }
    std::map<std::string, std::string> after = Snapshot(world.Path);
    std::erase_if(after, [](const auto& entry) { return entry.first.rfind("root", 0) == 0; });
    Check(after == world.Before);
    return 0;
}
