// The till's command handling without sockets: paths, names, reply texts and the raw-byte hook.

#include "TillDemo.h"
#include "TillSession.h"
#include "TillTestSupport.h"

#include "link/CommandChannel.h"
#include "link/Scrambler.h"
#include "link/TillCommands.h"

#include <gtest/gtest.h>

#include <cstring>

namespace quorral {
namespace {

namespace fs = std::filesystem;
using test::CScratchFolder;
using test::ReadFile;
using test::TreeOf;
using test::WriteFile;

// Raw bytes from a string; short when the string runs out, as a client that went away.
class CStringSource : public CRawSource
{
public:
    explicit CStringSource(std::string bytes) : FBytes(std::move(bytes)) {}
    bool ReadExactly(char* destination, std::size_t size) override
    {
        const std::size_t count = std::min(size, FBytes.size() - FAt);
        std::memcpy(destination, FBytes.data() + FAt, count);
        FAt += count;
        return count == size;
    }
    std::string Rest() const { return FBytes.substr(FAt); }

private:
    std::string FBytes;
    std::size_t FAt = 0;
};

class TillSessionTest : public ::testing::Test
{
protected:
    TillSessionTest()
    {
        fs::create_directories(Root());
        fs::create_directories(Staging());
    }
    fs::path Root() const { return FScratch.Path() / "root"; }
    fs::path Staging() const { return FScratch.Path() / "staging"; }

    CTillSession& Session()
    {
        if (!FSession) {
            FSession = std::make_unique<CTillSession>(std::make_shared<const CTillJail>(Root()),
                                                      CTillLimits{DefaultMaxUpload, Staging()});
        }
        return *FSession;
    }
    // A command as the PC sends it: the marker and the scrambled text, without CR LF.
    CTillReply Handle(const std::string& command, const std::string& raw = {})
    {
        CStringSource source(raw);
        return Handle(command, source);
    }
    CTillReply Handle(const std::string& command, CStringSource& source)
    {
        std::string text = command.substr(0, command.find("\r\n"));
        ScrambleLine(text.data(), 0);
        return Session().HandleCommandLine(std::string(ScrambleMarker, ScrambleMarkerLength) + text, source);
    }

