#include "ConnectedWindow.h"
#include "files/LocalFolder.h"
#include "files/LocalPath.h"
#include "main/Main.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace quorral {
namespace {

using namespace std::chrono_literals;
using test::CFakeTill;
using test::CFakeTillSession;
using test::CScriptedDialogs;

using PanelTest = test::CConnectedWindowTest;
using test::CurDirReply;

TEST_F(PanelTest, ConnectFillsBothPanels)
{
    Connect();
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "C:\\TILL");
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"Data+", "b.txt", "a.txt"}));
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text().toStdString(), EnsureTrailingSeparator(FWork.string()));
    EXPECT_EQ(Captions("LocalDirList"), QStringList({"Sub+", "note.txt"}));
    EXPECT_TRUE(Get<QTreeView>("RemoteDirList")->isEnabled());
    EXPECT_TRUE(Get<QTreeView>("LocalDirList")->isEnabled());
    EXPECT_TRUE(FDialogs.Texts().isEmpty());
}

TEST_F(PanelTest, OpeningARemoteFolderChangesDirectoryAndRefreshes)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<CHANGEDIR PATH=\"Data\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>C:\\TILL\\Data</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR><FILE><NAME>inside.csv</NAME></FILE></DIR>");
    });
    FWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&FWindow));
    Select("RemoteDirList", "Data");
    auto* view = Get<QTreeView>("RemoteDirList");
    const QPoint row = view->visualRect(view->currentIndex()).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, row);
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "C:\\TILL\\Data");
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"inside.csv"}));
}

TEST_F(PanelTest, RemoteUpAndRefreshSendTheirCommands)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<CHANGEDIR PATH=\"..\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>C:\\</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR/>");
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>C:\\</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR><FOLDER><NAME>TILL</NAME></FOLDER></DIR>");
    });
    QTest::mouseClick(Get<QToolButton>("RemoteUpButton"), Qt::LeftButton);
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "C:\\");
    EXPECT_TRUE(Captions("RemoteDirList").isEmpty());
    FWindow.Refresh1->trigger();
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"TILL+"}));
}

TEST_F(PanelTest, FailureToGetTheFolderStopsTheRefresh)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<FAILEDERROR>Drive not ready</FAILEDERROR>");
        // The listing is not asked for: the next command is the next refresh.
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>D:\\</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<FAILEDERROR>Cannot list D:\\</FAILEDERROR>");
    });
    FWindow.Refresh1->trigger();
    ASSERT_EQ(FDialogs.Shown().size(), 1u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Failure);
    EXPECT_EQ(FDialogs.Shown()[0].Text, "Drive not ready");
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "C:\\TILL");

    FWindow.Refresh1->trigger();
    EXPECT_EQ(FDialogs.Texts(), QStringList({"Drive not ready", "Cannot list D:\\"}));
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "D:\\") << "the new folder is shown";
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"Data+", "b.txt", "a.txt"})) << "over the old rows";
    EXPECT_TRUE(Get<QTreeView>("RemoteDirList")->isEnabled());
}

TEST_F(PanelTest, MissingRepliesEmptyTheFieldAndTheList)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
    });
    FWindow.Refresh1->trigger();
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "");
    EXPECT_TRUE(Captions("RemoteDirList").isEmpty());
    EXPECT_TRUE(FDialogs.Texts().isEmpty());
}

TEST_F(PanelTest, EnterInTheRemotePathAndThenLeavingItChangeFolderTwice)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<CHANGEDIR PATH=\"C:\\TILL\\Data\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>C:\\TILL\\Data</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR/>");
        // Leaving the field sends what it now holds: the folder the till reported.
        till.ExpectCommand("<CHANGEDIR PATH=\"C:\\TILL\\Data\"/>\r\n");
        till.SendReply("<RESPONSE>OK</RESPONSE>");
        till.ExpectCommand("<GETCURDIR/>\r\n");
        till.SendReply("<CURDIR>C:\\TILL\\Data</CURDIR>");
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR><FILE><NAME>x</NAME></FILE></DIR>");
    });
    FWindow.show();
    FWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&FWindow));
    auto* path = Get<QLineEdit>("RemotePath");
    path->setFocus();
    path->setText("C:\\TILL\\Data");
    PressEnter("RemotePath");
    EXPECT_EQ(path->text(), "C:\\TILL\\Data");
    EXPECT_TRUE(Captions("RemoteDirList").isEmpty());
    Get<QTreeView>("RemoteDirList")->setFocus();
    EXPECT_EQ(Captions("RemoteDirList"), QStringList({"x"}));
}

