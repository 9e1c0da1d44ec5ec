#include "gzip/GzipFile.h"

#include "gzip/GZip.h"
#include "gzip/NativeFile.h"

#include <system_error>
#include <vector>

namespace quorral {
namespace {

// Both directions stream through one buffer of this size, so memory stays flat for any file.
constexpr std::size_t BufferSize = 128 * 1024;

void Report(bool showMessages, CMessageSink* messages, const char* prefix, const std::filesystem::path& path)
{
    if (showMessages && messages != nullptr) {
        messages->ShowMessage(prefix + path.string());
    }
}

// Replacing by rename would ignore a read-only destination that truncating in place refuses; keep
// refusing it. Only a plain file is probed: opening a FIFO would block, a link is replaced anyway.
bool ExistingDestinationWritable(const std::filesystem::path& destination)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(destination, error))) {
        return true;
    }
    return OpenCFile(destination, "ab") != nullptr;
}

// A replaced file keeps the access rights it had, as it would when truncated and rewritten.
void KeepPermissions(const std::filesystem::path& destination, const std::filesystem::path& replacement)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(destination, error);
    if (!error && std::filesystem::is_regular_file(status)) {
        std::filesystem::permissions(replacement, status.permissions(), error);
    }
}

} // namespace

bool GzipFile(const std::filesystem::path& sourcePath, const std::filesystem::path& gzipPath)
{
    // Streaming into the file being read would destroy it before it was read.
    std::error_code error;
    if (std::filesystem::equivalent(sourcePath, gzipPath, error)) {
        return false;
    }
    const CFilePtr source = OpenCFile(sourcePath, "rb");
    if (!source) {
        return false;
    }
    std::vector<char> buffer(BufferSize);
    CGZip zip;
    if (!zip.Open(gzipPath, CZipper::ModeWrite)) {
        return false;
    }
    bool complete = true;
    for (;;) {
        const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), source.get());
        if (read > 0 && !zip.Write(buffer.data(), read)) {
            complete = false;
            break;
        }
        if (read < buffer.size()) {
            complete = std::ferror(source.get()) == 0;
            break;
        }
    }
    // Closing writes the last block and the trailer, so a full disk may show only here.
    if (!zip.Close()) {
        complete = false;
    }
    if (!complete) {
        std::filesystem::remove(gzipPath, error);
    }
    return complete;
}

bool GunzipFile(const std::filesystem::path& gzipPath, const std::filesystem::path& destinationPath,
                bool showMessages, CMessageSink* messages)
{
    static constexpr char DecompressFailed[] = "Failed to decompress file:\n\n";
    static constexpr char WriteFailed[] = "Failed to write file:\n\n";

    CGZip zip;
    // An empty file holds no gzip data at all: not even an empty member.
    if (!zip.Open(gzipPath, CZipper::ModeRead) || zip.GetSourceSize() == 0) {
        Report(showMessages, messages, DecompressFailed, gzipPath);
        return false;
    }
    std::vector<char> buffer(BufferSize);
    CTempFile temp(destinationPath.parent_path());
    // Once the destination side has failed, the rest of the stream is still decoded (and thrown
    // away), so that a corrupt download is reported as such rather than as a write failure.
    bool writing = temp.IsOpen();
    for (;;) {
        const int read = zip.Read(buffer.data(), buffer.size());
        if (read < 0) {
            temp.Discard();
            Report(showMessages, messages, DecompressFailed, gzipPath);
            return false;
        }
        if (read == 0) {
            break;
        }
        if (writing && !temp.Write(buffer.data(), static_cast<std::size_t>(read))) {
            writing = false;
            temp.Discard();
        }
    }
    if (writing && ExistingDestinationWritable(destinationPath)) {
        KeepPermissions(destinationPath, temp.GetPath());
        if (temp.CommitTo(destinationPath)) {
            return true;
        }
    }
    temp.Discard();
    Report(showMessages, messages, WriteFailed, destinationPath);
    return false;
}

} // namespace quorral
