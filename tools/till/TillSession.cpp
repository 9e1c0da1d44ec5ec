#include "TillSession.h"

#include "gzip/GzipFile.h"
#include "gzip/NativeFile.h"
#include "link/CommandChannel.h"
#include "link/Scrambler.h"
#include "xml/XMLParser.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorral {
namespace {

namespace fs = std::filesystem;

// The XML reader keeps at most this many bytes of an attribute's value and drops the rest without
// a word. A value that reaches it may have been cut, and a cut name could name another entry.
constexpr std::size_t AttributeValueLimit = 100;
// The PC reads the byte count of a FILE reply as a signed 32-bit number.
constexpr std::uint64_t MaxDownload = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t RawChunk = 64 * 1024;
constexpr std::size_t SummaryLimit = 300;

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

// The log is read on a terminal: a client's bytes must not drive it.
std::string Printable(std::string_view text)
{
    std::string out;
    for (const char c : text.substr(0, SummaryLimit)) {
        const auto byte = static_cast<unsigned char>(c);
        out.push_back(byte < 32 || byte == 127 ? '?' : c);
    }
    if (text.size() > SummaryLimit) {
        out += "...";
    }
    return out;
}

std::string Element(std::string_view name, std::string_view text)
{
    std::string element;
    element.append("<").append(name).append(">");
    element += EscapeXml(text);
    element.append("</").append(name).append(">");
    return element;
}

CTillReply Done(std::string summary, std::string text)
{
    CTillReply reply;
    reply.Text = std::move(text);
    reply.Summary = Printable(summary);
    return reply;
}

CTillReply Ok(const std::string& summary)
{
    return Done(summary + ": ok", std::string(OkReplyText));
}

CTillReply Refuse(const std::string& summary, const std::string& message)
{
    CTillReply reply = Done(summary + ": refused: " + message, Element("FAILEDERROR", message));
    reply.Refused = true;
    return reply;
}

std::optional<std::string> Attribute(const CXMLNode* command, std::string_view name)
{
    const char* value = CXMLParser::GetAttribute(command, name, nullptr);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

// Empty when `value` can name an entry of the current folder, the reason otherwise.
std::string NameProblem(const std::optional<std::string>& value, std::string_view attribute)
{
    if (!value) {
        return "Missing " + std::string(attribute);
    }
    if (value->size() >= AttributeValueLimit) {
        return "Name too long: " + *value;
    }
    if (!IsBareName(*value)) {
        return "Not a name in this folder: " + *value;
    }
    if (IsReservedName(*value)) {
        return "Reserved name: " + *value;
    }
    return {};
}

std::string ResolveProblem(CResolveError error, std::string_view what, const std::string& value)
{
    switch (error) {
    case CResolveError::None:
        return {};
    case CResolveError::NotFound:
        return std::string(what) + " not found: " + value;
    case CResolveError::Escapes:
        return "Outside the till folder: " + value;
    case CResolveError::TooManyLinks:
        return "Too many links: " + value;
    }
    return "Not found: " + value;
}

// A decimal byte count: digits only, surrounding spaces allowed; nothing for anything else.
std::optional<std::uint64_t> ParseSize(const std::optional<std::string>& value)
{
    if (!value) {
        return std::nullopt;
    }
    std::string_view text = *value;
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::uint64_t size = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return size;
}

std::string FormatTime(std::chrono::sys_seconds stamp)
{
    using namespace std::chrono;
    const auto day = floor<days>(stamp);
    const year_month_day date{day};
    const hh_mm_ss clock{stamp - day};
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02ld:%02ld:%02ld", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                  static_cast<long>(clock.hours().count()), static_cast<long>(clock.minutes().count()),
                  static_cast<long>(clock.seconds().count()));
    return text;
}

fs::path TemporaryFolder(const CTillLimits& limits)
{
    if (!limits.TemporaryFolder.empty()) {
        return limits.TemporaryFolder;
    }
    std::error_code error;
    fs::path folder = fs::temp_directory_path(error);
    return error ? fs::path() : folder;
}

// Keeps the codec's first message, without the path it names: the PC shows it to the operator,
// and the server's own paths are none of the client's business.
class CFirstMessage : public CMessageSink
{
public:
    void ShowMessage(const std::string& text) override
    {
        if (FText.empty()) {
            FText = text.substr(0, text.find('\n'));
            while (!FText.empty() && (FText.back() == ':' || FText.back() == ' ')) {
                FText.pop_back();
            }
        }
    }
    const std::string& Text() const { return FText; }

private:
    std::string FText;
};

// The listed folder held open for lookups relative to it; -1 where that is not available.
class CFolderHandle
{
public:
#ifdef _WIN32
    explicit CFolderHandle(const fs::path&)
    {}
    int Get() const
    {
        return -1;
    }
#else
    explicit CFolderHandle(const fs::path& path)
        : FDescriptor(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {}
    ~CFolderHandle()
    {
        if (FDescriptor >= 0) {
            ::close(FDescriptor);
        }
    }
    CFolderHandle(const CFolderHandle&) = delete;
    CFolderHandle& operator=(const CFolderHandle&) = delete;
    int Get() const
    {
        return FDescriptor;
    }

private:
    int FDescriptor;
#endif
};

struct CListedEntry
{
    std::string Name;
    bool Folder = false;
    std::uintmax_t Size = 0;
    std::string Modified;
};

// Size and modification time with one look at the entry. On POSIX a listed entry is looked up
// relative to its open folder, which saves walking the whole path again for each of many entries.
void ReadSizeAndTime([[maybe_unused]] int folder, const fs::path& path, CListedEntry& entry)
{
#ifdef _WIN32
    std::error_code error;
    if (!entry.Folder) {
        const std::uintmax_t size = fs::file_size(path, error);
        entry.Size = error ? 0 : size;
    }
    const fs::file_time_type modified = fs::last_write_time(path, error);
    if (!error) {
        entry.Modified =
            FormatTime(std::chrono::floor<std::chrono::seconds>(std::chrono::file_clock::to_sys(modified)));
    }
#else
    struct stat info
    {};
    if (::stat(path.c_str(), &info) != 0) {
        return;
    }
    if (!entry.Folder) {
        entry.Size = static_cast<std::uintmax_t>(info.st_size);
    }
    entry.Modified = FormatTime(std::chrono::sys_seconds(std::chrono::seconds(info.st_mtime)));
#endif
}

} // namespace

CTillReply::CTillReply() = default;
CTillReply::CTillReply(CTillReply&&) noexcept = default;
CTillReply& CTillReply::operator=(CTillReply&&) noexcept = default;
CTillReply::~CTillReply() = default;

CTillSession::CTillSession(std::shared_ptr<const CTillJail> jail, CTillLimits limits)
    : FJail(std::move(jail)), FLimits(std::move(limits))
{}

CTillReply CTillSession::HandleCommandLine(std::string_view line, CRawSource& raw)
{
    try {
        if (line.size() > MaxCommandLineLength) {
            return LineTooLongReply();
        }
        // The text is a C string to the scrambler and the XML reader alike: it ends at a NUL.
        std::string text;
        if (line.substr(0, ScrambleMarkerLength) == std::string_view(ScrambleMarker, ScrambleMarkerLength)) {
            text.assign(line.substr(ScrambleMarkerLength));
            text.resize(std::strlen(text.c_str()));
            UnscrambleLine(text.data(), 0);
        } else {
            text.assign(line);
            text.resize(std::strlen(text.c_str()));
        }
        return Dispatch(text, raw);
    } catch (const std::exception& error) {
        // Whatever was half done, the stream may be out of step now.
        CTillReply reply = Refuse("(command failed)", "The till could not carry out the command");
        reply.Summary += std::string(" (") + Printable(error.what()) + ")";
        reply.Close = true;
        return reply;
    } catch (...) {
        CTillReply reply = Refuse("(command failed)", "The till could not carry out the command");
        reply.Close = true;
        return reply;
    }
}

CTillReply CTillSession::Dispatch(std::string_view text, CRawSource& raw)
{
    const CXMLParser parser(text);
    const CXMLNode* command = parser.Root();
    const std::string name = command != nullptr ? command->Name : std::string();
    if (name == "GETCURDIR") {
        return RunGetCurDir();
    }
    // Bare names are joined to the current folder, so it must still be the folder it was.
    const bool usesFolder = name == "GETDIRLIST" || name == "GETFILE" || name == "DELETEFILE" ||
                            name == "DELETEFOLDER" || name == "MOVEFILE" || name == "NEWFOLDER";
    if (usesFolder && !FJail->Intact(FCurrent)) {
        return Refuse(name, "The current folder no longer exists");
    }
    if (name == "GETDIRLIST") {
        return RunGetDirList();
    }
    if (name == "CHANGEDIR") {
        return RunChangeDir(command);
    }
    if (name == "GETFILE") {
        return RunGetFile(command);
    }
    if (name == "SENDFILE") {
        return RunSendFile(command, raw);
    }
    if (name == "DELETEFILE") {
        return RunDeleteFile(command);
    }
    if (name == "DELETEFOLDER") {
        return RunDeleteFolder(command);
    }
    if (name == "MOVEFILE") {
        return RunMoveFile(command);
    }
    if (name == "NEWFOLDER") {
        return RunNewFolder(command);
    }
    if (name.empty()) {
        return Refuse("(not a command)", "Not a command");
    }
    return Refuse(name, "Unknown command: " + name);
}

fs::path CTillSession::Here() const
{
    return FJail->PathOf(FCurrent);
}

CTillReply CTillSession::RunGetCurDir() const
{
    const std::string folder = SpellTillPath(FCurrent);
    return Done("GETCURDIR: " + folder, Element("CURDIR", folder));
}

CTillReply CTillSession::RunGetDirList() const
{
    const fs::path here = Here();
    const CFolderHandle folder(here);
    std::error_code error;
    std::vector<CListedEntry> entries;
    fs::directory_iterator walk(here, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::directory_iterator(); walk.increment(error)) {
        CListedEntry entry;
        entry.Name = walk->path().filename().string();
        // A backslash would make the name a path in the till's spelling.
        if (IsReservedName(entry.Name) || entry.Name.find('\\') != std::string::npos) {
            continue;
        }
        fs::path target = walk->path();
#ifdef _WIN32
        const bool link = IsLinkEntry(target);
#else
        // The type the enumeration already read: no system call for each of many thousand entries.
        std::error_code typeError;
        const bool link = walk->is_symlink(typeError);
#endif
        if (link) {
            const CResolved resolved = FJail->Resolve(FCurrent, {entry.Name});
            if (resolved.Error != CResolveError::None) {
                continue; // it could only be refused
            }
            target = FJail->PathOf(resolved.Location);
        }
        std::error_code entryError;
        const fs::file_status status =
            link ? fs::symlink_status(target, entryError) : walk->symlink_status(entryError);
        if (fs::is_directory(status)) {
            entry.Folder = true;
        } else if (!fs::is_regular_file(status)) {
            continue; // devices, pipes and sockets are nothing a till holds
        }
        ReadSizeAndTime(link ? -1 : folder.Get(), target, entry);
        entries.push_back(std::move(entry));
    }
    if (error) {
        return Refuse("GETDIRLIST", "The current folder cannot be read");
    }
    // Folders first, then files, each by name without regard to case, as a Windows till lists.
    std::sort(entries.begin(), entries.end(), [](const CListedEntry& a, const CListedEntry& b) {
        if (a.Folder != b.Folder) {
            return a.Folder;
        }
        const auto less = [](char x, char y) { return Upper(x) < Upper(y); };
        if (std::lexicographical_compare(a.Name.begin(), a.Name.end(), b.Name.begin(), b.Name.end(), less)) {
            return true;
        }
        if (std::lexicographical_compare(b.Name.begin(), b.Name.end(), a.Name.begin(), a.Name.end(), less)) {
            return false;
        }
        return a.Name < b.Name;
    });
    std::string listing = "<DIRLIST><FOLDER><NAME>.</NAME></FOLDER><FOLDER><NAME>..</NAME></FOLDER>";
    std::size_t folders = 0;
    for (const CListedEntry& entry : entries) {
        const char* tag = entry.Folder ? "FOLDER" : "FILE";
        listing.append("<").append(tag).append(">").append(Element("NAME", entry.Name));
        if (!entry.Folder) {
            listing += Element("SIZE", std::to_string(entry.Size));
        }
        if (!entry.Modified.empty()) {
            listing += Element("MODIFIED", entry.Modified);
        }
        listing.append("</").append(tag).append(">");
        folders += entry.Folder ? 1 : 0;
    }
    listing += "</DIRLIST>";
    return Done("GETDIRLIST: " + std::to_string(folders) + " folders, " +
                    std::to_string(entries.size() - folders) + " files",
                std::move(listing));
}

CTillReply CTillSession::RunChangeDir(const CXMLNode* command)
{
    const std::optional<std::string> path = Attribute(command, "PATH");
    if (!path) {
        return Refuse("CHANGEDIR", "Missing PATH");
    }
    const std::string summary = "CHANGEDIR " + *path;
    if (path->size() >= AttributeValueLimit) {
        return Refuse(summary, "Path too long: " + *path);
    }
    const CTillPathParts parts = ParseTillPath(*path);
    if (parts.OutsideRoot) {
        return Refuse(summary, "Outside the till folder: " + *path);
    }
    if (!parts.Absolute && parts.Components.empty()) {
        return Refuse(summary, "No folder given");
    }
    // Going up from the top stays at the top, as on any file system.
    if (!parts.Absolute && FCurrent.empty() && parts.Components == std::vector<std::string>{".."}) {
        return Ok(summary + " (stays at " + SpellTillPath(FCurrent) + ")");
    }
    const CResolved resolved = FJail->Resolve(parts.Absolute ? CTillLocation() : FCurrent, parts.Components);
    if (resolved.Error != CResolveError::None) {
        return Refuse(summary, ResolveProblem(resolved.Error, "Folder", *path));
    }
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(FJail->PathOf(resolved.Location), error))) {
        return Refuse(summary, "Not a folder: " + *path);
    }
    FCurrent = resolved.Location;
    return Ok(summary + " (now " + SpellTillPath(FCurrent) + ")");
}

