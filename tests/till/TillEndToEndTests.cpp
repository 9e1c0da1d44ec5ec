// The till simulator driven by the PC's own command channel, command texts, reply readers and
// transfer engine, over loopback.

#include "TillTestSupport.h"

#include "gzip/GzipFile.h"
#include "link/CommandChannel.h"
#include "link/SocketError.h"
#include "link/TillCommands.h"
#include "link/Transfer.h"
#include "xml/XMLParser.h"

#include <gtest/gtest.h>

#include <memory>

namespace quorral {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using test::CRunningTill;
using test::CScratchFolder;
using test::RandomBytes;
using test::ReadFile;
using test::TreeOf;
using test::WriteFile;

constexpr auto ReplyWait = 5000ms;
const CProgress NoProgress = [](std::int64_t, std::int64_t) {};

class TillTest : public ::testing::Test
{
protected:
    TillTest()
    {
        WriteFile(Root() / "a.txt", "alpha\r\n");
        WriteFile(Root() / "Data" / "b.csv", "1;2;3\r\n");
        fs::create_directories(Root() / "Data" / "Sub");
        fs::create_directories(Root() / "Reports");
        WriteFile(Outside() / "secret.txt", "secret");
        fs::create_directories(Outside() / "Dir");
        fs::create_directories(Staging());
        fs::create_directories(Local());
    }

    fs::path Root() const { return FScratch.Path() / "root"; }
    fs::path Outside() const { return FScratch.Path() / "outside"; }
    // The till's temporary folder, where a test can see whether anything was left behind.
    fs::path Staging() const { return FScratch.Path() / "staging"; }
    fs::path Local() const { return FScratch.Path() / "local"; }

    CTillServerOptions Options()
    {
        CTillServerOptions options;
        options.Root = Root();
        options.DiscoveryPort = NoDiscovery;
        options.Limits.TemporaryFolder = Staging();
        options.Log = &FLog;
        return options;
    }
    void StartTill(CTillServerOptions options) { FTill = std::make_unique<CRunningTill>(std::move(options)); }
    CRunningTill& Till()
    {
        if (!FTill) {
            StartTill(Options());
        }
        return *FTill;
    }

    std::unique_ptr<CCommandChannel> Connect()
    {
        auto channel = std::make_unique<CCommandChannel>(ReplyWait);
        channel->Connect("127.0.0.1", Till().Port());
        return channel;
    }
    static std::string Exchange(CCommandChannel& channel, const std::string& command)
    {
        channel.SendCommand(command);
        return channel.ReadReply();
    }
    static std::string CurrentFolder(CCommandChannel& channel)
    {
        return ReadCurrentFolder(Exchange(channel, GetCurDirCommand()));
    }
    static void ChangeDir(CCommandChannel& channel, const std::string& path)
    {
        const std::string reply = Exchange(channel, ChangeDirCommand(path));
        ASSERT_TRUE(IsOkReply(reply)) << path << ": " << reply;
    }

    // Writes a SENDFILE line for `name` and then exactly `bytes`, as the PC does.
    static std::string SendRaw(CCommandChannel& channel, const std::string& name, const std::string& bytes)
    {
        channel.SendCommand(SendFileCommand(name, static_cast<std::int64_t>(bytes.size())));
        channel.Client().Write(bytes);
        return channel.ReadReply();
    }

    std::string GzipOf(const std::string& content)
    {
        const fs::path source = Local() / "gzip-source";
        const fs::path gzip = Local() / "gzip-source.gz";
        WriteFile(source, content);
        EXPECT_TRUE(GzipFile(source, gzip));
        return ReadFile(gzip);
    }

