#pragma once

#include "files/FolderRow.h"

#include <string>

namespace quorral {

// The rows of a local folder: every folder, then every file, each in the order the file system
// enumerates them; "." and ".." never become rows and no other entry is left out. An empty path
// means the process's working folder. A folder that cannot be read gives no rows.
CFolderRows ListLocalFolder(const std::string& path);

// One folder up: cuts the last component, keeping the separator before it, whether or not the path
// ends in a separator. The root (a drive, a server share, or "/") is never removed: going up from it
// leaves the text as it was.
std::string LocalPathUp(const std::string& path);

} // namespace quorral
