#pragma once

#include "files/FolderRow.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorral {

// The command lines a till understands, each one self-closing element ending in CR LF. Values go
// in exactly as given, without escaping: callers first make sure IsSafeCommandValue holds.
std::string GetCurDirCommand();
std::string GetDirListCommand();
std::string ChangeDirCommand(std::string_view path);
std::string ChangeDirUpCommand();
std::string GetFileCommand(std::string_view name);
std::string SendFileCommand(std::string_view name, std::int64_t size);
std::string DeleteFileCommand(std::string_view name);
std::string DeleteFolderCommand(std::string_view name);
std::string MoveFileCommand(std::string_view from, std::string_view to);
std::string NewFolderCommand(std::string_view name);

// The longest SENDFILE line a till takes, CR LF included.
inline constexpr std::size_t MaxSendFileLineLength = 199;

// False for a value that would break the line it is put in: a double quote would end the attribute,
// CR or LF the line, NUL the text.
bool IsSafeCommandValue(std::string_view value);

// A failure reply holds "<FAILEDERROR" in any case; it is never shorter than that marker.
bool IsFailedReply(std::string_view reply);
// The message of a failure reply: the text of its root element.
std::string FailedReplyText(std::string_view reply);
// "<RESPONSE>OK</RESPONSE>" in any case, anywhere in the reply.
bool IsOkReply(std::string_view reply);

// The till's current folder from a GETCURDIR reply: the root element's text.
std::string ReadCurrentFolder(std::string_view reply);
// The rows of a GETDIRLIST reply: every FOLDER child of the root in order, then every FILE child,
// each named by its NAME child. The folders "." and ".." are dropped; files are taken as they are.
CFolderRows ReadListing(std::string_view reply);
// The byte count of a GETFILE reply whose root is FILE with a size above 0; nothing otherwise.
std::optional<std::int32_t> ReadFileReplySize(std::string_view reply);

} // namespace quorral
