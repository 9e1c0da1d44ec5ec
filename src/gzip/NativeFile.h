#pragma once

// File access shared by the codec's two halves: C stdio opened by path on every platform (wide
// paths on Windows, so names outside the ANSI code page still open), and the temporary file that a
// decompression writes before it takes the destination's place.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace quorral {

struct CFileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

// mode is a C stdio mode such as "rb".
CFilePtr OpenCFile(const std::filesystem::path& path, const char* mode);

// Size of an open file by seeking to its end (64-bit offsets); -1 when it cannot be measured.
std::int64_t MeasureBySeek(std::FILE* file);

// A new, uniquely named file in a folder, created exclusively so that it never shares a name with
// anything there. Unless committed it is removed when the object goes, whichever way that is.
class CTempFile
{
public:
    explicit CTempFile(const std::filesystem::path& folder);
    CTempFile(const CTempFile&) = delete;
    CTempFile& operator=(const CTempFile&) = delete;
    ~CTempFile();

    bool IsOpen() const { return Descriptor >= 0; }
    const std::filesystem::path& GetPath() const { return Path; }

    // False unless every byte was stored (a full disk stores fewer).
    bool Write(const void* data, std::size_t length);
    // Closes the file and renames it over the destination, which is replaced as a whole (a
    // symbolic link there is replaced, not followed). False leaves the destination as it was.
    bool CommitTo(const std::filesystem::path& destination);
    // Closes and removes the file now.
    void Discard();

private:
    bool CloseDescriptor();

    std::filesystem::path Path;
    int Descriptor = -1;
    bool Committed = false;
};

} // namespace quorral
