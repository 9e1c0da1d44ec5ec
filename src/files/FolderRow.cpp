#include "files/FolderRow.h"

namespace quorral {
namespace {

char FoldCase(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameCaption(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int FindRowByCaption(const CFolderRows& rows, std::string_view caption)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (SameCaption(rows[i].Caption, caption)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace quorral
