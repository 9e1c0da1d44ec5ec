#include "ConnectedWindow.h"

#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace fs = std::filesystem;

namespace quorral {
namespace {

using test::CFakeTillSession;
using test::CScriptedDialogs;
using FileOperationTest = test::CConnectedWindowTest;

void ExpectRefresh(CFakeTillSession& till, const std::string& listing)
{
    till.ExpectCommand("<GETCURDIR/>\r\n");
    till.SendReply(test::CurDirReply);
    till.ExpectCommand("<GETDIRLIST/>\r\n");
    till.SendReply(listing);
}

// The in-place editor of a list, when one is open.
QLineEdit* Editor(QTreeView* list)
{
    QLineEdit* editor = list->viewport()->findChild<QLineEdit*>();
    return editor != nullptr && editor->isVisible() ? editor : nullptr;
}

QStringList VisibleEntries(QMenu* menu)
{
    emit menu->aboutToShow();
    QStringList visible;
    for (const QAction* action : menu->actions()) {
        if (action->isVisible()) {
            visible << action->text();
        }
    }
    return visible;
}

TEST_F(FileOperationTest, PopupShowsTheEntryThatFitsTheSelectedRow)
{
    Connect();
    EXPECT_EQ(VisibleEntries(FWindow.Remote_RightClickMenu), QStringList({"Refresh", "New Folder"}));
    Select("RemoteDirList", "a.txt");
    EXPECT_EQ(VisibleEntries(FWindow.Remote_RightClickMenu),
              QStringList({"Transfer", "Refresh", "New Folder"}));
    Select("RemoteDirList", "Data");
    EXPECT_EQ(VisibleEntries(FWindow.Remote_RightClickMenu),
              QStringList({"Open Folder", "Refresh", "New Folder"}));
    Select("LocalDirList", "Sub");
    EXPECT_EQ(VisibleEntries(FWindow.Local_RightClickMenu),
              QStringList({"Open folder", "Refresh", "New Folder"}));
    Select("LocalDirList", "note.txt");
    EXPECT_EQ(VisibleEntries(FWindow.Local_RightClickMenu),
              QStringList({"Transfer", "Refresh", "New Folder"}));
}

TEST_F(FileOperationTest, RemoteDeleteAsksThenSendsAndDropsTheRowEvenWhenRefused)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<DELETEFILE filename=\"a.txt\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        till.ExpectCommand("<DELETEFOLDER path=\"Data\"/>\r\n");
        till.SendReply("<FAILEDERROR>Folder Data is not empty</FAILEDERROR>");
        ExpectRefresh(till, "<DIR/>");
    });
    auto* list = Get<QTreeView>("RemoteDirList");
    Select("RemoteDirList", "b.txt");
    FDialogs.Answer(QMessageBox::No);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"Data+", "b.txt", "a.txt"}));

    Select("RemoteDirList", "a.txt");
    QTest::keyClick(list, Qt::Key_Delete);
    Select("RemoteDirList", "Data");
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"b.txt"}));
    ASSERT_EQ(FDialogs.Shown().size(), 4u);
    EXPECT_EQ(FDialogs.Shown()[0].Title, "Delete file");
    EXPECT_EQ(FDialogs.Shown()[0].Text, "Delete\n\nb.txt\n\nAre you sure?");
    EXPECT_EQ(FDialogs.Shown()[2].Title, "Delete folder");
    EXPECT_EQ(FDialogs.Shown()[3].Kind, CScriptedDialogs::CKind::Failure);
    EXPECT_EQ(FDialogs.Shown()[3].Text, "Folder Data is not empty");
    FWindow.Refresh1->trigger(); // nothing else reached the till before this
}

TEST_F(FileOperationTest, LocalDeleteRemovesFilesAndWholeFolders)
{
    std::ofstream(FWork / "Sub" / ".config") << "x";
    fs::create_directories(FWork / "Sub" / "deeper");
    Connect();
    auto* list = Get<QTreeView>("LocalDirList");
    Select("LocalDirList", "note.txt");
    QTest::keyClick(list, Qt::Key_Delete);
    Select("LocalDirList", "Sub");
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_FALSE(fs::exists(FWork / "note.txt"));
    EXPECT_FALSE(fs::exists(FWork / "Sub"));
    EXPECT_TRUE(Captions("LocalDirList").isEmpty());
    EXPECT_EQ(FDialogs.Shown()[1].Title, "Delete folder");
}

TEST_F(FileOperationTest, KeysNeedAConnectionAndASelectedRow)
{
    Connect();
    auto* list = Get<QTreeView>("LocalDirList");
    QTest::keyClick(list, Qt::Key_F5); // no selection: not even a refresh
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(FDialogs.Shown().empty());
    FWindow.show();
    Select("LocalDirList", "note.txt");
    QTest::keyClick(list, Qt::Key_F2);
    ASSERT_NE(Editor(list), nullptr) << "F2 edits while connected";
    QTest::keyClick(Editor(list), Qt::Key_Escape);
    FWindow.DisconnectFromTill();
    QTest::mouseClick(Get<QToolButton>("LocalUpButton"), Qt::LeftButton); // rows, without a connection
    Select("LocalDirList", "note.txt");
    QTest::keyClick(list, Qt::Key_Delete);
    QTest::keyClick(list, Qt::Key_F2);
    EXPECT_TRUE(FDialogs.Shown().empty());
    EXPECT_TRUE(fs::exists(FWork / "note.txt"));
    EXPECT_EQ(Editor(list), nullptr) << "no edit started";
}

