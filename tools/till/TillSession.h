#pragma once

#include "TillPath.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quorral {

class CTempFile;
class CXMLNode;

// A command line longer than this is no command a PC sends: the client is refused and dropped.
inline constexpr std::size_t MaxCommandLineLength = 64 * 1024;
inline constexpr std::uint64_t DefaultMaxUpload = std::uint64_t{4} << 30;
// How long an upload may stop sending before the client is dropped.
inline constexpr std::chrono::milliseconds DefaultUploadStallLimit{30000};

inline constexpr std::string_view OkReplyText = "<RESPONSE>OK</RESPONSE>";

// Where the raw bytes after a SENDFILE line come from: the client's socket, or a test's buffer.
class CRawSource
{
public:
    virtual ~CRawSource() = default;
    // Fills destination with exactly size bytes; false when the client stalled or went away first.
    virtual bool ReadExactly(char* destination, std::size_t size) = 0;
};

// The answer to one command line.
struct CTillReply
{
    CTillReply();
    CTillReply(CTillReply&&) noexcept;
    CTillReply& operator=(CTillReply&&) noexcept;
    ~CTillReply();

    std::string Text; // the reply line without marker and CR LF; empty: no line at all
    bool Refused = false;
    // The stream can no longer be trusted (a stalled or oversized upload, a runaway line): the
    // client is dropped once Text has gone out.
    bool Close = false;
    // The gzip bytes that follow the line (GETFILE); removed when the reply goes.
    std::unique_ptr<CTempFile> Attachment;
    std::uint64_t AttachmentSize = 0;
    // What the log shows: the command, its arguments and the outcome, on one line of plain text.
    std::string Summary;
};

struct CTillLimits
{
    std::uint64_t MaxUpload = DefaultMaxUpload;
    // Where uploads and downloads are staged; empty: the system's temporary folder.
    std::filesystem::path TemporaryFolder;
};

// One client's conversation with the till: its current folder and the handling of every command.
// It never touches a socket, so it can be driven by any bytes at all.
class CTillSession
{
public:
    CTillSession(std::shared_ptr<const CTillJail> jail, CTillLimits limits);

    // One command line as framed, without its CR LF: the marker and scrambled text, or plain
    // text. SENDFILE takes its raw bytes from `raw`. Never throws.
    CTillReply HandleCommandLine(std::string_view line, CRawSource& raw);

    const CTillLocation& CurrentFolder() const { return FCurrent; }

private:
    CTillReply Dispatch(std::string_view text, CRawSource& raw);
    std::filesystem::path Here() const;

    CTillReply RunGetCurDir() const;
    CTillReply RunGetDirList() const;
    CTillReply RunChangeDir(const CXMLNode* command);
    CTillReply RunGetFile(const CXMLNode* command) const;
    CTillReply RunSendFile(const CXMLNode* command, CRawSource& raw) const;
    CTillReply RunDeleteFile(const CXMLNode* command) const;
    CTillReply RunDeleteFolder(const CXMLNode* command) const;
    CTillReply RunMoveFile(const CXMLNode* command) const;
    CTillReply RunNewFolder(const CXMLNode* command) const;

    std::shared_ptr<const CTillJail> FJail;
    CTillLimits FLimits;
    CTillLocation FCurrent;
};

// The answer to a line that grew past MaxCommandLineLength without ending.
CTillReply LineTooLongReply();

// The reply as it goes on the wire: the marker and the scrambled text, or the plain text; then CR LF.
std::string ReplyLine(std::string_view text, bool scrambled);

// Character data for a reply: markup characters and control bytes become references, so that any
// file name survives the trip through the PC's XML reader and the line framing.
std::string EscapeXml(std::string_view text);

} // namespace quorral
