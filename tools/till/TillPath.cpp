#include "TillPath.h"

#include <algorithm>
#include <deque>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace quorral {
namespace {

namespace fs = std::filesystem;

// Deeper than any real chain; a cycle reaches it quickly.
constexpr int MaxLinks = 40;

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

std::vector<std::string> SplitOnSeparators(std::string_view text)
{
    std::vector<std::string> parts;
    std::string part;
    for (const char c : text) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) {
                parts.push_back(std::move(part));
                part.clear();
            }
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty()) {
        parts.push_back(std::move(part));
    }
    return parts;
}

#ifdef _WIN32
bool IsDeviceName(std::string_view name)
{
    // Windows opens these devices in every folder, whatever extension follows.
    const std::string_view stem = name.substr(0, name.find('.'));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (EqualNoCase(stem, device)) {
            return true;
        }
    }
    if (stem.size() == 4 &&
        (EqualNoCase(stem.substr(0, 3), "COM") || EqualNoCase(stem.substr(0, 3), "LPT"))) {
        return stem[3] >= '0' && stem[3] <= '9';
    }
    return false;
}
#endif

} // namespace

std::string SpellTillPath(const CTillLocation& location)
{
    std::string text{TillDrive, ':', '\\'};
    text += TillFolder;
    for (const std::string& name : location) {
        text += '\\';
        text += name;
    }
    return text;
}

CTillPathParts ParseTillPath(std::string_view text)
{
    CTillPathParts parts;
    if (text.size() >= 2 && text[1] == ':') {
        // Only "C:\..." is the till's drive; "C:name" would be relative to a drive's own current
        // folder, which a till does not have for us.
        parts.Absolute = true;
        parts.OutsideRoot =
            Upper(text[0]) != TillDrive || text.size() < 3 || (text[2] != '\\' && text[2] != '/');
        text.remove_prefix(2);
    } else if (!text.empty() && (text[0] == '\\' || text[0] == '/')) {
        parts.Absolute = true;
    }
    parts.Components = SplitOnSeparators(text);
    if (parts.Absolute && !parts.OutsideRoot) {
        if (parts.Components.empty() || !EqualNoCase(parts.Components.front(), TillFolder)) {
            parts.OutsideRoot = true;
        } else {
            parts.Components.erase(parts.Components.begin());
        }
    }
    return parts;
}

CTillJail::CTillJail(const fs::path& root)
    : FRoot(fs::canonical(root)), FRootSpelt(fs::absolute(root).lexically_normal())
{
    if (!fs::is_directory(FRoot)) {
        throw fs::filesystem_error("not a folder", root, std::make_error_code(std::errc::not_a_directory));
    }
    // "dir/" normalises to "dir/" with an empty last part; compare without it.
    if (!FRootSpelt.has_filename()) {
        FRootSpelt = FRootSpelt.parent_path();
    }
}

fs::path CTillJail::PathOf(const CTillLocation& location) const
{
    fs::path path = FRoot;
    for (const std::string& name : location) {
        path /= name;
    }
    return path;
}

bool CTillJail::BelowRoot(const fs::path& target, std::vector<std::string>& components) const
{
    const fs::path normal = target.lexically_normal();
    for (const fs::path* root : {&FRoot, &FRootSpelt}) {
        const auto [rootEnd, targetAt] =
            std::mismatch(root->begin(), root->end(), normal.begin(), normal.end());
        if (rootEnd != root->end()) {
            continue;
        }
        components.clear();
        for (auto at = targetAt; at != normal.end(); ++at) {
            components.push_back(at->string());
        }
        return true;
    }
    return false;
}

bool CTillJail::Intact(const CTillLocation& location) const
{
    fs::path path = FRoot;
    for (const std::string& name : location) {
        path /= name;
        std::error_code error;
        if (!fs::is_directory(fs::symlink_status(path, error)) || IsLinkEntry(path)) {
            return false;
        }
    }
    return true;
}

CResolved CTillJail::Resolve(const CTillLocation& from, const std::vector<std::string>& components) const
{
    CResolved result{CResolveError::None, from};
    // The start is checked once, after the leading ".." have been taken off: the way up from a
    // folder that was swapped away stays open. Every folder entered later is checked as it is.
    bool startChecked = false;
    CTillLocation& location = result.Location;
    std::deque<std::string> pending(components.begin(), components.end());
    [[maybe_unused]] int links = 0;
    while (!pending.empty()) {
        std::string name = std::move(pending.front());
        pending.pop_front();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            if (location.empty()) {
                result.Error = CResolveError::Escapes;
                return result;
            }
            location.pop_back();
            continue;
        }
        if (!startChecked) {
            if (!Intact(location)) {
                result.Error = CResolveError::NotFound;
                return result;
            }
            startChecked = true;
        }
        const fs::path path = PathOf(location) / name;
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (error || !fs::exists(status)) {
            result.Error = CResolveError::NotFound;
            return result;
        }
        if (IsLinkEntry(path)) {
#ifdef _WIN32
            // Junctions and other reparse points are not followed at all: their targets cannot
            // be checked the way a POSIX link's can.
            result.Error = CResolveError::Escapes;
            return result;
#else
            if (++links > MaxLinks) {
                result.Error = CResolveError::TooManyLinks;
                return result;
            }
            const fs::path target = fs::read_symlink(path, error);
            if (error) {
                result.Error = CResolveError::NotFound;
                return result;
            }
            std::vector<std::string> targetComponents;
            if (target.is_absolute() || target.has_root_path()) {
                if (!BelowRoot(target, targetComponents)) {
                    result.Error = CResolveError::Escapes;
                    return result;
                }
                location.clear();
            } else {
                for (const fs::path& part : target) {
                    targetComponents.push_back(part.string());
                }
            }
            // The target's own components are walked by the same rules, links and ".." included.
            pending.insert(pending.begin(), targetComponents.begin(), targetComponents.end());
            continue;
#endif
        }
        location.push_back(std::move(name));
    }
    if (!startChecked && !Intact(location)) {
        result.Error = CResolveError::NotFound;
    }
    return result;
}

bool IsBareName(std::string_view name)
{
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        return false;
    }
#ifdef _WIN32
    // A colon names a stream or a drive; Windows drops trailing dots and spaces, so such a name
    // would reach a different entry than the one it spells.
    if (name.find(':') != std::string_view::npos || name.back() == '.' || name.back() == ' ' ||
        IsDeviceName(name)) {
        return false;
    }
#endif
    return true;
}

bool IsReservedName(std::string_view name)
{
    constexpr std::string_view Prefix = ".quorral-";
    constexpr std::string_view Suffix = ".tmp";
    return name.size() >= Prefix.size() + Suffix.size() && name.substr(0, Prefix.size()) == Prefix &&
           name.substr(name.size() - Suffix.size()) == Suffix;
}

bool IsLinkEntry(const fs::path& path)
{
#ifdef _WIN32
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    std::error_code error;
    return fs::is_symlink(fs::symlink_status(path, error));
#endif
}

} // namespace quorral
