#include "link/Scrambler.h"

namespace quorral {
namespace {

constexpr int FirstPrintable = 32;
constexpr int LastPrintable = 126;
constexpr int PrintableCount = LastPrintable - FirstPrintable + 1;

// The position value walks a triangle wave 0..8..1 (period 16); the shift of a byte is 3k + 10.
void Shift(char* buffer, int seed, int direction)
{
    const int p = seed % 16;
    int k = p <= 8 ? p : 16 - p;
    int step = p < 8 ? 1 : -1;
    for (char* at = buffer; *at != '\0'; ++at) {
        const int c = static_cast<signed char>(*at);
        if (c >= FirstPrintable && c <= LastPrintable) {
            int v = c + direction * (3 * k + 10);
            if (v < FirstPrintable) {
                v += PrintableCount;
            } else if (v > LastPrintable) {
                v -= PrintableCount;
            }
            *at = static_cast<char>(v);
        }
        k += step;
        if (k == 0 || k == 8) {
            step = -step;
        }
    }
}

} // namespace

void ScrambleLine(char* buffer, int seed)
{
    Shift(buffer, seed, +1);
}

void UnscrambleLine(char* buffer, int seed)
{
    Shift(buffer, seed, -1);
}

} // namespace quorral
