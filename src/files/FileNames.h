#pragma once

#include <string_view>

namespace quorral {

// True for a name that can only ever mean an entry of the folder it is joined to: not empty, not
// "." or "..", no separator of either platform, no NUL, and on Windows no reserved device name
// (CON, NUL, COM1, ...) and no drive colon.
bool IsPlainFileName(std::string_view name);

} // namespace quorral
