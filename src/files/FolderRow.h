#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorral {

// One entry of either folder panel: its name, and whether it is a folder (the "+" marker).
struct CFolderRow
{
    std::string Caption;
    bool IsFolder = false;

    bool operator==(const CFolderRow&) const = default;
};

using CFolderRows = std::vector<CFolderRow>;

// The index of the first row whose whole caption equals `caption` without regard to case, over
// every row, folders and files alike; -1 when there is none. Prefixes never match.
int FindRowByCaption(const CFolderRows& rows, std::string_view caption);

} // namespace quorral