CTillReply CTillSession::RunGetFile(const CXMLNode* command) const
{
    const std::optional<std::string> file = Attribute(command, "FILENAME");
    const std::string summary = "GETFILE " + file.value_or("");
    if (std::string problem = NameProblem(file, "FILENAME"); !problem.empty()) {
        return Refuse(summary, problem);
    }
    const CResolved resolved = FJail->Resolve(FCurrent, {*file});
    if (resolved.Error != CResolveError::None) {
        return Refuse(summary, ResolveProblem(resolved.Error, "File", *file));
    }
    const fs::path source = FJail->PathOf(resolved.Location);
    std::error_code error;
    const fs::file_status status = fs::symlink_status(source, error);
    if (fs::is_directory(status)) {
        return Refuse(summary, "Is a folder: " + *file);
    }
    // Opening a pipe or a device would block the client or read without end.
    if (!fs::is_regular_file(status)) {
        return Refuse(summary, "Not a file: " + *file);
    }
    auto gzip = std::make_unique<CTempFile>(TemporaryFolder(FLimits));
    if (!gzip->IsOpen()) {
        return Refuse(summary, "The till has no room to prepare the file");
    }
    if (!GzipFile(source, gzip->GetPath())) {
        return Refuse(summary, "Cannot read file: " + *file);
    }
    const std::uintmax_t size = fs::file_size(gzip->GetPath(), error);
    if (error) {
        return Refuse(summary, "Cannot read file: " + *file);
    }
    if (size > MaxDownload) {
        return Refuse(summary, "File too large to send: " + *file);
    }
    CTillReply reply = Done(summary + ": " + std::to_string(size) + " gzip bytes",
                            "<FILE size=\"" + std::to_string(size) + "\" compression=\"gz\"/>");
    reply.Attachment = std::move(gzip);
    reply.AttachmentSize = size;
    return reply;
}