    CScratchFolder FScratch{"e2e"};
    std::ostringstream FLog;
    std::unique_ptr<CRunningTill> FTill; // last, so that the till stops before its folder goes
};

TEST_F(TillTest, EveryCommandAnswersInTheShapeThePcReads)
{
    auto pc = Connect();
    const std::string curDir = Exchange(*pc, GetCurDirCommand());
    EXPECT_EQ(curDir.substr(0, ScrambleMarkerLength), std::string(ScrambleMarker, ScrambleMarkerLength));
    EXPECT_EQ(ReadCurrentFolder(curDir), "C:\\TILL");

    const std::string listing = Exchange(*pc, GetDirListCommand());
    EXPECT_EQ(ReadListing(listing), (CFolderRows{{"Data", true}, {"Reports", true}, {"a.txt", false}}));
    const CXMLParser parsed(listing);
    const CXMLNode* dot = FindChild(parsed.Root(), "FOLDER");
    ASSERT_NE(dot, nullptr);
    const CXMLNode* dotDot = NextSibling(*dot, true);
    ASSERT_NE(dotDot, nullptr);
    EXPECT_EQ(FindChild(dot, "NAME")->Text, ".");
    EXPECT_EQ(FindChild(dotDot, "NAME")->Text, "..");
    const CXMLNode* file = FindChild(parsed.Root(), "FILE");
    ASSERT_NE(file, nullptr);
    ASSERT_NE(FindChild(file, "SIZE"), nullptr);
    EXPECT_EQ(FindChild(file, "SIZE")->Text, "7");
    EXPECT_NE(FindChild(file, "MODIFIED"), nullptr);

    ChangeDir(*pc, "Data");
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL\\Data");

    EXPECT_TRUE(IsOkReply(Exchange(*pc, NewFolderCommand("New Folder"))));
    EXPECT_TRUE(fs::is_directory(Root() / "Data" / "New Folder"));

    EXPECT_TRUE(IsOkReply(Exchange(*pc, MoveFileCommand("b.csv", "c.csv"))));
    EXPECT_FALSE(fs::exists(Root() / "Data" / "b.csv"));
    EXPECT_EQ(ReadFile(Root() / "Data" / "c.csv"), "1;2;3\r\n");
    EXPECT_TRUE(IsOkReply(Exchange(*pc, MoveFileCommand("New Folder", "Renamed"))));
    EXPECT_TRUE(fs::is_directory(Root() / "Data" / "Renamed"));

    EXPECT_TRUE(IsOkReply(Exchange(*pc, DeleteFileCommand("c.csv"))));
    EXPECT_FALSE(fs::exists(Root() / "Data" / "c.csv"));
    EXPECT_TRUE(IsOkReply(Exchange(*pc, DeleteFolderCommand("Renamed"))));
    EXPECT_FALSE(fs::exists(Root() / "Data" / "Renamed"));

    EXPECT_TRUE(IsOkReply(Exchange(*pc, ChangeDirUpCommand())));
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");
}

TEST_F(TillTest, PlainRepliesAndPlainCommandLines)
{
    CTillServerOptions options = Options();
    options.PlainReplies = true;
    StartTill(options);
    auto pc = Connect();
    EXPECT_EQ(Exchange(*pc, GetCurDirCommand()), "<CURDIR>C:\\TILL</CURDIR>");
    // A command line without the marker is taken as it stands.
    pc->Client().Write("<CHANGEDIR PATH=\"Data\"/>\r\n<GETCURDIR/>\r\n");
    EXPECT_EQ(pc->ReadReply(), "<RESPONSE>OK</RESPONSE>");
    EXPECT_EQ(pc->ReadReply(), "<CURDIR>C:\\TILL\\Data</CURDIR>");
}

TEST_F(TillTest, WhateverPathItReportsOrAnOperatorTypesIsTakenBack)
{
    auto pc = Connect();
    ChangeDir(*pc, "Data\\Sub");
    const std::string reported = CurrentFolder(*pc);
    EXPECT_EQ(reported, "C:\\TILL\\Data\\Sub");
    ChangeDir(*pc, "..\\..");
    ChangeDir(*pc, reported);
    EXPECT_EQ(CurrentFolder(*pc), reported);

    const struct
    {
        const char* Typed;
        const char* Folder;
    } cases[] = {
        {"c:/till/Data/Sub/", "C:\\TILL\\Data\\Sub"},
        {"\\TILL\\Reports", "C:\\TILL\\Reports"},
        {"C:\\TILL", "C:\\TILL"},
        {"Data/Sub", "C:\\TILL\\Data\\Sub"},
        {"C:\\TILL\\Data\\..\\Reports", "C:\\TILL\\Reports"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Typed);
        ChangeDir(*pc, "C:\\TILL");
        ChangeDir(*pc, test.Typed);
        EXPECT_EQ(CurrentFolder(*pc), test.Folder);
    }
}

TEST_F(TillTest, FilesRoundTripByteExactInBothDirections)
{
    auto pc = Connect();
    ChangeDir(*pc, "Data");
    const struct
    {
        const char* Name;
        std::string Content;
    } files[] = {
        {"empty.txt", ""},
        {"prices.csv", "1001;2.20\r\n1002;2.90\r\n"},
        {"blob.bin", RandomBytes(300 * 1000 + 17, 7)},
        {"b.csv", "replaced\r\n"}, // over an existing file
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.Name);
        const fs::path local = Local() / file.Name;
        WriteFile(local, file.Content);
        const CUploadResult upload = UploadFile(*pc, local, file.Name, NoProgress);
        ASSERT_EQ(upload.Status, CUploadStatus::Sent);
        EXPECT_TRUE(IsOkReply(upload.Reply)) << upload.Reply;
        EXPECT_EQ(ReadFile(Root() / "Data" / file.Name), file.Content);

        const std::string reply = Exchange(*pc, GetFileCommand(file.Name));
        const CXMLParser parsed(reply);
        EXPECT_STREQ(CXMLParser::GetAttribute(parsed.Root(), "compression", ""), "gz");
        const std::optional<std::int32_t> size = ReadFileReplySize(reply);
        ASSERT_TRUE(size.has_value()) << reply;
        const fs::path back = Local() / (std::string(file.Name) + ".back");
        EXPECT_EQ(DownloadFile(*pc, *size, back, nullptr, NoProgress), CDownloadStatus::Written);
        EXPECT_EQ(ReadFile(back), file.Content);
    }
    // Still in step after all the raw bytes, and nothing staged is left anywhere.
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL\\Data");
    EXPECT_EQ(TreeOf(Root() / "Data"), "Sub/\nb.csv\nblob.bin\nempty.txt\nprices.csv\n");
    EXPECT_TRUE(fs::is_empty(Staging()));
}

