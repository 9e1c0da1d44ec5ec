#include "ConnectedWindow.h"
#include "main/Main.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

namespace quorral {
namespace {

using namespace std::chrono_literals;
using test::CFakeTill;
using test::CFakeTillSession;
using test::CScriptedDialogs;

class MainWindowTest : public ::testing::Test
{
protected:
    template <class T>
    T* Get(const char* name)
    {
        T* widget = FWindow.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void Click(const char* button) { QTest::mouseClick(Get<QAbstractButton>(button), Qt::LeftButton); }
    int Rows(const char* list) { return Get<QTreeView>(list)->model()->rowCount(); }

    CScriptedDialogs FDialogs;
    TfmMain FWindow{&FDialogs, test::QuickOptions()};
};

TEST_F(MainWindowTest, StartsWithTheDefaults)
{
    EXPECT_EQ(FWindow.windowTitle(), "Quorral");
    EXPECT_EQ(FWindow.size(), QSize(918, 407));
    EXPECT_EQ(Get<QLineEdit>("HostIP")->text(), "127.0.0.1");
    auto* port = Get<QComboBox>("Port");
    EXPECT_EQ(port->currentText(), "5559");
    EXPECT_EQ(port->currentIndex(), -1);
    QStringList items;
    for (int i = 0; i < port->count(); ++i) {
        items << port->itemText(i);
    }
    EXPECT_EQ(items, QStringList({"5559", "30102", "30202", "30302", "30402", "30502", "30602"}));
    EXPECT_TRUE(Get<QPushButton>("ConnectButton")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("DisconnectButton")->isEnabled());
    EXPECT_EQ(Get<QProgressBar>("Progress")->text(), "0%");
    for (const char* list : {"LocalDirList", "RemoteDirList"}) {
        SCOPED_TRACE(list);
        auto* view = Get<QTreeView>(list);
        EXPECT_EQ(view->model()->rowCount(), 0);
        EXPECT_EQ(view->model()->columnCount(), 2);
        EXPECT_EQ(view->columnWidth(0), 200);
        EXPECT_EQ(view->columnWidth(1), 20);
        EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), "");
        EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), "");
    }
    EXPECT_EQ(Get<QLineEdit>("HostIP")->toolTip(), "Enter the host name or ip address of your till in here");
    EXPECT_EQ(Get<QComboBox>("Port")->toolTip(), "Enter the port number here, defaul is 5559");
    EXPECT_EQ(Get<QLabel>("Label1")->text(), "Host");
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->geometry(), QRect(16, 88, 416, 21));
    EXPECT_EQ(Get<QTreeView>("RemoteDirList")->geometry(), QRect(464, 112, 442, 281));
}

TEST_F(MainWindowTest, TabOrderSkipsTheDisabledDisconnectButton)
{
    FWindow.show();
    FWindow.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&FWindow));
    Get<QLineEdit>("HostIP")->setFocus();
    QStringList visited;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, QStringList({"DetectHosts", "Port", "ConnectButton", "LocalPath"}));
}

TEST_F(MainWindowTest, RightPanelFollowsTheRightEdgeAndBothListsStretchDown)
{
    FWindow.show();
    FWindow.resize(918 + 100, 407 + 50);
    EXPECT_EQ(Get<QTreeView>("LocalDirList")->geometry(), QRect(16, 112, 442, 331));
    EXPECT_EQ(Get<QTreeView>("RemoteDirList")->geometry(), QRect(564, 112, 442, 331));
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->geometry(), QRect(564, 88, 416, 21));
    EXPECT_EQ(Get<QToolButton>("RemoteUpButton")->geometry(), QRect(983, 88, 22, 22));
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->geometry(), QRect(16, 88, 416, 21));
    EXPECT_EQ(Get<QLabel>("Label1")->pos(), QPoint(464, 64));
    EXPECT_EQ(Get<QProgressBar>("Progress")->geometry(), QRect(464, 24, 441, 30));
}

