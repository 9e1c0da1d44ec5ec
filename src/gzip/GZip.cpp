#include "gzip/GZip.h"

#include "gzip/NativeFile.h"

#include <algorithm>
#include <climits>

#include <zlib.h>

namespace quorral {
namespace {

// zlib's own buffers, sized like the codec's transfer buffer so that large reads and writes go
// straight between the caller's buffer and the file instead of through 8 KiB steps.
constexpr unsigned GzBufferSize = 128 * 1024;

// gzread and gzwrite take an unsigned count but report it back as an int.
constexpr std::size_t MaxCallLength = 1u << 30;

gzFile OpenGz(const std::filesystem::path& path, const char* mode)
{
#ifdef _WIN32
    return ::gzopen_w(path.c_str(), mode);
#else
    return ::gzopen(path.c_str(), mode);
#endif
}

} // namespace

bool CZipper::SetMode(std::uint8_t mode)
{
    Mode = mode;
    return true;
}

void CGZip::CHandleCloser::operator()(gzFile_s* handle) const
{
    ::gzclose(handle);
}

CGZip::~CGZip()
{
    if (IsOpen()) {
        Close();
    }
}

bool CGZip::Open(const std::filesystem::path& path, std::uint8_t mode)
{
    if (IsOpen()) {
        return false;
    }
    if (mode == ModeWrite) {
        Handle.reset(OpenGz(path, "wb"));
        if (Handle) {
            ::gzbuffer(Handle.get(), GzBufferSize);
        }
        // Mode is not yet set here, so this leaves zlib's default level and strategy in force:
        // the peer expects exactly what the gz writer makes by default.
        SetParams();
    } else if (mode == ModeRead) {
        {
            const CFilePtr file = OpenCFile(path, "rb");
            if (!file) {
                return false;
            }
            SourceSize = std::max<std::int64_t>(MeasureBySeek(file.get()), 0);
        }
        Handle.reset(OpenGz(path, "rb"));
        if (Handle) {
            ::gzbuffer(Handle.get(), GzBufferSize);
        }
    }
    Mode = Handle ? mode : ModeClosed;
    return Handle != nullptr;
}

bool CGZip::Close()
{
    if (!IsOpen()) {
        return false;
    }
    return ::gzclose(Handle.release()) == Z_OK;
}

bool CGZip::IsOpen() const
{
    return Handle != nullptr;
}

bool CGZip::Write(const void* data, std::size_t length)
{
    if (!IsOpen() || Mode != ModeWrite) {
        return false;
    }
    const char* at = static_cast<const char*>(data);
    while (length > 0) {
        const unsigned step = static_cast<unsigned>(std::min(length, MaxCallLength));
        if (::gzwrite(Handle.get(), at, step) != static_cast<int>(step)) {
            return false;
        }
        at += step;
        length -= step;
    }
    return true;
}

bool CGZip::WriteString(const std::string& text)
{
    return Write(text.data(), text.size());
}

int CGZip::Read(void* buffer, std::size_t length)
{
    if (!IsOpen() || Mode != ModeRead || length == 0) {
        return 0;
    }
    const int read = ::gzread(Handle.get(), buffer, static_cast<unsigned>(std::min(length, MaxCallLength)));
    if (read == 0) {
        // gzread reports a stream cut short as a plain end of data; taking that at face value
        // would hand out a truncated file as complete.
        int error = Z_OK;
        ::gzerror(Handle.get(), &error);
        if (error != Z_OK) {
            return -1;
        }
    }
    return read;
}

bool CGZip::ReadAll(std::vector<char>& buffer)
{
    buffer.clear();
    if (!IsOpen() || Mode != ModeRead || SourceSize == 0) {
        return false;
    }
    std::size_t length = 0;
    for (;;) {
        buffer.resize(length + GzBufferSize);
        const int read = Read(buffer.data() + length, GzBufferSize);
        if (read < 0) {
            buffer.clear();
            buffer.shrink_to_fit();
            return false;
        }
        if (read == 0) {
            break;
        }
        length += static_cast<std::size_t>(read);
    }
    buffer.resize(length);
    return length != 0;
}

int CGZip::SetParams()
{
    if (!IsOpen() || Mode != ModeWrite) {
        return Z_STREAM_ERROR;
    }
    return ::gzsetparams(Handle.get(), Level, Strategy);
}

} // namespace quorral
