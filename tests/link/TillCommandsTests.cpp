#include "link/TillCommands.h"

#include <gtest/gtest.h>

namespace quorral {
namespace {

TEST(TillCommands, EachCommandIsExactlyItsLine)
{
    const std::pair<std::string, std::string> cases[] = {
        {GetCurDirCommand(), "<GETCURDIR/>\r\n"},
        {GetDirListCommand(), "<GETDIRLIST/>\r\n"},
        {ChangeDirCommand("System"), "<CHANGEDIR PATH=\"System\"/>\r\n"},
        {ChangeDirCommand(""), "<CHANGEDIR PATH=\"\"/>\r\n"},
        {ChangeDirUpCommand(), "<CHANGEDIR PATH=\"..\"/>\r\n"},
        {GetFileCommand("a.txt"), "<GETFILE FILENAME=\"a.txt\" compression=\"gz\"/>\r\n"},
        {SendFileCommand("data.csv", 1234),
         "<SENDFILE filename=\"data.csv\" size=\"1234\" compression=\"gz\"/>\r\n"},
        {DeleteFileCommand("x"), "<DELETEFILE filename=\"x\"/>\r\n"},
        {DeleteFolderCommand("Data"), "<DELETEFOLDER path=\"Data\"/>\r\n"},
        {MoveFileCommand("old.txt", "new.txt"), "<MOVEFILE from=\"old.txt\" to=\"new.txt\"/>\r\n"},
        {NewFolderCommand("New Folder 2"), "<NEWFOLDER path=\"New Folder 2\"/>\r\n"},
        {DeleteFileCommand("a&b<c>.txt"), "<DELETEFILE filename=\"a&b<c>.txt\"/>\r\n"}, // sent unescaped
    };
    for (const auto& [built, expected] : cases) {
        EXPECT_EQ(built, expected);
    }
    EXPECT_EQ(SendFileCommand("", 7).size(), 50u + 1) << "fixed text of 50 characters and one digit";
}

TEST(TillCommands, ValuesThatWouldBreakTheLineAreUnsafe)
{
    EXPECT_TRUE(IsSafeCommandValue("report 2024 & <final>.txt"));
    EXPECT_TRUE(IsSafeCommandValue(""));
    for (const std::string& bad :
         {std::string("a\"b"), std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(IsSafeCommandValue(bad)) << bad;
    }
}

TEST(TillReplies, FailureReplyIsRecognisedInAnyCaseButNeverBelowTwelveCharacters)
{
    struct Case
    {
        std::string reply;
        bool failed;
        std::string text;
    };
    const Case cases[] = {
        {"<FAILEDERROR>No such folder</FAILEDERROR>", true, "No such folder"},
        {"\x01"
         "EC<failederror>lower case</failederror>",
         true, "lower case"},
        {"<FAILEDERROR", true, ""},
        {"<FAILEDERRO", false, ""},
        {"junk before <FailedError>x</FailedError>", true, "x"},
        {"<R><FAILEDERROR>nested</FAILEDERROR></R>", true, ""},
        {"<RESPONSE>OK</RESPONSE>", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(IsFailedReply(c.reply), c.failed);
        if (c.failed) {
            EXPECT_EQ(FailedReplyText(c.reply), c.text);
        }
    }
}

TEST(TillReplies, OkReplyInAnyCase)
{
    EXPECT_TRUE(IsOkReply("<RESPONSE>OK</RESPONSE>"));
    EXPECT_TRUE(IsOkReply("\x01"
                          "EC<response>ok</response>"));
    EXPECT_FALSE(IsOkReply("<RESPONSE>FAILED</RESPONSE>"));
    EXPECT_FALSE(IsOkReply(""));
}

TEST(TillReplies, CurrentFolderIsTheRootText)
{
    EXPECT_EQ(ReadCurrentFolder("\x01"
                                "EC<CURDIR>C:\\TILL\\Data</CURDIR>"),
              "C:\\TILL\\Data");
    EXPECT_EQ(ReadCurrentFolder(""), "");
}

TEST(TillReplies, ListingGivesFoldersFirstAndDropsDotFoldersOnly)
{
    const std::string reply =
        "<DIR attr=\"x\"><FILE><NAME>b.txt</NAME></FILE><FOLDER><NAME>Data</NAME></FOLDER>"
        "<FOLDER><NAME>.</NAME></FOLDER><OTHER><NAME>skip</NAME></OTHER>"
        "<FILE><NAME>a.txt</NAME><SIZE>3</SIZE></FILE><FOLDER><NAME>..</NAME></FOLDER>"
        "<FOLDER><X><FOLDER><NAME>deep</NAME></FOLDER></X></FOLDER>"
        "<file><name>..</name></file></DIR>";
    const CFolderRows expected = {
        {"Data", true}, {"", true}, {"b.txt", false}, {"a.txt", false}, {"..", false},
    };
    EXPECT_EQ(ReadListing(reply), expected);
    EXPECT_TRUE(ReadListing("").empty());
}

TEST(TillReplies, FileReplySizeOnlyForAFileRootWithAPositiveSize)
{
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {"<FILE size=\"120\" compression=\"gz\"/>", 120},
        {"<file SIZE=\"7\"/>", 7},
        {"<FILE size=\"0\"/>", std::nullopt},
        {"<FILE/>", std::nullopt},
        {"<FILE size=\"-5\"/>", std::nullopt},
        {"<FILES size=\"5\"/>", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [reply, size] : cases) {
        EXPECT_EQ(ReadFileReplySize(reply), size) << reply;
    }
}

} // namespace
} // namespace quorral
