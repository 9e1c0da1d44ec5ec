// The till misbehaving at every point of a transfer: the window must stay usable, the local folder
// must hold exactly what it held before, and what the operator is told must say what happened.
#include "ConnectedWindow.h"
#include "gzip/GzipFile.h"
#include "link/Scrambler.h"

#include <csignal>
#include <map>
#include <memory>
#include <random>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace quorral {
namespace {

using test::CFakeTill;
using test::CFakeTillSession;
using test::CScriptedDialogs;

constexpr char Closed[] = "Connection Closed Gracefully.";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string RandomLetters(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(' ' + random() % 95);
    }
    return bytes;
}

// Every entry below a folder with its bytes: the whole of what a fault must leave alone.
std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        entries[entry.path().lexically_relative(folder).string()] =
            entry.is_directory() ? std::string("<folder>") : ReadFile(entry.path());
    }
    return entries;
}

std::string Listing(const std::vector<std::string>& files)
{
    std::string listing = "<DIR>";
    for (const std::string& file : files) {
        listing += "<FILE><NAME>" + file + "</NAME></FILE>";
    }
    return listing + "</DIR>";
}

// A reply line exactly as it goes on the wire.
std::string WireLine(std::string text)
{
    ScrambleLine(text.data(), 0);
    return std::string(ScrambleMarker, ScrambleMarkerLength) + text + "\r\n";
}

// The points a connection is cut at: every one up to `dense`, then every `step`-th up to `end`.
std::vector<std::size_t> CutPoints(std::size_t dense, std::size_t end, std::size_t step)
{
    std::vector<std::size_t> points;
    for (std::size_t at = 0; at < end; at += at < dense ? 1 : step) {
        points.push_back(at);
    }
    return points;
}

enum class CCut { Close, Reset };

class FaultInjectionTest : public test::CConnectedWindowTest
{
protected:
    void SetUp() override
    {
        CConnectedWindowTest::SetUp();
        WriteFile(FWork / "prices.dat", "existing prices\n");
        WriteFile(FWork / "Sub" / "inner.txt", "inner\n");
        // Real gzip data of a file larger than the densely cut first kilobyte.
        FContent = RandomLetters(40000, 5);
        WriteFile(FTemporary / "plain", FContent);
        EXPECT_TRUE(GzipFile(FTemporary / "plain", FTemporary / "packed.gz"));
        FPacked = ReadFile(FTemporary / "packed.gz");
        fs::remove(FTemporary / "plain");
        fs::remove(FTemporary / "packed.gz");
    }

    // Connects to a till of its own that answers the refresh, then plays `rest`.
    std::unique_ptr<CFakeTill> ConnectFresh(CFakeTill::Script rest, const std::string& listing)
    {
        auto till = std::make_unique<CFakeTill>();
        till->Play([rest, listing](CFakeTillSession& session) {
            session.ExpectCommand("<GETCURDIR/>\r\n");
            session.SendReply(test::CurDirReply);
            session.ExpectCommand("<GETDIRLIST/>\r\n");
            session.SendReply(listing);
            rest(session);
        });
        Get<QComboBox>("Port")->setEditText(QString::number(till->Port()));
        EXPECT_TRUE(FWindow.ConnectToTill()) << FDialogs.Texts().join('|').toStdString();
        return till;
    }

    // Downloads prices.dat over the existing one from a till that plays `afterCommand`. With
    // `thenRefresh`, the next exchange follows while still connected, as the operator's next click
    // would. FShownByTransfer counts the boxes the transfer itself showed.
    void Download(const CFakeTill::Script& afterCommand, bool thenRefresh = false)
    {
        FDialogs.Clear();
        FDialogs.Answer(QMessageBox::Yes);
        const auto till = ConnectFresh(
            [&](CFakeTillSession& session) {
                session.ExpectCommand("<GETFILE FILENAME=\"prices.dat\" compression=\"gz\"/>\r\n");
                afterCommand(session);
            },
            Listing({"prices.dat"}));
        Select("RemoteDirList", "prices.dat");
        FWindow.Transfer2->trigger();
        FShownByTransfer = FDialogs.Shown().size();
        if (thenRefresh) {
            FWindow.Refresh1->trigger();
        }
        FWindow.DisconnectFromTill();
        till->Join();
    }

