#include "files/FileNames.h"

#include <algorithm>
#include <array>
#include <string>

namespace quorral {
namespace {

#ifdef _WIN32
// Windows opens these devices whatever extension follows the name ("NUL.txt" is the null device).
bool IsReservedDeviceName(std::string_view name)
{
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && (stem.back() == ' ')) {
        stem.pop_back();
    }
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    static constexpr std::array<std::string_view, 4> Plain = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(Plain.begin(), Plain.end(), stem) != Plain.end()) {
        return true;
    }
    return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
}
#endif

} // namespace

bool IsPlainFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    if (name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
        return false;
    }
#ifdef _WIN32
    if (name.find(':') != std::string_view::npos || IsReservedDeviceName(name)) {
        return false;
    }
#endif
    return true;
}

} // namespace quorral