TEST_F(TillTest, TwoClientsKeepTheirOwnCurrentFolders)
{
    auto first = Connect();
    auto second = Connect();
    ChangeDir(*first, "Data");
    EXPECT_EQ(CurrentFolder(*second), "C:\\TILL");
    ChangeDir(*second, "Reports");
    EXPECT_EQ(CurrentFolder(*first), "C:\\TILL\\Data");
    EXPECT_EQ(CurrentFolder(*second), "C:\\TILL\\Reports");
    // Bare names refer to each client's own folder.
    EXPECT_TRUE(IsOkReply(Exchange(*first, NewFolderCommand("Mine"))));
    EXPECT_TRUE(fs::is_directory(Root() / "Data" / "Mine"));
    EXPECT_FALSE(fs::exists(Root() / "Reports" / "Mine"));
}

TEST_F(TillTest, EveryFailureIsRefusedWithATextAndChangesNothing)
{
    auto pc = Connect();
    const std::string before = TreeOf(Root());
    const struct
    {
        const char* What;
        std::string Command;
    } cases[] = {
        {"folder that does not exist", ChangeDirCommand("Nope")},
        {"file as a folder", ChangeDirCommand("a.txt")},
        {"empty path", ChangeDirCommand("")},
        {"file that does not exist", GetFileCommand("nope.txt")},
        {"folder as a file", GetFileCommand("Data")},
        {"delete a missing file", DeleteFileCommand("nope.txt")},
        {"delete a folder as a file", DeleteFileCommand("Data")},
        {"delete a folder that is not empty", DeleteFolderCommand("Data")},
        {"delete a missing folder", DeleteFolderCommand("Nope")},
        {"delete a file as a folder", DeleteFolderCommand("a.txt")},
        {"rename a missing entry", MoveFileCommand("nope.txt", "x.txt")},
        {"rename onto an existing entry", MoveFileCommand("a.txt", "Data")},
        {"new folder that exists", NewFolderCommand("Data")},
        {"new folder over a file", NewFolderCommand("a.txt")},
        {"name longer than the reader keeps", GetFileCommand(std::string(120, 'n'))},
        {"unknown command", "<FORMAT/>\r\n"},
        {"not XML at all", "hello till\r\n"},
        {"missing attribute", "<GETFILE/>\r\n"},
        {"empty line", "\r\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.What);
        const std::string reply = Exchange(*pc, test.Command);
        EXPECT_TRUE(IsFailedReply(reply)) << reply;
        EXPECT_FALSE(FailedReplyText(reply).empty()) << reply;
        EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");
    }
    EXPECT_EQ(TreeOf(Root()), before);
}

TEST_F(TillTest, RefusedUploadsLeaveNoFileAndTheConnectionInStep)
{
    auto pc = Connect();
    const std::string before = TreeOf(Root());
    const std::string gzip = GzipOf(RandomBytes(50000, 3));
    const struct
    {
        const char* What;
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"a folder of that name", "Data", gzip},
        {"gzip data cut short", "cut.bin", gzip.substr(0, gzip.size() / 2)},
        {"a name with a folder in it", "Data/x.bin", gzip},
        {"no bytes at all", "nothing.bin", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.What);
        const std::string reply = SendRaw(*pc, test.Name, test.Bytes);
        EXPECT_TRUE(IsFailedReply(reply)) << reply;
        EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");
    }
    EXPECT_EQ(TreeOf(Root()), before);
    EXPECT_TRUE(fs::is_empty(Staging()));
}