    // Uploads note.txt to a till that plays `afterCommand` once the SENDFILE line is in.
    void Upload(const CFakeTill::Script& afterCommand)
    {
        FDialogs.Clear();
        const auto till = ConnectFresh(
            [&](CFakeTillSession& session) {
                const std::string line = session.ReadCommand();
                EXPECT_EQ(line.rfind("<SENDFILE filename=\"note.txt\" size=\"", 0), 0u) << line;
                afterCommand(session);
            },
            Listing({}));
        FWindow.MenuItem1->trigger();
        Select("LocalDirList", "note.txt");
        FWindow.Transfer1->trigger();
        FWindow.DisconnectFromTill();
        till->Join();
    }

    // What the operator saw last, in one line for failure output.
    std::string Seen() const { return FDialogs.Texts().join('|').toStdString(); }

    // The one box shown after a broken connection: the error box with the TCP client's text.
    void ExpectConnectionErrorBox(CCut cut, const std::string& where)
    {
        ASSERT_FALSE(FDialogs.Shown().empty()) << where;
        const CScriptedDialogs::CShown& last = FDialogs.Shown().back();
        EXPECT_EQ(last.Kind, CScriptedDialogs::CKind::Exception) << where << ": " << Seen();
        if (cut == CCut::Close) {
            EXPECT_EQ(last.Text, Closed) << where;
        } else {
            // A reset may overtake the last bytes, or arrive after them as a plain end of stream.
            EXPECT_TRUE(last.Text == Closed || last.Text.startsWith("Socket Error # 104"))
                << where << ": " << last.Text.toStdString();
        }
    }

    // The folder is as it was and nothing was staged anywhere.
    void ExpectUntouched(const std::map<std::string, std::string>& before, const std::string& where)
    {
        EXPECT_EQ(Snapshot(FWork), before) << where;
        EXPECT_TRUE(fs::is_empty(FTemporary)) << where << ": temporary files left behind";
    }

    // A whole download through the window after the faults: it still works end to end.
    void ExpectUsable()
    {
        FDialogs.Clear();
        const std::string packed = FPacked;
        const auto till = ConnectFresh(
            [&](CFakeTillSession& session) {
                session.ExpectCommand("<GETFILE FILENAME=\"fresh.txt\" compression=\"gz\"/>\r\n");
                session.SendReply("<FILE size=\"" + std::to_string(packed.size()) + "\"/>");
                session.Send(packed);
                session.WaitForClientClose();
            },
            Listing({"fresh.txt"}));
        Select("RemoteDirList", "fresh.txt");
        FWindow.Transfer2->trigger();
        EXPECT_TRUE(FDialogs.Texts().isEmpty()) << Seen();
        EXPECT_EQ(ReadFile(FWork / "fresh.txt"), FContent);
        FWindow.DisconnectFromTill();
        till->Join();
        fs::remove(FWork / "fresh.txt");
        FWindow.MenuItem1->trigger();
    }

    std::string FContent;
    std::string FPacked;
    std::size_t FShownByTransfer = 0;
};

TEST_F(FaultInjectionTest, DownloadCutAtEveryEarlyByteKeepsTheFolderAsItWas)
{
    const std::string wire = WireLine("<FILE size=\"" + std::to_string(FPacked.size()) + "\"/>") + FPacked;
    const std::size_t lineLength = wire.size() - FPacked.size();
    const auto before = Snapshot(FWork);
    for (const CCut cut : {CCut::Close, CCut::Reset}) {
        // Every byte of the reply line and the first kilobyte; resets and the rest of the data sampled.
        const std::vector<std::size_t> points = cut == CCut::Close
                                                    ? CutPoints(lineLength + 1024, wire.size(), 1499)
                                                    : CutPoints(lineLength + 1, wire.size(), 97);
        for (const std::size_t at : points) {
            const std::string where =
                (cut == CCut::Close ? "closed after " : "reset after ") + std::to_string(at) + " bytes";
            // A line cut short is given up without a word, like a reply that did not come in time;
            // the close shows at the next exchange, so the operator's next click is played too.
            // A reset is reported at once, whatever part of the line had arrived.
            const bool partialLine = cut == CCut::Close && at > 0 && at < lineLength;
            Download(
                [&](CFakeTillSession& session) {
                    session.Send(std::string_view(wire).substr(0, at));
                    cut == CCut::Close ? session.Close() : session.Reset();
                },
                partialLine);
            if (partialLine) {
                EXPECT_EQ(FShownByTransfer, 1u) << where << ": " << Seen();
            }
            ASSERT_EQ(FDialogs.Shown().size(), 2u) << where << ": " << Seen();
            EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Question) << where;
            ExpectConnectionErrorBox(cut, where);
            ExpectUntouched(before, where);
            if (HasFailure()) {
                return;
            }
        }
    }
    ExpectUsable();
}

