#include "link/TillCommands.h"

#include "xml/XMLParser.h"

#include <algorithm>

namespace quorral {
namespace {

std::string Quoted(std::string_view value)
{
    return "\"" + std::string(value) + "\"";
}

std::string UpperCase(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return upper;
}

bool ContainsUpperCased(std::string_view reply, std::string_view fragment)
{
    return UpperCase(reply).find(fragment) != std::string::npos;
}

std::string RootText(std::string_view reply)
{
    const CXMLParser parser(reply);
    return parser.Root() != nullptr ? parser.Root()->Text : std::string();
}

// Each child of `root` with the given name, in document order, as a row named by its NAME child.
void AppendRows(const CXMLNode* root, std::string_view elementName, bool folders, CFolderRows& rows)
{
    for (const CXMLNode* entry = FindChild(root, elementName); entry != nullptr;
         entry = NextSibling(*entry, true)) {
        const CXMLNode* name = FindChild(entry, "NAME");
        std::string caption = name != nullptr ? name->Text : std::string();
        if (folders && (caption == "." || caption == "..")) {
            continue;
        }
        rows.push_back({std::move(caption), folders});
    }
}

} // namespace

std::string GetCurDirCommand()
{
    return "<GETCURDIR/>\r\n";
}
std::string GetDirListCommand()
{
    return "<GETDIRLIST/>\r\n";
}
std::string ChangeDirCommand(std::string_view path)
{
    return "<CHANGEDIR PATH=" + Quoted(path) + "/>\r\n";
}
std::string ChangeDirUpCommand()
{
    return ChangeDirCommand("..");
}

std::string GetFileCommand(std::string_view name)
{
    return "<GETFILE FILENAME=" + Quoted(name) + " compression=\"gz\"/>\r\n";
}

std::string SendFileCommand(std::string_view name, std::int64_t size)
{
    return "<SENDFILE filename=" + Quoted(name) + " size=\"" + std::to_string(size) +
           "\" compression=\"gz\"/>\r\n";
}

std::string DeleteFileCommand(std::string_view name)
{
    return "<DELETEFILE filename=" + Quoted(name) + "/>\r\n";
}
std::string DeleteFolderCommand(std::string_view name)
{
    return "<DELETEFOLDER path=" + Quoted(name) + "/>\r\n";
}

std::string MoveFileCommand(std::string_view from, std::string_view to)
{
    return "<MOVEFILE from=" + Quoted(from) + " to=" + Quoted(to) + "/>\r\n";
}

std::string NewFolderCommand(std::string_view name)
{
    return "<NEWFOLDER path=" + Quoted(name) + "/>\r\n";
}

bool IsSafeCommandValue(std::string_view value)
{
    return value.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string_view::npos;
}

bool IsFailedReply(std::string_view reply)
{
    constexpr std::string_view Marker = "<FAILEDERROR";
    return reply.size() >= Marker.size() && ContainsUpperCased(reply, Marker);
}

std::string FailedReplyText(std::string_view reply)
{
    return RootText(reply);
}

bool IsOkReply(std::string_view reply)
{
    return ContainsUpperCased(reply, "<RESPONSE>OK</RESPONSE>");
}

std::string ReadCurrentFolder(std::string_view reply)
{
    return RootText(reply);
}

CFolderRows ReadListing(std::string_view reply)
{
    const CXMLParser parser(reply);
    CFolderRows rows;
    AppendRows(parser.Root(), "FOLDER", true, rows);
    AppendRows(parser.Root(), "FILE", false, rows);
    return rows;
}

std::optional<std::int32_t> ReadFileReplySize(std::string_view reply)
{
    const CXMLParser parser(reply);
    const CXMLNode* root = parser.Root();
    if (root == nullptr || UpperCase(root->Name) != "FILE") {
        return std::nullopt;
    }
    const std::int32_t size = CXMLParser::GetAttributeInt(root, "size", 0);
    if (size <= 0) {
        return std::nullopt;
    }
    return size;
}

} // namespace quorral
