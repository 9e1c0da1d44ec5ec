#include "FakeTill.h"
#include "link/CommandChannel.h"
#include "link/SocketError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorral {
namespace {

using namespace std::chrono_literals;
using test::CFakeTill;
using test::CFakeTillSession;

// The system's own numbers for the failures these tests provoke: the operator sees them.
#ifdef _WIN32
constexpr int ConnectionResetCode = WSAECONNRESET;
constexpr int ConnectionRefusedCode = WSAECONNREFUSED;

// Wine hands a reset connection to recv as an orderly close, where Windows fails it with
// WSAECONNRESET.
bool ResetLooksLikeAClose()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
#else
constexpr int ConnectionResetCode = ECONNRESET;
constexpr int ConnectionRefusedCode = ECONNREFUSED;
#endif

// A short reply wait keeps the suite quick; what matters is the rule, not the 2000 ms figure.
constexpr auto ShortWait = 300ms;

class ChannelTest : public ::testing::Test
{
protected:
    void Connect(CFakeTill::Script script)
    {
        FTill.Play(std::move(script));
        FChannel.Connect("127.0.0.1", FTill.Port());
    }

    CFakeTill FTill;
    CCommandChannel FChannel{ShortWait};
};

TEST_F(ChannelTest, CommandGoesOutAsMarkerAndScrambledText)
{
    std::string raw;
    Connect([&](CFakeTillSession& till) { raw = till.ReadRaw(18); });
    FChannel.SendCommand("<GETDIRLIST/>\r\n");
    FTill.Join();
    EXPECT_EQ(raw, std::string("\x01"
                               "ECFTUgZbnkkrpHT\r\n"));
}

TEST_F(ChannelTest, RepliesPlainAndScrambled)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<DIR>C:\\TILL</DIR>", false);
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("abc", true);
    });
    FChannel.SendCommand("<GETCURDIR/>\r\n");
    EXPECT_EQ(FChannel.ReadReply(), "<DIR>C:\\TILL</DIR>");
    FChannel.SendCommand("<GETCURDIR/>\r\n");
    EXPECT_EQ(FChannel.ReadReply(), "\x01"
                                    "ECabc");
}

TEST_F(ChannelTest, TrickledReplyIsReadToItsEndAcrossManyWaits)
{
    Connect([](CFakeTillSession& till) {
        for (const char* piece : {"<RESP", "ONSE>O", "K</RES", "PONSE>", "\r", "\n"}) {
            till.Send(piece);
            till.Pause(ShortWait / 2);
        }
    });
    EXPECT_EQ(FChannel.ReadReply(), "<RESPONSE>OK</RESPONSE>");
}

TEST_F(ChannelTest, OnlyCrLfEndsALineAndANulCutsIt)
{
    Connect([](CFakeTillSession& till) {
        till.Send("a\rb\nc\r\n");
        till.Send(std::string("left\0right\r\n", 12));
    });
    EXPECT_EQ(FChannel.ReadReply(), "a\rb\nc");
    EXPECT_EQ(FChannel.ReadReply(), "left");
}

TEST_F(ChannelTest, PartialLineWaitsForTheNextRead)
{
    Connect([](CFakeTillSession& till) {
        till.Send("<A>first");
        till.Pause(ShortWait * 3 / 2); // after the first wait ran out, inside the second
        till.Send(" half</A>\r\n");
    });
    EXPECT_EQ(FChannel.ReadReply(), "") << "the wait ran out";
    EXPECT_EQ(FChannel.ReadReply(), "<A>first half</A>");
}

TEST_F(ChannelTest, BareCrLfLooksLikeATimeOut)
{
    Connect([](CFakeTillSession& till) {
        till.Send("\r\n");
        till.WaitForClientClose();
    });
    EXPECT_EQ(FChannel.ReadReply(), "") << "bare CR LF";
    EXPECT_EQ(FChannel.ReadReply(), "") << "time-out";
    FChannel.Disconnect();
}

TEST_F(ChannelTest, LateReplyIsReadByTheNextReadButDroppedByTheNextCommand)
{
    std::string secondCommand;
    Connect([&](CFakeTillSession& till) {
        till.ReadCommand();
        till.Pause(ShortWait * 3 / 2); // after the first wait ran out, inside the second
        // Two late lines in one segment: the first is read with no command between, the second is
        // still waiting when the next command goes out.
        till.Send("<LATE>1</LATE>\r\n<LATE>2</LATE>\r\n");
        secondCommand = till.ReadCommand();
        till.SendReply("<ONTIME/>");
    });
    FChannel.SendCommand("<GETCURDIR/>\r\n");
    EXPECT_EQ(FChannel.ReadReply(), "");
    EXPECT_EQ(FChannel.ReadReply(), "<LATE>1</LATE>") << "no command came between";
    FChannel.SendCommand("<GETDIRLIST/>\r\n");
    EXPECT_EQ(FChannel.ReadReply(), "\x01"
                                    "EC<ONTIME/>");
    FTill.Join();
    EXPECT_EQ(secondCommand, "<GETDIRLIST/>\r\n");
}