TEST_F(FaultInjectionTest, UploadCutAtEveryEarlyByteKeepsTheFolderAsItWas)
{
    WriteFile(FWork / "note.txt", FContent);
    const std::string ok = WireLine("<RESPONSE>OK</RESPONSE>");
    const auto before = Snapshot(FWork);
    struct CPoint
    {
        std::size_t RawBytes; // read from the upload before the cut
        std::size_t ReplyBytes;
    };
    std::vector<CPoint> points;
    for (const std::size_t at : CutPoints(1024, FPacked.size(), 1499)) {
        points.push_back({at, 0});
    }
    for (std::size_t at = 0; at < ok.size(); ++at) {
        points.push_back({FPacked.size(), at});
    }
    for (const CCut cut : {CCut::Close, CCut::Reset}) {
        for (std::size_t i = 0; i < points.size(); i += cut == CCut::Close ? 1 : 37) {
            const CPoint point = points[i];
            const std::string where = (cut == CCut::Close ? "closed after " : "reset after ") +
                                      std::to_string(point.RawBytes) + " raw bytes and " +
                                      std::to_string(point.ReplyBytes) + " reply bytes";
            Upload([&](CFakeTillSession& session) {
                EXPECT_EQ(session.ReadRaw(point.RawBytes),
                          std::string_view(FPacked).substr(0, point.RawBytes));
                session.Send(std::string_view(ok).substr(0, point.ReplyBytes));
                cut == CCut::Close ? session.Close() : session.Reset();
            });
            ASSERT_EQ(FDialogs.Shown().size(), 1u) << where << ": " << Seen();
            if (cut == CCut::Close) {
                // The client may still be writing when the till hangs up: then the write fails.
                const QString text = FDialogs.Shown()[0].Text;
                EXPECT_TRUE(text == Closed || text.startsWith("Socket Error # 104") ||
                            text.startsWith("Socket Error # 32"))
                    << where << ": " << text.toStdString();
            } else {
                ExpectConnectionErrorBox(cut, where);
            }
            ExpectUntouched(before, where);
            if (HasFailure()) {
                return;
            }
        }
    }
    ExpectUsable();
}