CTillReply CTillSession::RunSendFile(const CXMLNode* command, CRawSource& raw) const
{
    const std::optional<std::string> file = Attribute(command, "FILENAME");
    const std::optional<std::uint64_t> size = ParseSize(Attribute(command, "SIZE"));
    std::string summary = "SENDFILE " + file.value_or("");
    // Without a trustworthy byte count there is no telling where the file ends and the next
    // command begins, so the client cannot be served any further.
    if (!size) {
        CTillReply reply = Refuse(summary, "Missing or malformed size");
        reply.Close = true;
        return reply;
    }
    summary += " (" + std::to_string(*size) + " bytes)";
    if (*size > FLimits.MaxUpload) {
        CTillReply reply =
            Refuse(summary, "Upload too large: " + std::to_string(*size) +
                                " bytes; this till takes at most " + std::to_string(FLimits.MaxUpload));
        reply.Close = true;
        return reply;
    }
    // The bytes follow the line whatever the answer will be: read them all, so that a refused
    // upload leaves the connection in step.
    std::string problem = NameProblem(file, "FILENAME");
    if (problem.empty() && !FJail->Intact(FCurrent)) {
        problem = "The current folder no longer exists";
    }
    std::unique_ptr<CTempFile> staged;
    if (problem.empty()) {
        staged = std::make_unique<CTempFile>(TemporaryFolder(FLimits));
    }
    bool storing = staged != nullptr && staged->IsOpen();
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(*size, RawChunk)));
    for (std::uint64_t done = 0; done < *size;) {
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(*size - done, RawChunk));
        if (!raw.ReadExactly(chunk.data(), piece)) {
            CTillReply reply;
            reply.Refused = true;
            reply.Close = true;
            reply.Summary =
                Printable(summary + ": dropped: the data stopped after " + std::to_string(done) + " bytes");
            return reply;
        }
        if (storing && !staged->Write(chunk.data(), piece)) {
            storing = false;
            staged->Discard();
        }
        done += piece;
    }
    if (!problem.empty()) {
        return Refuse(summary, problem);
    }
    if (!storing) {
        return Refuse(summary, "The till has no room for the file: " + *file);
    }
    const fs::path destination = Here() / *file;
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(destination, error))) {
        return Refuse(summary, "A folder of that name exists: " + *file);
    }
    CFirstMessage message;
    if (!GunzipFile(staged->GetPath(), destination, true, &message)) {
        return Refuse(summary,
                      (message.Text().empty() ? "Failed to store file" : message.Text()) + ": " + *file);
    }
    return Ok(summary);
}