    CScratchFolder FScratch{"session"};
    std::unique_ptr<CTillSession> FSession;
};

TEST(TillPathTest, SpellingAndParsing)
{
    EXPECT_EQ(SpellTillPath({}), "C:\\TILL");
    EXPECT_EQ(SpellTillPath({"Data", "Sub"}), "C:\\TILL\\Data\\Sub");

    using CParts = std::vector<std::string>;
    const struct
    {
        const char* Text;
        bool Absolute;
        bool Outside;
        CParts Components;
    } cases[] = {
        {"C:\\TILL\\Data\\Sub", true, false, {"Data", "Sub"}},
        {"c:/till/", true, false, {}},
        {"\\TILL\\Data", true, false, {"Data"}},
        {"Data\\\\Sub/", false, false, {"Data", "Sub"}},
        {"..", false, false, {".."}},
        {"", false, false, {}},
        {"C:\\", true, true, {}},
        {"C:\\TILLX\\Data", true, true, {"TILLX", "Data"}},
        {"D:\\TILL", true, true, {"TILL"}},
        {"C:TILL", true, true, {"TILL"}},
        {"\\\\server\\TILL", true, true, {"server", "TILL"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Text);
        const CTillPathParts parts = ParseTillPath(test.Text);
        EXPECT_EQ(parts.Absolute, test.Absolute);
        EXPECT_EQ(parts.OutsideRoot, test.Outside);
        if (!test.Outside) {
            EXPECT_EQ(parts.Components, test.Components);
        }
    }
}

TEST(TillNameTest, BareNamesAndReservedNames)
{
    for (const char* name : {"a.txt", "New Folder", "R&D", ".profile", "COM10", "CONSOLE.txt", "nul-a.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsBareName(name));
    }
    for (const char* name : {"", ".", "..", "a/b", "a\\b", "/", "\\"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsBareName(name));
    }
#ifdef _WIN32
    // Devices whatever the case or extension, streams and drives, and names Windows would shorten.
    for (const char* name : {"CON", "nul.txt", "Aux.tar.gz", "com1", "LPT9.log", "CONOUT$", "a:b",
                             "C:", "...", "name.", "name "}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsBareName(name));
    }
#else
    EXPECT_TRUE(IsBareName("..."));
    EXPECT_TRUE(IsBareName("CON"));
#endif
    EXPECT_FALSE(IsBareName(std::string("a\0b", 3)));
    EXPECT_TRUE(IsReservedName(".quorral-0123456789abcdef.tmp"));
    EXPECT_FALSE(IsReservedName(".quorral-.tm"));
    EXPECT_FALSE(IsReservedName("quorral-1.tmp"));
}

TEST_F(TillSessionTest, AnyNameSurvivesTheListingAndThePcsReader)
{
    const std::string names[] = {
#ifdef _WIN32
        // Windows allows no control characters and none of <>:"/\|?* in a name.
        "R&D [draft] 'v2' final.txt",
        "a]]b&amp;",
        "semi;colon",
        "100% {odd} #name",
#else
        "R&D <draft> \"v2\" 'final'.txt",
        "tab\there",
        "line\nbreak",
        "caf\xC3\xA9.csv",
        "semi;colon",
        "a]]>b",
#endif
    };
    for (const std::string& name : names) {
        WriteFile(Root() / name, "x");
    }
    const CTillReply reply = Handle(GetDirListCommand());
    // The reply must also survive the line framing: one line, no CR LF inside.
    EXPECT_EQ(reply.Text.find_first_of("\r\n"), std::string::npos);
    CFolderRows expected;
    for (const std::string& name : names) {
        expected.push_back({name, false});
    }
    CFolderRows rows = ReadListing(reply.Text);
    std::sort(rows.begin(), rows.end(),
              [](const CFolderRow& a, const CFolderRow& b) { return a.Caption < b.Caption; });
    std::sort(expected.begin(), expected.end(),
              [](const CFolderRow& a, const CFolderRow& b) { return a.Caption < b.Caption; });
    EXPECT_EQ(rows, expected);
}

TEST_F(TillSessionTest, ScrambledAndPlainLinesAreTheSameCommand)
{
    fs::create_directories(Root() / "Data");
    CStringSource none("");
    EXPECT_EQ(Session().HandleCommandLine("<CHANGEDIR PATH=\"Data\"/>", none).Text, OkReplyText);
    EXPECT_EQ(Handle(GetCurDirCommand()).Text, "<CURDIR>C:\\TILL\\Data</CURDIR>");
    // The reply line the PC unscrambles back to the same text.
    std::string line = ReplyLine("<CURDIR>C:\\TILL</CURDIR>", true);
    ASSERT_EQ(line.substr(line.size() - 2), "\r\n");
    line.resize(line.size() - 2);
    UnscrambleLine(line.data() + ScrambleMarkerLength, 0);
    EXPECT_EQ(line.substr(ScrambleMarkerLength), "<CURDIR>C:\\TILL</CURDIR>");
    EXPECT_EQ(ReplyLine("<A/>", false), "<A/>\r\n");
}

TEST_F(TillSessionTest, NameCutShortByTheReaderNeverReachesItsNamesake)
{
    // The reader keeps 100 bytes of a value; acting on the cut name would hit this file.
    const std::string kept(100, 'n');
    WriteFile(Root() / kept, "keep me");
    const std::string sent = kept + "-and-more.txt";
    for (const std::string& command : {DeleteFileCommand(sent), GetFileCommand(sent),
                                       MoveFileCommand(sent, "x"), DeleteFolderCommand(sent)}) {
        SCOPED_TRACE(command.substr(0, 12));
        EXPECT_TRUE(Handle(command).Refused);
    }
    EXPECT_EQ(ReadFile(Root() / kept), "keep me");
    EXPECT_FALSE(fs::exists(Root() / "x"));
}

TEST_F(TillSessionTest, RefusedUploadStillTakesExactlyItsBytes)
{
    WriteFile(Root() / "Data" / "keep.txt", "k");
    for (const char* name : {"Data", "../up.txt", ".quorral-0000000000000000.tmp"}) {
        SCOPED_TRACE(name);
        CStringSource source(std::string(700, 'z') + "NEXT");
        const CTillReply reply = Handle(SendFileCommand(name, 700), source);
        EXPECT_TRUE(reply.Refused);
        EXPECT_FALSE(reply.Close);
        EXPECT_EQ(source.Rest(), "NEXT");
    }
    // A source that runs dry is a client gone: dropped, with nothing stored.
    CStringSource shortSource(std::string(10, 'z'));
    const CTillReply dropped = Handle(SendFileCommand("short.txt", 700), shortSource);
    EXPECT_TRUE(dropped.Close);
    EXPECT_TRUE(dropped.Text.empty());
    EXPECT_EQ(TreeOf(Root()), "Data/\nData/keep.txt\n");
    EXPECT_TRUE(fs::is_empty(Staging()));
}

TEST_F(TillSessionTest, StagingFilesOfTheCodecAreNeitherListedNorTouched)
{
    const std::string staged = ".quorral-0123456789abcdef.tmp";
    WriteFile(Root() / staged, "half an upload");
    WriteFile(Root() / "a.txt", "a");
    EXPECT_EQ(ReadListing(Handle(GetDirListCommand()).Text), (CFolderRows{{"a.txt", false}}));
    for (const std::string& command : {GetFileCommand(staged), DeleteFileCommand(staged),
                                       MoveFileCommand(staged, "b"), MoveFileCommand("a.txt", staged)}) {
        SCOPED_TRACE(command);
        EXPECT_TRUE(Handle(command).Refused);
    }
    EXPECT_EQ(ReadFile(Root() / staged), "half an upload");
    EXPECT_EQ(ReadFile(Root() / "a.txt"), "a");
}

TEST_F(TillSessionTest, CurrentFolderSwappedForALinkIsNoWayOut)
{
    fs::create_directories(Root() / "Data");
    const fs::path outside = FScratch.Path() / "outside";
    WriteFile(outside / "victim.txt", "still here");
    EXPECT_EQ(Handle(ChangeDirCommand("Data")).Text, OkReplyText);
    // Someone with access to the served folder replaces it behind the client's back.
    fs::rename(Root() / "Data", Root() / "Old");
    if (!test::MakeFolderLink(outside, Root() / "Data")) {
        GTEST_SKIP() << "this system lets the test make no symbolic links";
    }

    for (const std::string& command :
         {GetDirListCommand(), GetFileCommand("victim.txt"), DeleteFileCommand("victim.txt"),
          MoveFileCommand("victim.txt", "v"), NewFolderCommand("planted"), ChangeDirCommand(".")}) {
        SCOPED_TRACE(command);
        EXPECT_TRUE(Handle(command).Refused);
    }
    CStringSource source("0123456789");
    EXPECT_TRUE(Handle(SendFileCommand("planted.txt", 10), source).Refused);
    EXPECT_EQ(TreeOf(outside), "victim.txt\n");
    EXPECT_EQ(ReadFile(outside / "victim.txt"), "still here");
    // The way back up still works.
    EXPECT_EQ(Handle(ChangeDirUpCommand()).Text, OkReplyText);
    EXPECT_EQ(Handle(GetCurDirCommand()).Text, "<CURDIR>C:\\TILL</CURDIR>");
}

TEST_F(TillSessionTest, HostileLinesAreRefusedWithoutHarm)
{
    WriteFile(Root() / "a.txt", "a");
    const std::string before = TreeOf(Root());
    const std::string lines[] = {
        std::string(ScrambleMarker, ScrambleMarkerLength),
        std::string("<DELETEFILE\0 filename=\"a.txt\"/>", 31),
        "<<<<<<<<",
        "</GETDIRLIST>",
        "<!DOCTYPE x [<!ENTITY a \"&a;&a;\">]><DELETEFILE filename=\"&a;\"/>",
        std::string(5000, '<') + "DELETEFILE/>",
        "<MOVEFILE from=\"a.txt\"/>",
        "<NEWFOLDER path=''/>",
        "<CHANGEDIR PATH=\"" + std::string(99, '\\') + "\"/>",
        "\xFF\xFE<GETFILE FILENAME=\"\x01\x02\"/>",
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line.substr(0, 40));
        CStringSource none("");
        const CTillReply reply = Session().HandleCommandLine(line, none);
        EXPECT_TRUE(reply.Refused) << reply.Text;
        EXPECT_TRUE(IsFailedReply(reply.Text)) << reply.Text;
    }
    EXPECT_EQ(TreeOf(Root()), before);
    EXPECT_EQ(Handle(GetCurDirCommand()).Text, "<CURDIR>C:\\TILL</CURDIR>");
}

TEST(TillDemoTest, FillsAnEmptyFolderOnlyOnce)
{
    CScratchFolder scratch("demo");
    const fs::path demo = scratch.Path() / "demo-till";
    EXPECT_TRUE(FillDemoFolder(demo));
    for (const char* folder : {"Data", "Prices", "Reports"}) {
        SCOPED_TRACE(folder);
        EXPECT_TRUE(fs::is_directory(demo / folder));
        EXPECT_FALSE(fs::is_empty(demo / folder));
    }
    const std::string filled = TreeOf(demo);
    fs::remove(demo / "Readme.txt");
    WriteFile(demo / "Data" / "Items.csv", "edited");
    EXPECT_FALSE(FillDemoFolder(demo));
    EXPECT_FALSE(fs::exists(demo / "Readme.txt"));
    EXPECT_EQ(ReadFile(demo / "Data" / "Items.csv"), "edited");
    EXPECT_NE(TreeOf(demo), filled);
}

} // namespace
} // namespace quorral
