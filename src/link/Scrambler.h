#pragma once

namespace quorral {

// The keyless shift that every command line gets before it goes out, and every marked reply line
// loses when it comes in. Both work in place on a NUL-terminated buffer, change only the printable
// bytes 32..126 and never look past the first NUL. The system always passes seed 0.
void ScrambleLine(char* buffer, int seed);
void UnscrambleLine(char* buffer, int seed);

} // namespace quorral