TEST_F(ChannelTest, ClosedPeerRaisesAtTheNextReadAndWrite)
{
    Connect([](CFakeTillSession& till) {
        till.SendReply("<LAST/>");
        till.Close();
    });
    EXPECT_EQ(FChannel.ReadReply(), "\x01"
                                    "EC<LAST/>")
        << "what arrived before the close is still read";
    try {
        FChannel.ReadReply();
        FAIL() << "no error";
    } catch (const CSocketError& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
    try {
        FChannel.SendCommand("<GETCURDIR/>\r\n");
        FAIL() << "no error";
    } catch (const CSocketError& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST_F(ChannelTest, UnnoticedCloseIsReportedByTheNextCommand)
{
    Connect([](CFakeTillSession& till) { till.Close(); });
    FTill.Join();
    std::this_thread::sleep_for(50ms);
    EXPECT_THROW(
        {
            try {
                FChannel.SendCommand("<GETCURDIR/>\r\n");
            } catch (const CSocketError& error) {
                EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
                throw;
            }
        },
        CSocketError);
}

TEST_F(ChannelTest, PartialLineBeforeACloseGivesAnEmptyReplyThenTheError)
{
    Connect([](CFakeTillSession& till) {
        till.Send("<HALF");
        till.Close();
    });
    FTill.Join();
    EXPECT_EQ(FChannel.ReadReply(), "");
    EXPECT_THROW(FChannel.ReadReply(), CSocketError);
}

TEST_F(ChannelTest, ResetGivesTheSocketErrorText)
{
#ifdef _WIN32
    if (ResetLooksLikeAClose()) {
        GTEST_SKIP() << "Wine reports a reset connection to recv as an orderly close";
    }
#endif
    Connect([](CFakeTillSession& till) {
        till.ReadCommand();
        till.Reset();
    });
    FChannel.SendCommand("<GETCURDIR/>\r\n");
    FTill.Join();
    try {
        FChannel.ReadReply();
        FAIL() << "no error";
    } catch (const CSocketError& error) {
        EXPECT_EQ(std::string(error.what()), SocketErrorText(ConnectionResetCode));
        EXPECT_EQ(std::string(error.what()).rfind("Socket Error # ", 0), 0u);
    }
}

TEST_F(ChannelTest, NewConnectionStartsWithAnEmptyBuffer)
{
    Connect([](CFakeTillSession& till) {
        till.Send("<OLD>stale</OLD>\r\n<OLD>partial");
        till.WaitForClientClose();
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(FChannel.ReadReply(), "<OLD>stale</OLD>");

    CFakeTill second;
    second.Play([](CFakeTillSession& till) { till.SendReply("<NEW/>", false); });
    FChannel.Connect("127.0.0.1", second.Port());
    EXPECT_EQ(FChannel.ReadReply(), "<NEW/>");
}

TEST(Channel, NothingOpenRaisesClosed)
{
    CCommandChannel channel{ShortWait};
    EXPECT_THROW(channel.SendCommand("<GETCURDIR/>\r\n"), CSocketError);
    EXPECT_THROW(channel.ReadReply(), CSocketError);
    channel.Disconnect(); // harmless without a connection
}

TEST(Channel, RefusedConnectionRaises)
{
    int port = 0;
    {
        const CFakeTill gone; // takes a free port and lets it go again, so nothing listens there
        port = gone.Port();
    }
    CCommandChannel channel;
    try {
        channel.Connect("127.0.0.1", port);
        FAIL() << "connected";
    } catch (const CSocketError& error) {
        EXPECT_EQ(std::string(error.what()), SocketErrorText(ConnectionRefusedCode));
    }
    EXPECT_FALSE(channel.IsOpen());
}

#ifdef _WIN32
TEST(SocketErrorText, WinsockNumberThenTheSystemsWordsWithoutTheirLineEnd)
{
    const auto wordsOf = [](int code) {
        const std::string text = SocketErrorText(code);
        const std::string head = "Socket Error # " + std::to_string(code) + "\r\n";
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        return text.substr(std::min(head.size(), text.size()));
    };
    // Two that every Windows (and Wine) has words for.
    const std::string reset = wordsOf(WSAECONNRESET);
    const std::string refused = wordsOf(WSAECONNREFUSED);
    for (const std::string& words : {reset, refused}) {
        ASSERT_FALSE(words.empty());
        EXPECT_EQ(words.find_first_of("\r\n"), std::string::npos) << words;
        EXPECT_NE(words.back(), ' ');
    }
    EXPECT_NE(reset, refused);
}
#endif

TEST(PortFromText, DecimalOrTheDefault)
{
    const std::pair<std::string, int> cases[] = {
        {"5559", 5559}, {"30102", 30102}, {"+7", 7}, {"", 5559}, {"abc", 5559}, {"12ab", 5559}, {" 12", 5559},
    };
    for (const auto& [text, port] : cases) {
        EXPECT_EQ(PortFromText(text), port) << '"' << text << '"';
    }
}

} // namespace
} // namespace quorral

namespace quorral {
namespace {

TEST(Channel, ReplyLineThatNeverEndsIsCutOffAndTheConnectionClosed)
{
    test::CFakeTill till;
    till.Play([](test::CFakeTillSession& session) {
        session.Send(std::string(3 * 1024 * 1024, 'x')); // three times the bound, no CR LF
        session.WaitForClientClose();
    });
    CCommandChannel channel(ShortWait, 1024 * 1024);
    channel.Connect("127.0.0.1", till.Port());
    try {
        channel.ReadReply();
        FAIL() << "no error";
    } catch (const CSocketError& error) {
        EXPECT_STREQ(error.what(), "The till sent a reply line longer than 1 MB; the connection was closed.");
    }
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_THROW(channel.SendCommand("<GETCURDIR/>\r\n"), CSocketError);
}

} // namespace
} // namespace quorral
