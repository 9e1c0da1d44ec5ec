// What quorral-cli prints: JSON that stays valid whatever bytes a till sends, text that cannot
// drive the terminal, and progress that is drawn only when it changes.

#include "CliOutput.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

namespace quorral {
namespace {

using namespace std::chrono_literals;

TEST(JsonString, EscapesWhatJsonRequiresAndKeepsOnlyValidUtf8)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "\"plain\""},
        {"C:\\TILL \"x\"", "\"C:\\\\TILL \\\"x\\\"\""},
        {"a\r\nb\tc", "\"a\\r\\nb\\tc\""},
        {std::string("nul\0esc\x1b", 8), "\"nul\\u0000esc\\u001B\""},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\""},            // UTF-8 passes through
        {"caf\xE9", "\"caf\\u00E9\""},                 // a lone Latin-1 byte
        {"\xC0\x80", "\"\\u00C0\\u0080\""},            // an overlong NUL is not UTF-8
        {"\xED\xA0\x80", "\"\\u00ED\\u00A0\\u0080\""}, // nor is a surrogate
        {"\xE2\x82", "\"\\u00E2\\u0082\""},            // nor a sequence cut short
        {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
    };
    for (const auto& [text, json] : cases) {
        EXPECT_EQ(JsonString(text), json) << ::testing::PrintToString(text);
    }
}

TEST(JsonObject, KeysInOrderWithTypedValues)
{
    const std::string text = CJsonObject()
                                 .Add("till", "127.0.0.1:5559")
                                 .Add("exit", 3)
                                 .Add("bytes", std::int64_t{5000000000})
                                 .Add("folder", false)
                                 .AddSeconds("seconds", 1234ms)
                                 .AddRaw("entries", "[]")
                                 .Text();
    EXPECT_EQ(text, "{\"till\":\"127.0.0.1:5559\",\"exit\":3,\"bytes\":5000000000,\"folder\":false,"
                    "\"seconds\":1.234,\"entries\":[]}");
    EXPECT_EQ(CJsonObject().Text(), "{}");
}

TEST(Printable, ControlBytesCannotReachTheTerminal)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Socket Error # 111\r\nConnection refused", "Socket Error # 111: Connection refused"},
        {"red\x1b[31mtext\x07", "red?[31mtext?"},
        {"line\nbreak", "line?break"},
        {"csi\x9B"
         "31m",
         "csi?31m"}, // a C1 control as a single byte
        {"csi\xC2\x9B"
         "31m",
         "csi?31m"},                                    // and as UTF-8
        {"caf\xC3\xA9 caf\xE9", "caf\xC3\xA9 caf\xE9"}, // letters of either kind stay
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(Printable(text), shown) << ::testing::PrintToString(text);
    }
}

TEST(FormatTable, ColumnsArePaddedToTheWidestCell)
{
    EXPECT_EQ(
        FormatTable({{"TILL", "RESULT", "BYTES"}, {"10.0.0.1:5559", "ok", "12"}, {"b:1", "refused", "0"}}),
        "TILL           RESULT   BYTES\n"
        "10.0.0.1:5559  ok       12\n"
        "b:1            refused  0\n");
}

TEST(ByteSizeText, UnitsChangeAtEachThousandAndTwentyFour)
{
    EXPECT_EQ(ByteSizeText(0), "0 B");
    EXPECT_EQ(ByteSizeText(1023), "1023 B");
    EXPECT_EQ(ByteSizeText(1024), "1.0 KB");
    EXPECT_EQ(ByteSizeText(10 * 1024 * 1024), "10.0 MB");
    EXPECT_EQ(ByteSizeText(std::int64_t{3} << 30), "3.0 GB");
}

TEST(ProgressBar, IsDrawnOnlyWhenWhatItShowsChanges)
{
    std::ostringstream out;
    {
        CProgressBar bar(out, true, "put data.csv");
        // A transfer reports every 1000-byte piece: 10,000 reports for 10 MB.
        constexpr std::int64_t Total = 10'000'000;
        for (std::int64_t done = 0; done <= Total; done += 1000) {
            bar.Update(done, Total);
        }
        const std::string drawn = out.str();
        const auto redraws = std::count(drawn.begin(), drawn.end(), '\r');
        EXPECT_GT(redraws, 50);
        EXPECT_LT(redraws, 400) << "redrawn for pieces that changed nothing shown";
        EXPECT_NE(drawn.rfind("put data.csv [##############################] 100%  9.5 / 9.5 MB"),
                  std::string::npos);
    }
    // Going away wipes the line, so that the next output starts clean.
    const std::string drawn = out.str();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back(), '\r');
    EXPECT_EQ(drawn.substr(drawn.rfind('\r', drawn.size() - 2) + 1).find_first_not_of(" \r"),
              std::string::npos);
}

TEST(ProgressBar, DisabledOrWithoutTotalItDrawsNothing)
{
    std::ostringstream out;
    {
        CProgressBar off(out, false, "get a");
        off.Update(5, 10);
        CProgressBar empty(out, true, "get b");
        empty.Update(0, 0);
        CFleetStatus status(out, false, 3);
        status.Moved(100);
        status.Finished(true);
    }
    EXPECT_EQ(out.str(), "");
}

TEST(FleetStatus, CountsTillsAndBytes)
{
    std::ostringstream out;
    CFleetStatus status(out, true, 3);
    status.Moved(1024);
    status.Finished(true);
    status.Finished(false);
    EXPECT_NE(out.str().rfind("tills: 2/3 done, 1 failed, 1.0 KB moved"), std::string::npos) << out.str();
}

} // namespace
} // namespace quorral