TEST_F(TillTest, StalledUploadIsDroppedWithoutAPartialFile)
{
    CTillServerOptions options = Options();
    options.UploadStallLimit = 300ms;
    StartTill(options);
    const std::string before = TreeOf(Root());

    // Pauses shorter than the limit are no stall, however long the whole upload takes.
    auto patient = Connect();
    const std::string gzip = GzipOf(RandomBytes(20000, 5));
    patient->SendCommand(SendFileCommand("slow.bin", static_cast<std::int64_t>(gzip.size())));
    const std::size_t piece = gzip.size() / 4 + 1;
    for (std::size_t at = 0; at < gzip.size(); at += piece) {
        std::this_thread::sleep_for(150ms);
        patient->Client().Write(std::string_view(gzip).substr(at, piece));
    }
    EXPECT_TRUE(IsOkReply(patient->ReadReply()));
    EXPECT_TRUE(fs::exists(Root() / "slow.bin"));
    EXPECT_TRUE(IsOkReply(Exchange(*patient, DeleteFileCommand("slow.bin"))));

    auto stalled = Connect();
    stalled->SendCommand(SendFileCommand("stalled.bin", static_cast<std::int64_t>(gzip.size())));
    stalled->Client().Write(std::string_view(gzip).substr(0, 100));
    EXPECT_THROW(stalled->ReadReply(), CSocketError);
    EXPECT_EQ(TreeOf(Root()), before);
    EXPECT_TRUE(fs::is_empty(Staging()));
    // The others are still served.
    EXPECT_EQ(CurrentFolder(*patient), "C:\\TILL");
}

