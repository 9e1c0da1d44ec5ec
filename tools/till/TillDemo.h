#pragma once

#include <filesystem>

namespace quorral {

// Gives an empty (or missing) folder the few folders and files of a small shop's till, so that the
// demo has something to show. A folder that holds anything is left exactly as it is. Returns true
// when it filled the folder; throws std::filesystem::filesystem_error when it cannot.
bool FillDemoFolder(const std::filesystem::path& folder);

} // namespace quorral