// Replies no till should send. Each row: what the till plays after the GETFILE line, and what the
// operator is shown (besides the overwrite question); an empty list is the system's own rule for a
// reply that announces no file: nothing happens.
TEST_F(FaultInjectionTest, BadDownloadRepliesLeaveTheFolderAsItWas)
{
    struct CCase
    {
        const char* Name;
        CFakeTill::Script Play;
        QStringList Shown;
        bool
            Disconnects; // only where the stream can no longer be trusted; a close leaves the state as it was
    };
    const std::string junk = "\x01\xff<<\x7f garbage \x02 >>";
    const std::vector<CCase> cases = {
        {"garbage line", [&](CFakeTillSession& s) { s.Send(junk + "\r\n"); }, {}, false},
        // A partial line at the close is given up silently; the close shows at the next exchange.
        {"garbage and close",
         [&](CFakeTillSession& s) {
             s.Send(junk);
             s.Close();
         },
         {},
         false},
        {"size 2^31-1 then close",
         [&](CFakeTillSession& s) {
             s.SendReply("<FILE size=\"2147483647\"/>");
             s.Send(FPacked);
             s.Close();
         },
         {Closed},
         false},
        {"size 2^31-1 then stall",
         [&](CFakeTillSession& s) {
             s.SendReply("<FILE size=\"2147483647\"/>");
             s.Send(FPacked);
             s.WaitForClientClose();
         },
         {"The till stopped sending data."},
         true},
        {"size -1", [](CFakeTillSession& s) { s.SendReply("<FILE size=\"-1\"/>"); }, {}, false},
        {"size -2^31", [](CFakeTillSession& s) { s.SendReply("<FILE size=\"-2147483648\"/>"); }, {}, false},
        {"size below -2^31",
         [](CFakeTillSession& s) { s.SendReply("<FILE size=\"-99999999999\"/>"); },
         {},
         false},
        // Read as 2^31-1, the largest count there is: the download starts and meets the close.
        {"size above 2^31-1 then close",
         [](CFakeTillSession& s) {
             s.SendReply("<FILE size=\"4294967296\"/>");
             s.Close();
         },
         {Closed},
         false},
        {"stall before the reply",
         [](CFakeTillSession& s) { s.Pause(std::chrono::milliseconds(400)); },
         {},
         false},
        {"stall inside the data",
         [&](CFakeTillSession& s) {
             s.SendReply("<FILE size=\"" + std::to_string(FPacked.size()) + "\"/>");
             s.Send(std::string_view(FPacked).substr(0, 700));
             s.WaitForClientClose();
         },
         {"The till stopped sending data."},
         true},
        {"corrupt gzip data",
         [&](CFakeTillSession& s) {
             std::string corrupt = FPacked;
             corrupt[corrupt.size() / 2] ^= 0x55;
             s.SendReply("<FILE size=\"" + std::to_string(corrupt.size()) + "\"/>");
             s.Send(corrupt);
         },
         {"Failed to decompress file:\n\n"},
         false},
    };
    const auto before = Snapshot(FWork);
    for (const CCase& row : cases) {
        FDialogs.Clear();
        FDialogs.Answer(QMessageBox::Yes);
        bool connectedAfter = false;
        const auto till = ConnectFresh(
            [&](CFakeTillSession& session) {
                session.ExpectCommand("<GETFILE FILENAME=\"prices.dat\" compression=\"gz\"/>\r\n");
                row.Play(session);
            },
            Listing({"prices.dat"}));
        Select("RemoteDirList", "prices.dat");
        FWindow.Transfer2->trigger();
        connectedAfter = FWindow.IsConnected();
        FWindow.DisconnectFromTill();
        till->Join();
        QStringList shown = FDialogs.Texts();
        ASSERT_FALSE(shown.isEmpty()) << row.Name;
        EXPECT_EQ(shown.takeFirst(), "Overwrite\n\nprices.dat\n\nAre you sure?") << row.Name;
        // The codec names the temporary file, whose name is its own business.
        for (QString& text : shown) {
            const qsizetype paragraph = text.indexOf("\n\n");
            if (paragraph >= 0) {
                text = text.left(paragraph + 2);
            }
        }
        EXPECT_EQ(shown, row.Shown) << row.Name;
        EXPECT_EQ(connectedAfter, !row.Disconnects) << row.Name;
        ExpectUntouched(before, row.Name);
    }
    ExpectUsable();
}

TEST_F(FaultInjectionTest, ReplyLineThatNeverEndsIsCutOffWithAClearMessage)
{
    const auto before = Snapshot(FWork);
    // Made before the exchange, so the line flows without a pause the reply wait would end.
    const std::string line(50 * 1024 * 1024, 'x');
    std::size_t sent = 0;
    Download([&](CFakeTillSession& session) {
        sent = session.SendUntilClosed(line);
        session.WaitForClientClose();
    });
    EXPECT_LT(sent, 50u * 1024 * 1024) << "the window read the whole line";
    ASSERT_EQ(FDialogs.Shown().size(), 2u) << Seen();
    EXPECT_EQ(FDialogs.Shown()[1].Kind, CScriptedDialogs::CKind::Exception);
    EXPECT_EQ(FDialogs.Shown()[1].Text,
              "The till sent a reply line longer than 32 MB; the connection was closed.");
    EXPECT_FALSE(FWindow.IsConnected());
    ExpectUntouched(before, "50 MB line");
    ExpectUsable();
}