TEST_F(TillTest, UploadSizeBeyondTheLimitOrUnreadableEndsTheConnection)
{
    CTillServerOptions options = Options();
    options.Limits.MaxUpload = 1000;
    StartTill(options);
    {
        // At the limit is still fine (bytes that are not gzip data are stored as they come).
        auto pc = Connect();
        EXPECT_TRUE(IsOkReply(SendRaw(*pc, "limit.bin", std::string(1000, 'x'))));
        EXPECT_EQ(fs::file_size(Root() / "limit.bin"), 1000u);
    }
    const struct
    {
        const char* What;
        std::string Line;
    } cases[] = {
        {"one byte over", SendFileCommand("over.bin", 1001)},
        {"far over", SendFileCommand("over.bin", std::int64_t{1} << 40)},
        {"not a number", "<SENDFILE filename=\"x.bin\" size=\"abc\" compression=\"gz\"/>\r\n"},
        {"negative", "<SENDFILE filename=\"x.bin\" size=\"-5\" compression=\"gz\"/>\r\n"},
        {"missing", "<SENDFILE filename=\"x.bin\" compression=\"gz\"/>\r\n"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.What);
        auto pc = Connect();
        const std::string reply = Exchange(*pc, test.Line);
        EXPECT_TRUE(IsFailedReply(reply)) << reply;
        // Where the file would end is unknown, so nothing after it can be read as a command.
        EXPECT_THROW(pc->ReadReply(), CSocketError);
    }
    EXPECT_FALSE(fs::exists(Root() / "over.bin"));
    EXPECT_FALSE(fs::exists(Root() / "x.bin"));
}

TEST_F(TillTest, RunawayCommandLineIsRefusedAndTheConnectionClosed)
{
    auto pc = Connect();
    // Long, but within the limit: an ordinary refusal.
    pc->Client().Write(std::string(60 * 1024, 'x') + "\r\n");
    EXPECT_TRUE(IsFailedReply(pc->ReadReply()));
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");

    pc->Client().Write(std::string(70 * 1024, 'x'));
    const std::string reply = pc->ReadReply();
    EXPECT_TRUE(IsFailedReply(reply)) << reply;
    EXPECT_THROW(pc->ReadReply(), CSocketError);
}

TEST_F(TillTest, StopClosesEveryConnectionAndDropsUnfinishedUploads)
{
    auto idle = Connect();
    EXPECT_EQ(CurrentFolder(*idle), "C:\\TILL");
    auto uploading = Connect();
    uploading->SendCommand(SendFileCommand("half.bin", 5000));
    uploading->Client().Write(std::string(10, 'x'));
    EXPECT_EQ(CurrentFolder(*idle), "C:\\TILL"); // the upload has surely begun by now

    Till().Stop();
    EXPECT_THROW(idle->ReadReply(), CSocketError);
    EXPECT_THROW(uploading->ReadReply(), CSocketError);
    EXPECT_FALSE(fs::exists(Root() / "half.bin"));
    EXPECT_TRUE(fs::is_empty(Staging()));
}

TEST_F(TillTest, LogHasALinePerCommandAndNoControlBytesFromClients)
{
    auto pc = Connect();
    Exchange(*pc, GetCurDirCommand());
    Exchange(*pc, DeleteFileCommand("evil\x1b[2J.txt"));
    Till().Stop();
    const std::string log = FLog.str();
    EXPECT_NE(log.find("GETCURDIR: C:\\TILL\n"), std::string::npos) << log;
    EXPECT_NE(log.find("DELETEFILE evil?[2J.txt: refused: File not found"), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos);
}

// The root with links of every kind: out of it, chained, cyclic, dangling, and harmless ones.
class TillJailTest : public TillTest
{
protected:
    TillJailTest()
    {
        // Windows makes links for administrators and in Developer Mode only, and the till follows none
        // there: its jail cases without links still hold.
#ifndef _WIN32
        fs::create_directory_symlink(Outside(), Root() / "toOutside");
        fs::create_symlink(Outside() / "secret.txt", Root() / "toSecret");
        fs::create_directory_symlink("../outside", Root() / "relOut");
        fs::create_symlink("chain2", Root() / "chain1");
        fs::create_symlink("toOutside", Root() / "chain2");
        fs::create_symlink("loopB", Root() / "loopA");
        fs::create_symlink("loopA", Root() / "loopB");
        fs::create_symlink("nowhere", Root() / "dangling");
        fs::create_directory_symlink("Reports", Root() / "toReports");
        fs::create_directory_symlink(Root() / "Data", Root() / "absData");
        fs::create_directory_symlink("../Reports", Root() / "Data" / "up");
        fs::create_directory_symlink("../../outside", Root() / "Data" / "deepOut");
#endif
    }
};

