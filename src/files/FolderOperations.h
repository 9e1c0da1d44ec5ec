#pragma once

#include "files/FolderRow.h"

#include <string>

namespace quorral {

// "New Folder", or the first of "New Folder 2", "New Folder 3", ... that no row is called (whole
// captions, any case). "New Folder 1" is never chosen.
std::string NewFolderName(const CFolderRows& rows);

// Deletes a local folder with everything in it, depth first, dot-named entries included. A symbolic
// link (or junction) is removed as a link and never followed, so nothing outside the folder is ever
// reached; when `path` itself is such a link, only the link goes. Entries that cannot be removed
// stay and the rest is still deleted. True when the folder itself is gone.
bool DeleteLocalFolderTree(const std::string& path);

// Renames a local entry. Unlike a plain rename it never replaces an entry that already has the new
// name; renaming an entry to its own name changes nothing. True on success.
bool RenameLocalEntry(const std::string& from, const std::string& to);

} // namespace quorral