TEST_F(FileOperationTest, RenamingSendsBareNamesEvenWhenUnchanged)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<MOVEFILE from=\"a.txt\" to=\"b2.txt\"/>\r\n");
        till.SendReply("<FAILEDERROR>b2.txt exists</FAILEDERROR>");
        till.ExpectCommand("<MOVEFILE from=\"Data\" to=\"Data\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
    });
    auto* list = Get<QTreeView>("RemoteDirList");
    const auto rename = [&](const char* from, const char* to) {
        Select("RemoteDirList", from);
        list->model()->setData(list->currentIndex(), QString::fromLatin1(to));
    };
    rename("a.txt", "b2.txt");
    rename("Data", "Data");
    rename("b.txt", "quote\"d");
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"Data+", "quote\"d", "b2.txt"}));
    EXPECT_EQ(FDialogs.Texts(),
              QStringList({"b2.txt exists", "This name cannot be sent to the till:\n\nquote\"d"}));
}

TEST_F(FileOperationTest, LocalRenameWorksWithoutAConnectionButNeverReplaces)
{
    std::ofstream(FWork / "other.txt") << "other";
    auto* list = Get<QTreeView>("LocalDirList");
    QTest::mouseClick(Get<QToolButton>("LocalUpButton"), Qt::LeftButton); // lists the working folder
    Select("LocalDirList", "note.txt");
    list->model()->setData(list->currentIndex(), QStringLiteral("renamed.txt"));
    EXPECT_TRUE(fs::exists(FWork / "renamed.txt"));
    EXPECT_FALSE(fs::exists(FWork / "note.txt"));
    Select("LocalDirList", "renamed.txt");
    list->model()->setData(list->currentIndex(), QStringLiteral("other.txt"));
    EXPECT_TRUE(fs::exists(FWork / "renamed.txt")) << "a taken name is not replaced";
    EXPECT_EQ(fs::file_size(FWork / "other.txt"), 5u);
    EXPECT_EQ(Captions("LocalDirList").count("other.txt"), 2) << "the row shows the new text all the same";
}

TEST_F(FileOperationTest, DotRowsCannotBeEdited)
{
    Connect({}, "<DIR><FILE><NAME>..</NAME></FILE><FILE><NAME>x</NAME></FILE></DIR>");
    const QAbstractItemModel* model = Get<QTreeView>("RemoteDirList")->model();
    EXPECT_FALSE(model->flags(model->index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(model->flags(model->index(1, 0)).testFlag(Qt::ItemIsEditable));
}

TEST_F(FileOperationTest, NewRemoteFolderTakesTheFirstFreeNameAndStartsEditing)
{
    Connect(
        [](CFakeTillSession& till) {
            till.ExpectCommand("<NEWFOLDER path=\"New Folder 2\"/>\r\n");
            till.SendReply("<RESPONSE>OK</RESPONSE>");
            ExpectRefresh(till,
                          "<DIR><FOLDER><NAME>New Folder</NAME></FOLDER><FOLDER><NAME>New Folder 2</NAME>"
                          "</FOLDER><FOLDER><NAME>New Folder 3</NAME></FOLDER></DIR>");
            till.ExpectCommand("<NEWFOLDER path=\"New Folder 4\"/>\r\n");
            till.SendReply("<FAILEDERROR>Read-only medium</FAILEDERROR>");
        },
        "<DIR><FOLDER><NAME>New Folder</NAME></FOLDER><FOLDER><NAME>New Folder 3</NAME></FOLDER></DIR>");
    FWindow.show();
    FWindow.NewFolder1->trigger();
    auto* list = Get<QTreeView>("RemoteDirList");
    EXPECT_EQ(list->currentIndex().data().toString(), "New Folder 2");
    ASSERT_NE(Editor(list), nullptr);
    QTest::keyClick(Editor(list), Qt::Key_Escape);
    FWindow.NewFolder1->trigger();
    EXPECT_EQ(FDialogs.Texts(), QStringList({"Read-only medium"}));
    EXPECT_EQ(Captions("RemoteDirList").size(), 3) << "no refresh after a refusal";
}

TEST_F(FileOperationTest, NewLocalFolderIsCreatedAndItsRowEdited)
{
    fs::create_directory(FWork / "new folder");
    Connect();
    FWindow.show();
    FWindow.MenuItem2->trigger();
    EXPECT_TRUE(fs::is_directory(FWork / "New Folder 2"));
    auto* list = Get<QTreeView>("LocalDirList");
    EXPECT_EQ(list->currentIndex().data().toString(), "New Folder 2");
    EXPECT_NE(Editor(list), nullptr);
}

} // namespace
} // namespace quorral