CTillReply CTillSession::RunDeleteFile(const CXMLNode* command) const
{
    const std::optional<std::string> file = Attribute(command, "FILENAME");
    const std::string summary = "DELETEFILE " + file.value_or("");
    if (std::string problem = NameProblem(file, "FILENAME"); !problem.empty()) {
        return Refuse(summary, problem);
    }
    const fs::path path = Here() / *file;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) {
        return Refuse(summary, "File not found: " + *file);
    }
    if (fs::is_directory(status)) {
        return Refuse(summary, "Is a folder: " + *file);
    }
    // A link goes, never what it points to.
    if (!fs::remove(path, error) || error) {
        return Refuse(summary, "Cannot delete file: " + *file);
    }
    return Ok(summary);
}

CTillReply CTillSession::RunDeleteFolder(const CXMLNode* command) const
{
    const std::optional<std::string> folder = Attribute(command, "PATH");
    const std::string summary = "DELETEFOLDER " + folder.value_or("");
    if (std::string problem = NameProblem(folder, "PATH"); !problem.empty()) {
        return Refuse(summary, problem);
    }
    const fs::path path = Here() / *folder;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status)) {
        return Refuse(summary, "Folder not found: " + *folder);
    }
    if (!fs::is_directory(status)) {
        return Refuse(summary, "Not a folder: " + *folder);
    }
    // remove() takes only an empty folder, however it came to be filled meanwhile.
    if (!fs::remove(path, error) || error) {
        bool notEmpty = error == std::errc::directory_not_empty || error == std::errc::file_exists;
#ifdef _WIN32
        // Windows may report a filled folder as access denied (Wine always does): look instead.
        std::error_code looked;
        notEmpty = notEmpty || (!fs::is_empty(path, looked) && !looked);
#endif
        return Refuse(summary, (notEmpty ? "Folder is not empty: " : "Cannot delete folder: ") + *folder);
    }
    return Ok(summary);
}

