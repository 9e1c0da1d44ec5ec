#include "files/FolderOperations.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace quorral {
namespace {

enum class CEntryKind { Missing, Folder, Link, Other };

// What an entry is in itself: a symbolic link, junction or other reparse point is a link, whatever
// it points at.
CEntryKind KindOf(const fs::path& path)
{
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return CEntryKind::Missing;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return CEntryKind::Link;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? CEntryKind::Folder : CEntryKind::Other;
#else
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) {
        return CEntryKind::Missing;
    }
    if (fs::is_symlink(status)) {
        return CEntryKind::Link;
    }
    return fs::is_directory(status) ? CEntryKind::Folder : CEntryKind::Other;
#endif
}

void DeleteContents(const fs::path& folder)
{
    std::error_code error;
    fs::directory_iterator entries(folder, error);
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        if (KindOf(entries->path()) == CEntryKind::Folder) {
            DeleteContents(entries->path());
        }
        std::error_code ignored;
        fs::remove(entries->path(), ignored);
    }
}

} // namespace

std::string NewFolderName(const CFolderRows& rows)
{
    std::string name = "New Folder";
    for (int counter = 2; FindRowByCaption(rows, name) >= 0; ++counter) {
        name = "New Folder " + std::to_string(counter);
    }
    return name;
}

bool DeleteLocalFolderTree(const std::string& path)
{
    if (path.empty()) {
        return false;
    }
    fs::path folder(path);
    // "C:\Data\" names the folder Data, not an empty last component.
    if (!folder.has_filename() && folder.has_parent_path() && folder != folder.root_path()) {
        folder = folder.parent_path();
    }
    switch (KindOf(folder)) {
    case CEntryKind::Folder:
        DeleteContents(folder);
        break;
    case CEntryKind::Link:
        break;
    case CEntryKind::Missing:
    case CEntryKind::Other:
        return false;
    }
    std::error_code error;
    return fs::remove(folder, error) && !error;
}

bool RenameLocalEntry(const std::string& from, const std::string& to)
{
    if (from == to) {
        return true;
    }
    std::error_code error;
    if (fs::exists(fs::symlink_status(to, error))) {
        return false;
    }
    fs::rename(from, to, error);
    return !error;
}

} // namespace quorral
