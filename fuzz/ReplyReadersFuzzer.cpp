// Arbitrary bytes as the reply to each command the window sends: a listing, a failure, a file
// announcement, the current folder. Checks what the window relies on when it shows the result.
#include "link/TillCommands.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

void Check(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A reply reaches the readers cut at its first NUL, so that is the text they must take.
    std::string_view reply(reinterpret_cast<const char*>(data), size);
    reply = reply.substr(0, reply.find('\0'));

    const quorral::CFolderRows rows = quorral::ReadListing(reply);
    bool filesBegun = false;
    for (const quorral::CFolderRow& row : rows) {
        // Folders come first, and the two navigation entries never become rows.
        filesBegun = filesBegun || !row.IsFolder;
        Check(row.IsFolder != filesBegun);
        Check(!row.IsFolder || (row.Caption != "." && row.Caption != ".."));
        Check(row.Caption.find('\0') == std::string::npos);
        Check(row.Caption.size() <= reply.size());
    }

    if (quorral::IsFailedReply(reply)) {
        Check(reply.size() >= 12);
        const std::string message = quorral::FailedReplyText(reply);
        Check(message.find('\0') == std::string::npos);
    }
    (void)quorral::IsOkReply(reply);

    if (const std::optional<std::int32_t> announced = quorral::ReadFileReplySize(reply)) {
        Check(*announced > 0);
    }
    const std::string folder = quorral::ReadCurrentFolder(reply);
    Check(folder.find('\0') == std::string::npos);
    return 0;
}
