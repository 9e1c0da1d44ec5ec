#pragma once

#include "link/CommandChannel.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace quorral {

class CMessageSink;

// File bytes move in pieces of this size in both directions; they pace the progress display only.
inline constexpr std::size_t TransferChunkSize = 1000;
// How long a download waits for the next raw byte before it gives the till up.
inline constexpr std::chrono::milliseconds DefaultStallLimit{30000};

// Called with the bytes moved so far and the byte count of the whole transfer: once with 0 before
// the first piece, then after every piece.
using CProgress = std::function<void(std::int64_t done, std::int64_t total)>;

enum class CDownloadStatus {
    NoTemporaryFile, // the bytes were read and thrown away
    NotDecoded,      // the codec reported why
    Written,
};

// Reads the `size` raw gzip bytes that follow a FILE reply into a temporary file of the system's
// temporary folder, then decodes them into `destination`, which is replaced only when all went well.
// Socket errors pass out (CSocketStalled when the bytes stop arriving); the temporary file never
// outlives the call.
CDownloadStatus DownloadFile(CCommandChannel& channel, std::int32_t size,
                             const std::filesystem::path& destination, CMessageSink* messages,
                             const CProgress& progress,
                             std::chrono::milliseconds stallLimit = DefaultStallLimit);

// Where transfers keep their temporary gzip files: the system's temporary folder.
std::filesystem::path TransferTemporaryFolder();

enum class CUploadStatus {
    NotCompressed,       // the source could not be read
    TemporaryUnwritable, // the temporary file could not be written (a full disk)
    TemporaryUnreadable, // compressed, but the temporary file cannot be read back
    TooLarge,            // more gzip bytes than a till can be told about
    NameTooLong,         // the SENDFILE line would exceed what a till takes
    Sent,
};

struct CUploadResult
{
    CUploadStatus Status;
    std::string Reply; // the till's reply line when Sent
};

// Compresses `source` into a temporary file, announces it with the SENDFILE line for `name`, writes
// the gzip bytes after it and reads the till's reply. Nothing is sent unless the whole file was
// compressed and the line fits.
CUploadResult UploadFile(CCommandChannel& channel, const std::filesystem::path& source,
                         const std::string& name, const CProgress& progress);

} // namespace quorral
