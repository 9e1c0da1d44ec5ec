#include "files/LocalFolder.h"

#include "files/LocalPath.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace quorral {

CFolderRows ListLocalFolder(const std::string& path)
{
    std::error_code error;
    fs::directory_iterator entries(path.empty() ? fs::path(".") : fs::path(path), error);
    CFolderRows folders;
    CFolderRows files;
    for (const fs::directory_iterator end; !error && entries != end; entries.increment(error)) {
        std::string name = entries->path().filename().string();
        if (name == "." || name == "..") {
            continue;
        }
        std::error_code kindError;
        if (entries->is_directory(kindError)) {
            folders.push_back({std::move(name), true});
        } else {
            files.push_back({std::move(name), false});
        }
    }
    folders.insert(folders.end(), std::make_move_iterator(files.begin()),
                   std::make_move_iterator(files.end()));
    return folders;
}

namespace {

// The lowest index whose separator going up may stop at; below it lies the root.
std::size_t LowestCut(const std::string& path)
{
#ifdef _WIN32
    // "C:\" keeps its drive; "\\server\" keeps its server.
    return path.rfind("\\\\", 0) == 0 ? 2 : 1;
#else
    return !path.empty() && path[0] == '/' ? 0 : 1;
#endif
}

} // namespace

std::string LocalPathUp(const std::string& path)
{
    // The last character is never looked at, so "a/b/" and "a/b" both become "a/".
    const std::size_t lowest = LowestCut(path);
    for (std::size_t i = path.size() < 2 ? 0 : path.size() - 1; i-- > lowest;) {
        if (path[i] == NativeSeparator) {
            return path.substr(0, i + 1);
        }
    }
    return path;
}

} // namespace quorral
