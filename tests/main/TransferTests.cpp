#include "ConnectedWindow.h"
#include "gzip/GzipFile.h"

#include <QProgressBar>

#include <random>

namespace fs = std::filesystem;

namespace quorral {
namespace {

using test::CFakeTillSession;
using test::CScriptedDialogs;
using TransferTest = test::CConnectedWindowTest;

std::string Listing(const std::vector<std::string>& files)
{
    std::string listing = "<DIR>";
    for (const std::string& file : files) {
        listing += "<FILE><NAME>" + file + "</NAME></FILE>";
    }
    return listing + "</DIR>";
}

std::string RandomBytes(std::size_t size, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>('a' + random() % 26); // never the gzip magic
    }
    return bytes;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The gzip bytes of `content`, as a till would send them.
std::string Gzipped(const fs::path& folder, const std::string& content)
{
    WriteFile(folder / "plain.in", content);
    EXPECT_TRUE(GzipFile(folder / "plain.in", folder / "packed.gz"));
    std::string packed = ReadFile(folder / "packed.gz");
    fs::remove(folder / "plain.in");
    fs::remove(folder / "packed.gz");
    return packed;
}

std::string Gunzipped(const fs::path& folder, const std::string& packed)
{
    WriteFile(folder / "packed.gz", packed);
    EXPECT_TRUE(GunzipFile(folder / "packed.gz", folder / "plain.out", false, nullptr));
    std::string plain = ReadFile(folder / "plain.out");
    fs::remove(folder / "packed.gz");
    fs::remove(folder / "plain.out");
    return plain;
}

// After a command was answered, the next thing the till hears is this refresh.
void ExpectRemoteRefresh(CFakeTillSession& till, const std::string& listing)
{
    till.ExpectCommand("<GETCURDIR/>\r\n");
    till.SendReply(test::CurDirReply);
    till.ExpectCommand("<GETDIRLIST/>\r\n");
    till.SendReply(listing);
}

TEST_F(TransferTest, DownloadStepsTheGaugePerChunkAndRevealsTheRow)
{
    const std::string bytes = RandomBytes(2500);
    Connect(
        [&](CFakeTillSession& till) {
            till.ExpectCommand("<GETFILE FILENAME=\"report.bin\" compression=\"gz\"/>\r\n");
            till.SendReply("<FILE size=\"2500\" compression=\"gz\"/>");
            till.Send(bytes); // not gzip data: it passes through unchanged
        },
        Listing({"report.bin"}));
    std::vector<int> gauge;
    QObject::connect(Get<QProgressBar>("Progress"), &QProgressBar::valueChanged,
                     [&](int value) { gauge.push_back(value); });
    Select("RemoteDirList", "report.bin");
    FWindow.Transfer2->trigger();
    EXPECT_EQ(ReadFile(FWork / "report.bin"), bytes);
    EXPECT_EQ(gauge, (std::vector<int>{1000, 2000, 2500, 0}));
    EXPECT_EQ(Get<QProgressBar>("Progress")->maximum(), 2500);
    EXPECT_TRUE(FDialogs.Texts().isEmpty()) << FDialogs.Texts().join('|').toStdString();
    // The new local row is selected and the remote one no longer is.
    const auto* local = Get<QTreeView>("LocalDirList");
    ASSERT_EQ(local->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(local->selectionModel()->selectedRows().first().data().toString(), "report.bin");
    EXPECT_TRUE(Get<QTreeView>("RemoteDirList")->selectionModel()->selectedRows().isEmpty());
    EXPECT_TRUE(fs::is_empty(FTemporary)) << "temporary files left behind";
}

TEST_F(TransferTest, DownloadOfRealGzipDataIsByteExactAndLeavesASpecNamedFileAlone)
{
    const std::string content = RandomBytes(3 * 1024 * 1024, 11) + std::string(500000, 'z');
    const std::string packed = Gzipped(FTemporary, content);
    WriteFile(FWork / "big.dat.tmp", "precious"); // the name a naive transfer would use
    Connect(
        [&](CFakeTillSession& till) {
            till.ExpectCommand("<GETFILE FILENAME=\"big.dat\" compression=\"gz\"/>\r\n");
            till.SendReply("<file size=\"" + std::to_string(packed.size()) + "\"/>");
            till.Send(packed);
        },
        Listing({"big.dat"}));
    Select("RemoteDirList", "big.dat");
    FWindow.Transfer2->trigger();
    EXPECT_EQ(ReadFile(FWork / "big.dat"), content);
    EXPECT_EQ(ReadFile(FWork / "big.dat.tmp"), "precious");
    EXPECT_TRUE(fs::is_empty(FTemporary));
}

TEST_F(TransferTest, OverwriteQuestionMatchesWholeNamesInAnyCaseAndNoSendsNothing)
{
    WriteFile(FWork / "REPORT.BIN", "old");
    WriteFile(FWork / "report.bin.txt", "not a match");
    Connect([](CFakeTillSession& till) { ExpectRemoteRefresh(till, Listing({"report.bin"})); },
            Listing({"report.bin"}));
    FDialogs.Answer(QMessageBox::No);
    Select("RemoteDirList", "report.bin");
    FWindow.Transfer2->trigger();
    ASSERT_EQ(FDialogs.Shown().size(), 1u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Question);
    EXPECT_EQ(FDialogs.Shown()[0].Title, "Overwrite file");
    EXPECT_EQ(FDialogs.Shown()[0].Text, "Overwrite\n\nreport.bin\n\nAre you sure?");
    FWindow.Refresh1->trigger(); // the till hears this refresh next, and no GETFILE before it
    EXPECT_EQ(ReadFile(FWork / "REPORT.BIN"), "old");
}

TEST_F(TransferTest, FileRepliesWithoutAPositiveSizeDoNothing)
{
    const std::vector<std::string> replies = {"<FILE size=\"0\"/>", "<FILE/>", "<FILE size=\"-5\"/>",
                                              "<RESPONSE>OK</RESPONSE>", ""};
    Connect(
        [&](CFakeTillSession& till) {
            for (const std::string& reply : replies) {
                till.ExpectCommand("<GETFILE FILENAME=\"x.txt\" compression=\"gz\"/>\r\n");
                if (!reply.empty()) {
                    till.SendReply(reply);
                }
            }
            till.ExpectCommand("<GETFILE FILENAME=\"x.txt\" compression=\"gz\"/>\r\n");
            till.SendReply("<FAILEDERROR>x.txt is locked</FAILEDERROR>");
        },
        Listing({"x.txt"}));
    for (std::size_t i = 0; i <= replies.size(); ++i) {
        Select("RemoteDirList", "x.txt");
        FWindow.Transfer2->trigger();
    }
    EXPECT_FALSE(fs::exists(FWork / "x.txt"));
    EXPECT_EQ(FDialogs.Texts(), QStringList({"x.txt is locked"}));
    EXPECT_EQ(Captions("LocalDirList"), QStringList({"Sub+", "note.txt"}));
}

TEST_F(TransferTest, UploadSendsTheLineThenExactlyTheGzipBytesAndRevealsTheRow)
{
    const std::string content = RandomBytes(12000, 3);
    WriteFile(FWork / "data.csv", content);
    std::string line;
    std::string raw;
    Connect([&](CFakeTillSession& till) {
        line = till.ReadCommand();
        const std::size_t sizeAt = line.find("size=\"") + 6;
        raw = till.ReadRaw(std::stoul(line.substr(sizeAt)));
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        ExpectRemoteRefresh(till, Listing({"a.txt", "data.csv"}));
    });
    FWindow.MenuItem1->trigger(); // list data.csv
    Select("LocalDirList", "data.csv");
    FWindow.Transfer1->trigger();
    EXPECT_TRUE(FDialogs.Texts().isEmpty());
    EXPECT_EQ(Get<QProgressBar>("Progress")->value(), 0);
    const auto* remote = Get<QTreeView>("RemoteDirList");
    ASSERT_EQ(remote->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(remote->selectionModel()->selectedRows().first().data().toString(), "data.csv");
    EXPECT_TRUE(Get<QTreeView>("LocalDirList")->selectionModel()->selectedRows().isEmpty());
    FWindow.DisconnectFromTill();
    FTill.Join();
    EXPECT_EQ(line, "<SENDFILE filename=\"data.csv\" size=\"" + std::to_string(raw.size()) +
                        "\" compression=\"gz\"/>\r\n");
    EXPECT_EQ(Gunzipped(FTemporary, raw), content);
    EXPECT_TRUE(fs::is_empty(FTemporary));
}

TEST_F(TransferTest, UploadRepliesOtherThanOkShowOnlyFailures)
{
    WriteFile(FWork / "up.txt", "abc");
    Connect([&](CFakeTillSession& till) {
        for (const char* reply : {"<FAILEDERROR>Disk full</FAILEDERROR>", "<RESPONSE>MAYBE</RESPONSE>",
                                  "<response>ok</response>"}) {
            const std::string line = till.ReadCommand();
            till.ReadRaw(std::stoul(line.substr(line.find("size=\"") + 6)));
            till.SendReply(reply);
            ExpectRemoteRefresh(till, Listing({}));
        }
    });
    FWindow.MenuItem1->trigger();
    for (int i = 0; i < 3; ++i) {
        Select("LocalDirList", "up.txt");
        FWindow.Transfer1->trigger();
    }
    ASSERT_EQ(FDialogs.Shown().size(), 1u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Failure);
    EXPECT_EQ(FDialogs.Shown()[0].Text, "Disk full");
}

TEST_F(TransferTest, TillClosingMidDownloadLeavesTheDestinationAndNoTemporaryFile)
{
    WriteFile(FWork / "x.txt", "keep me");
    Connect(
        [](CFakeTillSession& till) {
            till.ExpectCommand("<GETFILE FILENAME=\"x.txt\" compression=\"gz\"/>\r\n");
            till.SendReply("<FILE size=\"5000\"/>");
            till.Send(std::string(1500, 'q'));
            till.Close();
        },
        Listing({"x.txt"}));
    Select("RemoteDirList", "x.txt");
    FWindow.Transfer2->trigger();
    ASSERT_EQ(FDialogs.Shown().size(), 2u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Question);
    EXPECT_EQ(FDialogs.Shown()[1].Kind, CScriptedDialogs::CKind::Exception);
    EXPECT_EQ(FDialogs.Shown()[1].Text, "Connection Closed Gracefully.");
    EXPECT_EQ(ReadFile(FWork / "x.txt"), "keep me");
    EXPECT_TRUE(fs::is_empty(FTemporary));
}

TEST_F(TransferTest, StalledTillIsGivenUpAndTheConnectionClosed)
{
    Connect(
        [](CFakeTillSession& till) {
            till.ExpectCommand("<GETFILE FILENAME=\"slow.txt\" compression=\"gz\"/>\r\n");
            till.SendReply("<FILE size=\"5000\"/>");
            till.Send(std::string(100, 'q'));
            till.WaitForClientClose();
        },
        Listing({"slow.txt"}));
    Select("RemoteDirList", "slow.txt");
    FWindow.Transfer2->trigger();
    EXPECT_EQ(FDialogs.Texts(), QStringList({"The till stopped sending data."}));
    EXPECT_FALSE(FWindow.IsConnected());
    EXPECT_EQ(Get<QProgressBar>("Progress")->value(), 0);
    EXPECT_FALSE(fs::exists(FWork / "slow.txt"));
    EXPECT_TRUE(fs::is_empty(FTemporary));
}

TEST_F(TransferTest, RemoteNamesThatAreNoPlainFileNameAreRefused)
{
    const std::vector<std::string> names = {"../x", "a/b", "..", "/etc/passwd", "sub\\evil"};
    std::string listing = "<DIR>";
    for (const std::string& name : names) {
        listing += "<FILE><NAME>" + name + "</NAME></FILE>";
    }
    listing += "</DIR>";
    Connect([](CFakeTillSession& till) { ExpectRemoteRefresh(till, Listing({})); }, listing);
    QStringList expected;
    for (const std::string& name : names) {
        Select("RemoteDirList", QString::fromStdString(name));
        FWindow.Transfer2->trigger();
        expected << "This name cannot be used for a local file:\n\n" + QString::fromStdString(name);
    }
    FWindow.Refresh1->trigger(); // nothing else reached the till before this
    EXPECT_EQ(FDialogs.Texts(), expected);
    EXPECT_FALSE(fs::exists(FRoot / "x"));
}

TEST_F(TransferTest, NameTooLongForTheSendFileLineIsRefused)
{
    const std::string name = std::string(160, 'n') + ".txt";
    WriteFile(FWork / name, "abc");
    Connect([](CFakeTillSession& till) { ExpectRemoteRefresh(till, Listing({})); });
    FWindow.MenuItem1->trigger();
    Select("LocalDirList", QString::fromStdString(name));
    FWindow.Transfer1->trigger(); // the remote refresh after the refused upload is all the till hears
    EXPECT_EQ(FDialogs.Texts(), QStringList({"The file name is too long to send to the till."}));
}

} // namespace
} // namespace quorral
