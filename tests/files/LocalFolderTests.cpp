#include "files/FolderRow.h"
#include "files/LocalFolder.h"
#include "files/LocalPath.h"

#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace quorral {
namespace {

std::string Native(std::string path)
{
    for (char& c : path) {
        if (c == '/') {
            c = NativeSeparator;
        }
    }
    return path;
}

TEST(LocalPathUp, CutsTheLastComponentButNeverTheRoot)
{
    const std::pair<std::string, std::string> cases[] = {
#ifdef _WIN32
        {"C:/Data/Sub/", "C:/Data/"},
        {"C:/Data/", "C:/"},
        {"C:/Data", "C:/"},
        {"C:/", "C:/"},
        {"//server/share/", "//server/"},
        {"//server/", "//server/"},
#else
        {"/home/data/sub/", "/home/data/"},
        {"/home/data", "/home/"},
        {"/home/", "/"},
        {"/", "/"},
        {"relative/sub/", "relative/"},
#endif
        {"", ""},
    };
    for (const auto& [path, up] : cases) {
        EXPECT_EQ(LocalPathUp(Native(path)), Native(up)) << path;
    }
}

TEST(EnsureTrailingSeparator, AddsOneSeparatorToAnyNonEmptyPath)
{
    EXPECT_EQ(EnsureTrailingSeparator(Native("/a/b")), Native("/a/b/"));
    EXPECT_EQ(EnsureTrailingSeparator(Native("/a/b/")), Native("/a/b/"));
    EXPECT_EQ(EnsureTrailingSeparator(""), "");
}

TEST(CurrentFolderWithSeparator, IsTheWorkingFolderInTheNativeSpellingWithOneSeparatorAtItsEnd)
{
    const std::string folder = CurrentFolderWithSeparator();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), NativeSeparator);
    EXPECT_EQ(fs::path(folder), fs::current_path() / "");
#ifdef _WIN32
    EXPECT_EQ(folder.find('/'), std::string::npos) << folder;
#endif
}

class LocalFolderTest : public ::testing::Test
{
protected:
    void File(const std::string& name) { std::ofstream(FRoot / name) << "x"; }

    test::CScratchFolder FScratch{"local"};
    const fs::path& FRoot = FScratch.Path();
};

TEST_F(LocalFolderTest, FoldersComeFirstThenFilesAndHiddenEntriesAreListed)
{
    File("b.txt");
    fs::create_directory(FRoot / "Data");
    File(".hidden");
    fs::create_directory(FRoot / ".config");
    File("a.txt");
    const CFolderRows rows = ListLocalFolder(EnsureTrailingSeparator(FRoot.string()));
    ASSERT_EQ(rows.size(), 5u);
    std::size_t folders = 0;
    while (folders < rows.size() && rows[folders].IsFolder) {
        ++folders;
    }
    EXPECT_EQ(folders, 2u);
    for (std::size_t i = folders; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].IsFolder) << rows[i].Caption;
    }
    for (const char* name : {"Data", ".config"}) {
        EXPECT_GE(FindRowByCaption(rows, name), 0) << name;
        EXPECT_LT(FindRowByCaption(rows, name), 2) << name;
    }
    for (const char* name : {"a.txt", "b.txt", ".hidden"}) {
        EXPECT_GE(FindRowByCaption(rows, name), 2) << name;
    }
}

TEST_F(LocalFolderTest, MissingFolderGivesNoRows)
{
    EXPECT_TRUE(ListLocalFolder((FRoot / "missing").string()).empty());
    EXPECT_TRUE(ListLocalFolder(EnsureTrailingSeparator(FRoot.string())).empty());
}

TEST(FolderRows, LookupMatchesWholeCaptionsWithoutRegardToCase)
{
    const CFolderRows rows = {{"REPORT", true}, {"report.txt", false}, {"New Folder", false}};
    EXPECT_EQ(FindRowByCaption(rows, "report"), 0);
    EXPECT_EQ(FindRowByCaption(rows, "Report.TXT"), 1);
    EXPECT_EQ(FindRowByCaption(rows, "new folder"), 2);
    EXPECT_EQ(FindRowByCaption(rows, "New"), -1);
    EXPECT_EQ(FindRowByCaption(rows, "report.tx"), -1);
    EXPECT_EQ(FindRowByCaption({}, "x"), -1);
}

} // namespace
} // namespace quorral