TEST_F(TillJailTest, ChangeDirNeverLeavesTheRoot)
{
    auto pc = Connect();
    const struct
    {
        const char* Path;
        const char* Folder; // null: refused, and the current folder stays
    } cases[] = {
        {"..\\..", nullptr},
        {"..\\..\\outside", nullptr},
        {"Sub\\..\\..\\..", nullptr},
        {"C:\\", nullptr},
        {"C:\\TILL\\..", nullptr},
        {"C:\\TILLX", nullptr},
        {"D:\\TILL", nullptr},
        {"C:TILL", nullptr},
        {"\\\\server\\TILL", nullptr},
        {"/etc", nullptr},
        {"..\\Reports", "C:\\TILL\\Reports"},
        {"Sub\\..\\..\\Reports", "C:\\TILL\\Reports"},
#ifndef _WIN32
        {"..\\toOutside", nullptr},
        {"..\\relOut", nullptr},
        {"..\\chain1", nullptr},
        {"..\\loopA", nullptr},
        {"..\\dangling", nullptr},
        {"deepOut", nullptr},
        {"..\\toReports", "C:\\TILL\\Reports"},
        {"..\\absData\\Sub", "C:\\TILL\\Data\\Sub"},
        {"up", "C:\\TILL\\Reports"},
#endif
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Path);
        ChangeDir(*pc, "C:\\TILL\\Data");
        const std::string reply = Exchange(*pc, ChangeDirCommand(test.Path));
        EXPECT_EQ(IsFailedReply(reply), test.Folder == nullptr) << reply;
        EXPECT_EQ(CurrentFolder(*pc), test.Folder != nullptr ? test.Folder : "C:\\TILL\\Data");
    }
    // Going up from the top stays there, as on any file system.
    ChangeDir(*pc, "C:\\TILL");
    EXPECT_TRUE(IsOkReply(Exchange(*pc, ChangeDirUpCommand())));
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");
}

TEST_F(TillJailTest, FileCommandsNeverReachOutside)
{
    auto pc = Connect();
    const std::string outside = TreeOf(Outside());
    const std::string root = TreeOf(Root());
    const std::string commands[] = {
        GetFileCommand("..\\outside\\secret.txt"),
        GetFileCommand("../outside/secret.txt"),
        GetFileCommand("toSecret"),
        GetFileCommand("chain1"),
        GetFileCommand("loopA"),
        DeleteFileCommand("../outside/secret.txt"),
        DeleteFolderCommand("toOutside"),
        DeleteFolderCommand(".."),
        DeleteFolderCommand("../outside/Dir"),
        MoveFileCommand("a.txt", "../outside/a.txt"),
        MoveFileCommand("../outside/secret.txt", "stolen.txt"),
        MoveFileCommand("toOutside/secret.txt", "stolen.txt"),
        NewFolderCommand("../outside/new"),
        NewFolderCommand("toOutside/new"),
    };
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const std::string reply = Exchange(*pc, command);
        EXPECT_TRUE(IsFailedReply(reply)) << reply;
    }
    const std::string gzip = GzipOf("planted");
    for (const char* name : {"../outside/planted.txt", "toOutside/planted.txt", "..\\planted.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsFailedReply(SendRaw(*pc, name, gzip)));
    }
    EXPECT_EQ(TreeOf(Outside()), outside);
    EXPECT_EQ(ReadFile(Outside() / "secret.txt"), "secret");
    EXPECT_EQ(TreeOf(Root()), root);
    EXPECT_EQ(CurrentFolder(*pc), "C:\\TILL");
}

