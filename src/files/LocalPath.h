#pragma once

#include <string>

namespace quorral {

// Local paths use the platform's own separator.
#ifdef _WIN32
inline constexpr char NativeSeparator = '\\';
#else
inline constexpr char NativeSeparator = '/';
#endif

// The path with one separator at its end; an empty path stays empty.
std::string EnsureTrailingSeparator(std::string path);

// The process's working folder, ending in a separator.
std::string CurrentFolderWithSeparator();

} // namespace quorral
