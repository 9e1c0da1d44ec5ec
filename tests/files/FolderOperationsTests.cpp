#include "files/FileNames.h"
#include "files/FolderOperations.h"

#include "ScratchFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace quorral {
namespace {

// A symbolic link to a folder or a file. False where links cannot be made: Windows grants them to
// administrators and in Developer Mode only, and Wine makes none.
bool MakeLink(const fs::path& target, const fs::path& link, bool toFolder)
{
#ifdef _WIN32
    const DWORD flags =
        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE | (toFolder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), flags)) {
        return false;
    }
    // Wine reports success without making anything.
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    if (toFolder) {
        fs::create_directory_symlink(target, link);
    } else {
        fs::create_symlink(target, link);
    }
    return true;
#endif
}

constexpr const char* NoLinksHere = "this system lets the test make no symbolic links";

TEST(NewFolderName, FirstFreeNameNeverNumberOne)
{
    struct Case
    {
        CFolderRows rows;
        std::string name;
    };
    const Case cases[] = {
        {{}, "New Folder"},
        {{{"New Folder", true}, {"New Folder 3", true}}, "New Folder 2"},
        {{{"New Folder", true}, {"New Folder 2", true}}, "New Folder 3"},
        {{{"new folder", false}}, "New Folder 2"},
        {{{"New Folder (old)", true}, {"New Folder 1", true}}, "New Folder"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NewFolderName(c.rows), c.name);
    }
}

TEST(PlainFileName, OnlyNamesThatStayInTheirFolder)
{
    for (const char* good : {"a.txt", "report 2024.csv", ".hidden", "...", "a..b"}) {
        EXPECT_TRUE(IsPlainFileName(good)) << good;
    }
    const std::string bad[] = {"", ".", "..", "../x", "a/b", "a\\b", "/etc/passwd", std::string("a\0b", 3)};
    for (const std::string& name : bad) {
        EXPECT_FALSE(IsPlainFileName(name)) << name;
    }
#ifdef _WIN32
    for (const char* bad : {"CON", "nul.txt", "com1", "LPT9.log", "C:x"}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    }
#endif
}

class FolderOperationsTest : public ::testing::Test
{
protected:
    void File(const fs::path& path, const std::string& text = "x")
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
    }

    test::CScratchFolder FScratch{"ops"};
    const fs::path& FRoot = FScratch.Path();
};

TEST_F(FolderOperationsTest, DeleteTreeRemovesEverythingButNeverFollowsALink)
{
    const fs::path victim = FRoot / "victim";
    const fs::path outside = FRoot / "outside";
    File(outside / "keep.txt", "keep");
    File(victim / "a.txt");
    File(victim / ".config");
    File(victim / "sub" / "deeper" / "b.txt");
    if (!MakeLink(outside, victim / "link-to-folder", true) ||
        !MakeLink(outside / "keep.txt", victim / "sub" / "link-to-file", false) ||
        !MakeLink(FRoot / "nowhere", victim / "dangling", false)) {
        GTEST_SKIP() << NoLinksHere;
    }

    EXPECT_TRUE(DeleteLocalFolderTree((victim / "").string())) << "a trailing separator names the folder";
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    EXPECT_EQ(fs::file_size(outside / "keep.txt"), 4u);
}

TEST_F(FolderOperationsTest, DeleteTreeOfALinkRemovesOnlyTheLink)
{
    File(FRoot / "target" / "keep.txt");
    if (!MakeLink(FRoot / "target", FRoot / "link", true)) {
        GTEST_SKIP() << NoLinksHere;
    }
    EXPECT_TRUE(DeleteLocalFolderTree((FRoot / "link").string()));
    EXPECT_FALSE(fs::exists(fs::symlink_status(FRoot / "link")));
    EXPECT_TRUE(fs::exists(FRoot / "target" / "keep.txt"));
}

TEST_F(FolderOperationsTest, DeleteTreeRefusesWhatIsNoFolder)
{
    File(FRoot / "plain.txt");
    EXPECT_FALSE(DeleteLocalFolderTree((FRoot / "plain.txt").string()));
    EXPECT_TRUE(fs::exists(FRoot / "plain.txt"));
    EXPECT_FALSE(DeleteLocalFolderTree((FRoot / "missing").string()));
    EXPECT_FALSE(DeleteLocalFolderTree(""));
}

TEST_F(FolderOperationsTest, RenameNeverReplacesAnExistingEntry)
{
    File(FRoot / "a.txt", "a");
    File(FRoot / "b.txt", "b");
    EXPECT_FALSE(RenameLocalEntry((FRoot / "a.txt").string(), (FRoot / "b.txt").string()));
    EXPECT_EQ(fs::file_size(FRoot / "b.txt"), 1u);
    EXPECT_TRUE(fs::exists(FRoot / "a.txt"));
    EXPECT_TRUE(RenameLocalEntry((FRoot / "a.txt").string(), (FRoot / "c.txt").string()));
    EXPECT_TRUE(fs::exists(FRoot / "c.txt"));
    EXPECT_FALSE(fs::exists(FRoot / "a.txt"));
    EXPECT_TRUE(RenameLocalEntry((FRoot / "c.txt").string(), (FRoot / "c.txt").string()));
    EXPECT_TRUE(fs::exists(FRoot / "c.txt"));
}

} // namespace
} // namespace quorral