TEST_F(MainWindowTest, PopupMenusHoldTheirItemsInOrder)
{
    const auto names = [](QMenu* menu) {
        QStringList result;
        for (const QAction* action : menu->actions()) {
            result << action->objectName() + "=" + action->text();
        }
        return result;
    };
    EXPECT_EQ(names(FWindow.Remote_RightClickMenu),
              QStringList({"Transfer2=Transfer", "OpenFolder2=Open Folder", "Refresh1=Refresh",
                           "NewFolder1=New Folder"}));
    EXPECT_EQ(names(FWindow.Local_RightClickMenu),
              QStringList({"Transfer1=Transfer", "Openfolder1=Open folder", "MenuItem1=Refresh",
                           "MenuItem2=New Folder"}));
}

TEST_F(MainWindowTest, RefusedConnectionShowsBothMessagesAndStaysDisconnected)
{
    int port = 0;
    {
        const CFakeTill gone;
        port = gone.Port();
    }
    Get<QComboBox>("Port")->setEditText(QString::number(port));
    Click("ConnectButton");
    EXPECT_EQ(FDialogs.Texts(), QStringList({"Failed to connect.", "Failed to connect to till"}));
    EXPECT_TRUE(Get<QPushButton>("ConnectButton")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("DisconnectButton")->isEnabled());
    EXPECT_FALSE(FWindow.IsConnected());
}

TEST_F(MainWindowTest, ConnectThenDisconnectResetsTheWindowButKeepsTheAddress)
{
    CFakeTill till;
    till.Play([](CFakeTillSession& session) { session.WaitForClientClose(); });
    Get<QComboBox>("Port")->setEditText(QString::number(till.Port()));
    Click("ConnectButton");
    EXPECT_TRUE(FDialogs.Texts().isEmpty()) << FDialogs.Texts().join("|").toStdString();
    EXPECT_TRUE(FWindow.IsConnected());
    EXPECT_FALSE(Get<QPushButton>("ConnectButton")->isEnabled());
    EXPECT_TRUE(Get<QPushButton>("DisconnectButton")->isEnabled());
    const QString local = Get<QLineEdit>("LocalPath")->text();
    EXPECT_FALSE(local.isEmpty());
    EXPECT_EQ(local.back(), QDir::separator());

    Click("DisconnectButton");
    EXPECT_FALSE(FWindow.IsConnected());
    EXPECT_TRUE(Get<QPushButton>("ConnectButton")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("DisconnectButton")->isEnabled());
    EXPECT_EQ(Get<QLineEdit>("LocalPath")->text(), "");
    EXPECT_EQ(Get<QLineEdit>("RemotePath")->text(), "");
    EXPECT_EQ(Rows("LocalDirList"), 0);
    EXPECT_EQ(Rows("RemoteDirList"), 0);
    EXPECT_EQ(Get<QLineEdit>("HostIP")->text(), "127.0.0.1");
    EXPECT_EQ(Get<QComboBox>("Port")->currentText(), QString::number(till.Port()));
}

TEST_F(MainWindowTest, PortTextThatIsNoNumberConnectsToTheDefaultPort)
{
    for (const char* text : {"", "abc"}) {
        SCOPED_TRACE(text);
        CFakeTill till(5559);
        if (till.Port() == 0) {
            GTEST_SKIP() << "port 5559 is taken on this machine";
        }
        bool reached = false;
        till.Play([&](CFakeTillSession& session) {
            reached = true;
            session.WaitForClientClose();
        });
        Get<QComboBox>("Port")->setEditText(QString::fromLatin1(text));
        Click("ConnectButton");
        EXPECT_TRUE(FWindow.IsConnected());
        Click("DisconnectButton");
        till.Join();
        EXPECT_TRUE(reached);
    }
}

} // namespace
} // namespace quorral

namespace quorral {
namespace {

TEST(ExceptionBox, FullStopIsAddedWhenTheLastCharacterSortsAfterIt)
{
    const std::pair<QString, QString> cases[] = {
        {"Connection Closed Gracefully.", "Connection Closed Gracefully."},
        {"Socket Error # 104\r\nConnection reset by peer", "Socket Error # 104\r\nConnection reset by peer."},
        {"ends with a bang!", "ends with a bang!"},
        {"", ""},
    };
    for (const auto& [message, shown] : cases) {
        EXPECT_EQ(ExceptionBoxText(message), shown);
    }
}

} // namespace
} // namespace quorral
