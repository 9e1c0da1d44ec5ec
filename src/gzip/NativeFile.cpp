#include "gzip/NativeFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace quorral {
namespace {

// Bounded, so that a folder we cannot create files in is given up on rather than probed forever.
constexpr int MaxNameAttempts = 64;

std::string UniqueName()
{
    static std::atomic<std::uint64_t> counter{0};
    std::random_device device;
    const std::uint64_t bits = (static_cast<std::uint64_t>(device()) << 32) ^ device() ^ ++counter;
    constexpr char Digits[] = "0123456789abcdef";
    std::string name = ".quorral-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += Digits[(bits >> shift) & 0xF];
    }
    name += ".tmp";
    return name;
}

int CreateExclusive(const std::filesystem::path& path)
{
#ifdef _WIN32
    return ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

} // namespace

CFilePtr OpenCFile(const std::filesystem::path& path, const char* mode)
{
#ifdef _WIN32
    std::wstring wideMode;
    for (const char* at = mode; *at != '\0'; ++at) {
        wideMode += static_cast<wchar_t>(*at);
    }
    return CFilePtr(::_wfopen(path.c_str(), wideMode.c_str()));
#else
    return CFilePtr(std::fopen(path.c_str(), mode));
#endif
}

std::int64_t MeasureBySeek(std::FILE* file)
{
#ifdef _WIN32
    if (::_fseeki64(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return ::_ftelli64(file);
#else
    if (::fseeko(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return ::ftello(file);
#endif
}

CTempFile::CTempFile(const std::filesystem::path& folder)
{
    for (int attempt = 0; attempt < MaxNameAttempts; ++attempt) {
        std::filesystem::path candidate = folder / UniqueName();
        const int descriptor = CreateExclusive(candidate);
        if (descriptor >= 0) {
            Path = std::move(candidate);
            Descriptor = descriptor;
            return;
        }
        if (errno != EEXIST) {
            return;
        }
    }
}

CTempFile::~CTempFile()
{
    if (!Committed) {
        Discard();
    }
}

bool CTempFile::Write(const void* data, std::size_t length)
{
    if (!IsOpen()) {
        return false;
    }
    const char* at = static_cast<const char*>(data);
    while (length > 0) {
#ifdef _WIN32
        const unsigned int step =
            static_cast<unsigned int>(std::min<std::size_t>(length, std::numeric_limits<int>::max()));
        const int written = ::_write(Descriptor, at, step);
#else
        const ssize_t written = ::write(Descriptor, at, length);
#endif
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // Zero bytes stored for a non-empty request is as final as an error.
        if (written <= 0) {
            return false;
        }
        at += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CTempFile::CommitTo(const std::filesystem::path& destination)
{
    if (!IsOpen() || !CloseDescriptor()) {
        return false;
    }
    std::error_code error;
    std::filesystem::rename(Path, destination, error);
    if (error) {
        return false;
    }
    Committed = true;
    return true;
}

void CTempFile::Discard()
{
    if (Path.empty()) {
        return;
    }
    CloseDescriptor();
    std::error_code ignored;
    std::filesystem::remove(Path, ignored);
    Path.clear();
}

bool CTempFile::CloseDescriptor()
{
    if (Descriptor < 0) {
        return true;
    }
#ifdef _WIN32
    const bool closed = ::_close(Descriptor) == 0;
#else
    const bool closed = ::close(Descriptor) == 0;
#endif
    Descriptor = -1;
    return closed;
}

} // namespace quorral
