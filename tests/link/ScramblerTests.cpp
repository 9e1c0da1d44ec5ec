#include "link/Scrambler.h"

#include <gtest/gtest.h>

#include <string>

namespace quorral {
namespace {

std::string Scrambled(std::string text, int seed = 0)
{
    ScrambleLine(text.data(), seed);
    return text;
}

std::string Unscrambled(std::string text, int seed = 0)
{
    UnscrambleLine(text.data(), seed);
    return text;
}

struct CWorkedExample
{
    std::string plain;
    std::string scrambled;
};

TEST(Scrambler, WorkedExamplesBothWays)
{
    const CWorkedExample examples[] = {
        {"abc", "kos"},   {"~~~", "),/"}, {"<GETDIRLIST/>\r\n", "FTUgZbnkkrpHT\r\n"},
        {"a\tb", "k\tr"}, // control bytes use up a position
        {"", ""},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.plain);
        EXPECT_EQ(Scrambled(example.plain), example.scrambled);
        EXPECT_EQ(Unscrambled(example.scrambled), example.plain);
    }
}

TEST(Scrambler, ShiftFollowsTheTriangleWaveAndRepeatsEverySixteen)
{
    // 17 spaces: the shifts are 10,13,...,34,31,...,13 and then 10 again.
    const std::string shifted = Scrambled(std::string(17, ' '));
    const int expected[] = {10, 13, 16, 19, 22, 25, 28, 31, 34, 31, 28, 25, 22, 19, 16, 13, 10};
    for (std::size_t i = 0; i < shifted.size(); ++i) {
        EXPECT_EQ(shifted[i], ' ' + expected[i]) << "position " << i;
    }
}

TEST(Scrambler, LeavesNonPrintableBytesAndEverythingAfterTheNulAlone)
{
    std::string text("\x7f\x80\xe9\xff"
                     "a\0bc",
                     7);
    ScrambleLine(text.data(), 0);
    // 0x7F and the high bytes stay, but "a" at position 4 gets that position's shift of 22.
    EXPECT_EQ(text, std::string("\x7f\x80\xe9\xff"
                                "w\0bc",
                                7));
}

TEST(Scrambler, RoundTripsEveryByteValueForManySeeds)
{
    std::string all;
    for (int value = 1; value < 256; ++value) {
        all.push_back(static_cast<char>(value));
    }
    for (int seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        const std::string scrambled = Scrambled(all, seed);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const auto plain = static_cast<unsigned char>(all[i]);
            const auto out = static_cast<unsigned char>(scrambled[i]);
            if (plain >= 32 && plain <= 126) {
                EXPECT_TRUE(out >= 32 && out <= 126) << "printable stays printable";
            } else {
                EXPECT_EQ(out, plain) << "non-printable byte changed";
            }
        }
        EXPECT_EQ(Unscrambled(scrambled, seed), all);
    }
}

TEST(Scrambler, SeedSelectsTheStartOfTheSequence)
{
    // Seed 8 starts at the peak (shift 34) and walks down; seed 16 equals seed 0.
    EXPECT_EQ(Scrambled(" ", 8), std::string(1, ' ' + 34));
    const std::string fromNine{' ' + 31, ' ' + 28};
    EXPECT_EQ(Scrambled("  ", 9), fromNine);
    EXPECT_EQ(Scrambled("<GETDIRLIST/>", 16), Scrambled("<GETDIRLIST/>", 0));
}

} // namespace
} // namespace quorral
