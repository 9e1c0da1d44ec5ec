#include "link/Transfer.h"

#include "gzip/GzipFile.h"
#include "gzip/NativeFile.h"
#include "link/SocketError.h"
#include "link/TillCommands.h"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace quorral {
std::filesystem::path TransferTemporaryFolder()
{
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path() : folder;
}

CDownloadStatus DownloadFile(CCommandChannel& channel, std::int32_t size,
                             const std::filesystem::path& destination, CMessageSink* messages,
                             const CProgress& progress, std::chrono::milliseconds stallLimit)
{
    CTempFile temporary(TransferTemporaryFolder());
    bool keeping = temporary.IsOpen();
    const auto total = static_cast<std::int64_t>(size);
    std::array<char, TransferChunkSize> chunk;
    progress(0, total);
    for (std::int64_t done = 0; done < total;) {
        const auto piece = static_cast<std::size_t>(std::min<std::int64_t>(TransferChunkSize, total - done));
        channel.Client().ReadBuffer(chunk.data(), piece, stallLimit);
        // The stream must be read to its end even when the bytes cannot be kept, or it goes out of step.
        if (keeping && !temporary.Write(chunk.data(), piece)) {
            keeping = false;
            temporary.Discard();
        }
        done += static_cast<std::int64_t>(piece);
        progress(done, total);
    }
    if (!keeping) {
        return CDownloadStatus::NoTemporaryFile;
    }
    // Every byte went out through write(), so the codec sees the whole file when it opens it by name.
    return GunzipFile(temporary.GetPath(), destination, true, messages) ? CDownloadStatus::Written
                                                                        : CDownloadStatus::NotDecoded;
}

CUploadResult UploadFile(CCommandChannel& channel, const std::filesystem::path& source,
                         const std::string& name, const CProgress& progress)
{
    CTempFile temporary(TransferTemporaryFolder());
    if (!temporary.IsOpen() || !GzipFile(source, temporary.GetPath())) {
        // Which side failed decides what the operator is told.
        const bool readable = OpenCFile(source, "rb") != nullptr;
        return {readable ? CUploadStatus::TemporaryUnwritable : CUploadStatus::NotCompressed, {}};
    }
    const CFilePtr gzip = OpenCFile(temporary.GetPath(), "rb");
    const std::int64_t size = gzip ? MeasureBySeek(gzip.get()) : -1;
    if (size < 0 || std::fseek(gzip.get(), 0, SEEK_SET) != 0) {
        return {CUploadStatus::TemporaryUnreadable, {}};
    }
    // A till reads the byte count as a 32-bit number.
    if (size > std::numeric_limits<std::int32_t>::max()) {
        return {CUploadStatus::TooLarge, {}};
    }
    const std::string line = SendFileCommand(name, size);
    if (line.size() > MaxSendFileLineLength) {
        return {CUploadStatus::NameTooLong, {}};
    }
    channel.SendCommand(line);
    progress(0, size);
    // Read in large blocks, but hand the socket one piece at a time, as the till expects to be paced.
    std::vector<char> block(64 * TransferChunkSize);
    std::int64_t done = 0;
    while (done < size) {
        const std::size_t read = std::fread(block.data(), 1, block.size(), gzip.get());
        if (read == 0) {
            // The file shrank under us: the till still expects every announced byte, so the
            // connection cannot stay in step; the caller sees the socket error of a broken stream.
            throw CSocketError("The file changed while it was being sent.");
        }
        for (std::size_t at = 0; at < read && done < size; at += TransferChunkSize) {
            const std::size_t piece = std::min(TransferChunkSize, read - at);
            channel.Client().Write(std::string_view(block.data() + at, piece));
            done += static_cast<std::int64_t>(piece);
            progress(done, size);
        }
    }
    return {CUploadStatus::Sent, channel.ReadReply()};
}

} // namespace quorral