TEST_F(TillJailTest, ALinkIsAnEntryOfItsOwnAndOnlyHarmlessOnesAreListed)
{
#ifdef _WIN32
    GTEST_SKIP() << "POSIX links: on Windows the till follows no reparse point, and Wine makes none";
#endif
    auto pc = Connect();
    // Links out, broken or cyclic could only be refused; links that stay inside show what they reach.
    EXPECT_EQ(
        ReadListing(Exchange(*pc, GetDirListCommand())),
        (CFolderRows{
            {"absData", true}, {"Data", true}, {"Reports", true}, {"toReports", true}, {"a.txt", false}}));

    // An upload over a link replaces the link; the file it pointed to is untouched.
    EXPECT_TRUE(IsOkReply(SendRaw(*pc, "toSecret", GzipOf("mine"))));
    EXPECT_FALSE(fs::is_symlink(Root() / "toSecret"));
    EXPECT_EQ(ReadFile(Root() / "toSecret"), "mine");
    EXPECT_EQ(ReadFile(Outside() / "secret.txt"), "secret");

    // Deleting a link removes the link only.
    EXPECT_TRUE(IsOkReply(Exchange(*pc, DeleteFileCommand("chain1"))));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Root() / "chain1")));
    EXPECT_TRUE(fs::is_directory(Outside()));
    EXPECT_TRUE(fs::is_symlink(Root() / "chain2"));
}

TEST_F(TillTest, DiscoveryProbeOnLoopbackIsAnsweredToItsSender)
{
    CTillServerOptions options = Options();
    options.DiscoveryPort = DefaultDiscoveryPort; // made a free port by the test till
    options.Identity = {"FRONT-1", "Main counter", "42", "7.1.3"};
    StartTill(options);
    ASSERT_NE(Till().DiscoveryPort(), NoDiscovery) << Till().Server().DiscoveryProblem();

    CSocketHandle pc(::socket(AF_INET, SOCK_DGRAM, 0));
    ASSERT_TRUE(pc.Valid());
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(pc.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    address.sin_port = htons(static_cast<std::uint16_t>(Till().DiscoveryPort()));
    const auto send = [&](const std::string& datagram) {
        ASSERT_EQ(::sendto(pc.Get(), datagram.data(), datagram.size(), 0,
                           reinterpret_cast<const sockaddr*>(&address), sizeof address),
                  static_cast<ssize_t>(datagram.size()));
    };

    std::string probe(1012, '\0');
    probe[0] = 0x0E;
    probe[1] = 0x27;
    probe[2] = static_cast<char>(0xFF);
    std::string otherHeader = probe;
    otherHeader[2] = 0;
    // Nothing but the whole probe is answered.
    send(probe.substr(0, 3));
    send(probe + "x");
    send(otherHeader);
    send(probe);

    ASSERT_EQ(WaitForSocket(pc.Get(), false, 5000), CWaitResult::Ready);
    char buffer[8192];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    const auto received =
        ::recvfrom(pc.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    ASSERT_GT(received, 0);
    EXPECT_EQ(ntohs(sender.sin_port), Till().DiscoveryPort());
    const CXMLParser reply(std::string_view(buffer, static_cast<std::size_t>(received)));
    const struct
    {
        const char* Field;
        std::string Value;
    } fields[] = {
        {"HOSTNAME", "FRONT-1"},
        {"MCNAME", "Main counter"},
        {"MCID", "42"},
        {"VERSIONSTRING", "7.1.3"},
        {"PORT", std::to_string(Till().Port())},
    };
    for (const auto& field : fields) {
        SCOPED_TRACE(field.Field);
        const CXMLNode* child = FindChild(reply.Root(), field.Field);
        ASSERT_NE(child, nullptr) << std::string(buffer, static_cast<std::size_t>(received));
        EXPECT_EQ(child->Text, field.Value);
    }
    EXPECT_EQ(WaitForSocket(pc.Get(), false, 300), CWaitResult::TimedOut) << "more than one answer";
}

} // namespace
} // namespace quorral