// Caps the size of every file this process writes, so that a write past it fails as on a full disk.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = FOld;
        limit.rlim_cur = bytes;
        FApplied = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~CFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;
    bool Applied() const { return FApplied; }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
    bool FApplied = false;
};

constexpr rlim_t DiskRoom = 64 * 1024;

TEST_F(FaultInjectionTest, FullDiskAtTheDestinationKeepsTheExistingFileAndSaysSo)
{
    // Compresses far below the limit, so the temporary file fits and the destination does not.
    std::string content;
    while (content.size() < 4 * DiskRoom) {
        content += "1;BREAD;2.10;LOAF;BAKERY\n";
    }
    WriteFile(FTemporary / "plain", content);
    ASSERT_TRUE(GzipFile(FTemporary / "plain", FTemporary / "packed.gz"));
    const std::string packed = ReadFile(FTemporary / "packed.gz");
    fs::remove(FTemporary / "plain");
    fs::remove(FTemporary / "packed.gz");
    ASSERT_LT(packed.size(), DiskRoom);
    const auto before = Snapshot(FWork);
    {
        const CFileSizeLimit limit(DiskRoom);
        if (!limit.Applied()) {
            GTEST_SKIP() << "RLIMIT_FSIZE cannot be lowered here";
        }
        Download([&](CFakeTillSession& session) {
            session.SendReply("<FILE size=\"" + std::to_string(packed.size()) + "\"/>");
            session.Send(packed);
            session.WaitForClientClose();
        });
    }
    EXPECT_EQ(FDialogs.Texts(), QStringList({"Overwrite\n\nprices.dat\n\nAre you sure?",
                                             QString::fromStdString("Failed to write file:\n\n" +
                                                                    (FWork / "prices.dat").string())}));
    ExpectUntouched(before, "destination full");
    ExpectUsable();
}

// A temporary file that cannot be written: the download is read and thrown away, the upload is
// not sent, the operator is told why, and nothing is left or changed.
TEST_F(FaultInjectionTest, FullDiskAtTheTemporaryFolderLeavesNothingBehind)
{
    constexpr rlim_t TemporaryRoom = 16 * 1024;
    ASSERT_GT(FPacked.size(), TemporaryRoom);
    WriteFile(FWork / "note.txt", FContent);
    const auto before = Snapshot(FWork);
    {
        const CFileSizeLimit limit(TemporaryRoom);
        if (!limit.Applied()) {
            GTEST_SKIP() << "RLIMIT_FSIZE cannot be lowered here";
        }
        Download([&](CFakeTillSession& session) {
            session.SendReply("<FILE size=\"" + std::to_string(FPacked.size()) + "\"/>");
            session.Send(FPacked);
            session.WaitForClientClose();
        });
        const QString full = "The temporary folder is full or cannot be written:\n\n" +
                             QString::fromStdString(TransferTemporaryFolder().string());
        EXPECT_EQ(FDialogs.Texts(), QStringList({"Overwrite\n\nprices.dat\n\nAre you sure?", full}));
        ExpectUntouched(before, "temporary folder full, download");

        FDialogs.Clear();
        const auto till = ConnectFresh(
            [](CFakeTillSession& session) {
                // No SENDFILE: the next thing the till hears is the refresh after the upload.
                session.ExpectCommand("<GETCURDIR/>\r\n");
                session.SendReply(test::CurDirReply);
                session.ExpectCommand("<GETDIRLIST/>\r\n");
                session.SendReply(Listing({}));
                session.WaitForClientClose();
            },
            Listing({}));
        FWindow.MenuItem1->trigger();
        Select("LocalDirList", "note.txt");
        FWindow.Transfer1->trigger();
        FWindow.DisconnectFromTill();
        till->Join();
        EXPECT_EQ(FDialogs.Texts(), QStringList({full})) << Seen();
        ExpectUntouched(before, "temporary folder full, upload");
    }
    ExpectUsable();
}

} // namespace
} // namespace quorral