CTillReply CTillSession::RunMoveFile(const CXMLNode* command) const
{
    const std::optional<std::string> from = Attribute(command, "FROM");
    const std::optional<std::string> to = Attribute(command, "TO");
    const std::string summary = "MOVEFILE " + from.value_or("") + " -> " + to.value_or("");
    std::string problem = NameProblem(from, "FROM");
    if (problem.empty()) {
        problem = NameProblem(to, "TO");
    }
    if (!problem.empty()) {
        return Refuse(summary, problem);
    }
    const fs::path source = Here() / *from;
    const fs::path target = Here() / *to;
    std::error_code error;
    if (!fs::exists(fs::symlink_status(source, error))) {
        return Refuse(summary, "Not found: " + *from);
    }
    // Only a change of letter case may land on an existing name, where the file system
    // ignores case and the two names are one entry.
    const bool sameEntry = *from != *to && EqualNoCase(*from, *to) && fs::equivalent(source, target, error);
    if (fs::exists(fs::symlink_status(target, error)) && !sameEntry) {
        return Refuse(summary, "Already exists: " + *to);
    }
    fs::rename(source, target, error);
    if (error) {
        return Refuse(summary, "Cannot rename " + *from + " to " + *to);
    }
    return Ok(summary);
}

CTillReply CTillSession::RunNewFolder(const CXMLNode* command) const
{
    const std::optional<std::string> folder = Attribute(command, "PATH");
    const std::string summary = "NEWFOLDER " + folder.value_or("");
    if (std::string problem = NameProblem(folder, "PATH"); !problem.empty()) {
        return Refuse(summary, problem);
    }
    const fs::path path = Here() / *folder;
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error))) {
        return Refuse(summary, "Already exists: " + *folder);
    }
    if (!fs::create_directory(path, error) || error) {
        return Refuse(summary, "Cannot create folder: " + *folder);
    }
    return Ok(summary);
}

CTillReply LineTooLongReply()
{
    CTillReply reply = Refuse("(line longer than " + std::to_string(MaxCommandLineLength) + " bytes)",
                              "Command line too long");
    reply.Close = true;
    return reply;
}

std::string ReplyLine(std::string_view text, bool scrambled)
{
    std::string line;
    line.reserve(ScrambleMarkerLength + text.size() + 2);
    if (scrambled) {
        line.append(ScrambleMarker, ScrambleMarkerLength);
        line.append(text);
        ScrambleLine(line.data() + ScrambleMarkerLength, 0);
    } else {
        line.append(text);
    }
    line += "\r\n";
    return line;
}

std::string EscapeXml(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            if (byte < 32 || byte == 127) {
                out += "&#" + std::to_string(byte) + ";";
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

} // namespace quorral
