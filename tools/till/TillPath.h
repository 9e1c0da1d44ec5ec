#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quorral {

// A place below the served root, as the names of the real folders that lead to it: never a link,
// never "." or "..". Empty is the root itself. Because no link is left in it, going up is a pop.
using CTillLocation = std::vector<std::string>;

// How the till spells its root folder. Tills are Windows machines; the PC shows and sends back
// whatever the till reports, so any spelling works as long as CHANGEDIR takes it back.
inline constexpr char TillDrive = 'C';
inline constexpr std::string_view TillFolder = "TILL";

// "C:\TILL" for the root, "C:\TILL\Data\Sub" below it.
std::string SpellTillPath(const CTillLocation& location);

// A CHANGEDIR path taken apart: either relative to the current folder or below the root.
struct CTillPathParts
{
    bool Absolute = false;
    bool OutsideRoot = false; // another drive, another top folder, a share: never served
    std::vector<std::string> Components;
};

// Accepts the till's own spelling with either separator, any case of drive and top folder, a
// leading separator without drive, and relative paths. Empty components are dropped.
CTillPathParts ParseTillPath(std::string_view text);

enum class CResolveError {
    None,
    NotFound,
    Escapes,      // a "..", or a link, that leads outside the root
    TooManyLinks, // a chain longer than any sane one, or a cycle
};

struct CResolved
{
    CResolveError Error = CResolveError::None;
    CTillLocation Location;
};

// The served folder. Every path a client names is resolved here, one component at a time, so
// that no link and no ".." can take it outside.
class CTillJail
{
public:
    // Throws std::filesystem::filesystem_error when root is not an existing folder.
    explicit CTillJail(const std::filesystem::path& root);

    const std::filesystem::path& Root() const { return FRoot; }
    std::filesystem::path PathOf(const CTillLocation& location) const;

    // Walks `components` from `from`, following links wherever they stay inside the root. The
    // result exists (or existed a moment ago) and is free of links.
    CResolved Resolve(const CTillLocation& from, const std::vector<std::string>& components) const;

    // True while every folder on the way to `location` is still a real folder. Someone with access
    // to the served folder may swap one for a link after a client went there.
    bool Intact(const CTillLocation& location) const;

private:
    // The components of an absolute link target below the root; false when it lies outside.
    bool BelowRoot(const std::filesystem::path& target, std::vector<std::string>& components) const;

    std::filesystem::path FRoot;      // canonical
    std::filesystem::path FRootSpelt; // as given, made absolute: links may name the root this way
};

// True for an entry that a client may name by itself: not empty, not "." or "..", no separator,
// and nothing that makes the platform reach somewhere other than an entry of the folder.
bool IsBareName(std::string_view name);

// The hidden names the gzip codec gives its temporary files while it replaces a destination. They
// are never listed and never touched by a client: another client's upload may be using one.
bool IsReservedName(std::string_view name);

// True when the entry is a link (or, on Windows, any reparse point) rather than the thing itself.
bool IsLinkEntry(const std::filesystem::path& path);

} // namespace quorral