TEST_F(PanelTest, UnsafeNamesAreRefusedAndNothingIsSent)
{
    Connect([](CFakeTillSession& till) {
        till.ExpectCommand("<GETCURDIR/>\r\n"); // the refresh after the refusals, nothing before it
        till.SendReply(CurDirReply);
        till.ExpectCommand("<GETDIRLIST/>\r\n");
        till.SendReply("<DIR><FOLDER><NAME>a&quot;b</NAME></FOLDER></DIR>");
    });
    FWindow.Refresh1->trigger();
    Select("RemoteDirList", "a\"b");
    FWindow.OpenFolder2->trigger();
    Get<QLineEdit>("RemotePath")->setText("C:\\\"x\"");
    PressEnter("RemotePath");
    EXPECT_EQ(FDialogs.Texts(), QStringList({"This name cannot be sent to the till:\n\na\"b",
                                             "This name cannot be sent to the till:\n\nC:\\\"x\""}));
}

TEST_F(PanelTest, LocalNavigationOpensFoldersAndGoesUp)
{
    Connect();
    Select("LocalDirList", "Sub");
    FWindow.Openfolder1->trigger();
    const std::string sub = EnsureTrailingSeparator((FWork / "Sub").string());
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text().toStdString(), sub);
    EXPECT_TRUE(Captions("LocalDirList").isEmpty());

    QTest::mouseClick(Get<QToolButton>("LocalUpButton"), Qt::LeftButton);
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text().toStdString(), EnsureTrailingSeparator(FWork.string()));
    EXPECT_EQ(Captions("LocalDirList"), QStringList({"Sub+", "note.txt"}));

    Get<QLineEdit>("LocalPath")->setText(QString::fromStdString((FWork / "missing").string()));
    PressEnter("LocalPath");
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text().toStdString(),
              EnsureTrailingSeparator((FWork / "missing").string()));
    EXPECT_TRUE(Captions("LocalDirList").isEmpty());
    EXPECT_TRUE(Get<QTreeView>("LocalDirList")->isEnabled());
    EXPECT_TRUE(FDialogs.Texts().isEmpty());
}

TEST_F(PanelTest, WithoutAConnectionOnlyTheUpButtonsAct)
{
    Connect();
    FWindow.DisconnectFromTill();
    // Local: Enter, Refresh and a double click do nothing; Up lists the working folder.
    PressEnter("LocalPath");
    FWindow.MenuItem1->trigger();
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text(), "");
    EXPECT_TRUE(Captions("LocalDirList").isEmpty());
    QTest::mouseClick(Get<QToolButton>("LocalUpButton"), Qt::LeftButton);
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text(), "");
    EXPECT_EQ(Captions("LocalDirList"), QStringList({"Sub+", "note.txt"}));
    Select("LocalDirList", "Sub");
    FWindow.Openfolder1->trigger();
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text(), "");

    // Remote: the up button still sends, and the closed connection is reported.
    Get<QLineEdit>("RemotePath")->setText("typed");
    QTest::mouseClick(Get<QToolButton>("RemoteUpButton"), Qt::LeftButton);
    ASSERT_EQ(FDialogs.Shown().size(), 1u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Exception);
    EXPECT_EQ(FDialogs.Shown()[0].Text, "Connection Closed Gracefully.");
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "typed");
}

TEST(SilentTill, ConnectSucceedsAfterTwoWaitsWithAnEmptyRemotePanel)
{
    CScriptedDialogs dialogs;
    TfmMain window{&dialogs, test::QuickOptions()};
    CFakeTill till;
    std::vector<std::string> commands;
    till.Play([&](CFakeTillSession& session) {
        commands.push_back(session.ReadCommand());
        commands.push_back(session.ReadCommand());
        session.WaitForClientClose();
    });
    window.findChild<QComboBox*>("Port")->setEditText(QString::number(till.Port()));
    EXPECT_TRUE(window.ConnectToTill());
    EXPECT_TRUE(window.IsConnected());
    EXPECT_EQ(window.findChild<QLineEdit*>("RemotePath")->text(), "");
    EXPECT_EQ(window.findChild<QTreeView*>("RemoteDirList")->model()->rowCount(), 0);
    window.DisconnectFromTill();
    till.Join();
    EXPECT_EQ(commands, (std::vector<std::string>{"<GETCURDIR/>\r\n", "<GETDIRLIST/>\r\n"}));
}

} // namespace
} // namespace quorral
