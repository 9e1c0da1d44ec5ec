#include "link/LineBuffer.h"

#include <gtest/gtest.h>

namespace quorral {
namespace {

TEST(LineBuffer, CrLfSplitAcrossAppendsStillEndsTheLine)
{
    CLineBuffer buffer;
    buffer.Append("abc\r", 4);
    EXPECT_FALSE(buffer.TakeLine());
    buffer.Append("\nrest", 5);
    EXPECT_EQ(buffer.TakeLine(), "abc");
    EXPECT_FALSE(buffer.TakeLine());
    EXPECT_EQ(buffer.Size(), 4u);
}

TEST(LineBuffer, RawBytesComeOutInOrderAfterALine)
{
    CLineBuffer buffer;
    buffer.Append("<FILE size=\"5\"/>\r\n12345tail", 27);
    EXPECT_EQ(buffer.TakeLine(), "<FILE size=\"5\"/>");
    char raw[5];
    EXPECT_EQ(buffer.Take(raw, 5), 5u);
    EXPECT_EQ(std::string(raw, 5), "12345");
    char rest[10];
    EXPECT_EQ(buffer.Take(rest, 10), 4u);
    EXPECT_TRUE(buffer.Empty());
}

TEST(LineBuffer, ManyLinesThroughOneBufferKeepTheirOrder)
{
    CLineBuffer buffer;
    for (int i = 0; i < 10000; ++i) {
        const std::string line = "line" + std::to_string(i) + "\r\n";
        buffer.Append(line.data(), line.size());
        if (i % 3 == 0) {
            EXPECT_EQ(buffer.TakeLine(), "line" + std::to_string(i / 3)) << i;
        }
    }
}

} // namespace
} // namespace quorral
