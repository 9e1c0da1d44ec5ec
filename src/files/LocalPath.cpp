#include "files/LocalPath.h"

#include <filesystem>

namespace quorral {

std::string EnsureTrailingSeparator(std::string path)
{
    if (!path.empty() && path.back() != NativeSeparator) {
        path.push_back(NativeSeparator);
    }
    return path;
}

std::string CurrentFolderWithSeparator()
{
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : EnsureTrailingSeparator(current.string());
}

} // namespace quorral
