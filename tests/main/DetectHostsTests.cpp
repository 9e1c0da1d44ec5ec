#include "ConnectedWindow.h"
#include "detecthosts/DetectHosts.h"
#include "moreinfo/MoreInfo.h"

#include <QNetworkDatagram>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUdpSocket>

#include <map>

namespace quorral {
namespace {

using namespace std::chrono_literals;
using test::CScriptedDialogs;

// A till's discovery side on one loopback address: counts probes and answers each one.
class CResponder
{
public:
    CResponder(const char* address, std::uint16_t port, std::string reply) : FReply(std::move(reply))
    {
        EXPECT_TRUE(FSocket.bind(QHostAddress(QString::fromLatin1(address)), port)) << address;
        QObject::connect(&FSocket, &QUdpSocket::readyRead, [this] {
            while (FSocket.hasPendingDatagrams()) {
                const QNetworkDatagram probe = FSocket.receiveDatagram();
                const QByteArray bytes = probe.data();
                if (bytes.size() == 1012 && bytes.startsWith("\x0e\x27\xff")) {
                    ++Probes;
                }
                FSocket.writeDatagram(FReply.data(), static_cast<qint64>(FReply.size()),
                                      probe.senderAddress(), probe.senderPort());
            }
        });
    }
    std::uint16_t Port() const { return FSocket.localPort(); }

    int Probes = 0;

private:
    QUdpSocket FSocket;
    std::string FReply;
};

constexpr std::uint32_t Loopback(std::uint32_t last)
{
    return 127u << 24 | last;
}

class DetectHostsTest : public ::testing::Test
{
protected:
    // Each "adapter" is one loopback address whose netmask makes it its own broadcast address,
    // so the probes never leave this machine.
    CDetectHostsOptions Options(std::vector<std::uint32_t> lastBytes,
                                std::chrono::milliseconds interval = 30ms)
    {
        CDetectHostsOptions options;
        options.Adapters = [lastBytes] {
            std::vector<CAdapterAddress> adapters;
            for (const std::uint32_t last : lastBytes) {
                adapters.push_back({Loopback(last), 0xFFFFFFFF});
            }
            return adapters;
        };
        options.ListenPort = 0;
        options.ProbePort = FProbePort;
        options.PingInterval = interval;
        options.PauseAfterProbe = 0ms;
        return options;
    }
    static QStringList Row(QTreeWidget* list, int row)
    {
        QStringList cells;
        for (int column = 0; column < list->columnCount(); ++column) {
            cells << list->topLevelItem(row)->text(column);
        }
        return cells;
    }

    CResponder FFirst{"127.0.0.2", 0,
                      "<TERMINAL><hostname>till-2</hostname><mcname>Front</mcname><mcid>2</mcid>"
                      "<versionstring>4.2</versionstring><UPTIME>3 days</UPTIME></TERMINAL>"};
    std::uint16_t FProbePort = FFirst.Port();
    CResponder FSecond{"127.0.0.3", FProbePort, std::string("plain words\0<X/>", 16)};
    CScriptedDialogs FDialogs;
};

TEST_F(DetectHostsTest, FourSweepsListEachTillOnceThenTheButtonIsReady)
{
    TfmDetectHosts window(FDialogs, Options({2, 3}));
    auto* list = window.findChild<QTreeWidget*>("HostList");
    auto* ok = window.findChild<QPushButton*>("OkButton");
    EXPECT_EQ(window.windowTitle(), "Detect Hosts");
    EXPECT_EQ(ok->text(), "Please wait ...");
    EXPECT_FALSE(ok->isEnabled());
    window.show();
    QStringList headers;
    for (int column = 0; column < list->columnCount(); ++column) {
        headers << list->headerItem()->text(column) + ":" + QString::number(list->columnWidth(column));
    }
    EXPECT_EQ(headers,
              QStringList({"IP Address:100", "Hostname:100", "MC Name:60", "ID#:40", "Version:100"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return ok->isEnabled(); }, 5000));
    QTest::qWait(100); // late replies are still listed, but nothing twice
    EXPECT_EQ(ok->text(), "&Ok");
    EXPECT_EQ(FFirst.Probes, 4);
    EXPECT_EQ(FSecond.Probes, 4);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Row(list, list->topLevelItem(0)->text(0) == "127.0.0.2" ? 0 : 1),
              QStringList({"127.0.0.2", "till-2", "Front", "2", "4.2"}));
    EXPECT_EQ(Row(list, list->topLevelItem(0)->text(0) == "127.0.0.3" ? 0 : 1),
              QStringList({"127.0.0.3", "", "", "", ""}));
    EXPECT_TRUE(FDialogs.Shown().empty());
}

TEST_F(DetectHostsTest, DoubleClickWhileWaitingAcceptsTheRow)
{
    TfmDetectHosts window(FDialogs, Options({2}, 10s));
    auto* list = window.findChild<QTreeWidget*>("HostList");
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }, 5000));
    window.Select1->trigger(); // nothing selected yet: nothing happens
    EXPECT_TRUE(window.isVisible());
    list->setCurrentItem(list->topLevelItem(0));
    emit list->itemDoubleClicked(list->topLevelItem(0), 0);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(window.SelectedHost(), "127.0.0.2");
}

TEST_F(DetectHostsTest, MoreInfoShowsOneTillsDetailsAndGoesWithTheWindow)
{
    QPointer<TfmMoreInfo> shown;
    {
        TfmDetectHosts window(FDialogs, Options({2}, 10s));
        auto* list = window.findChild<QTreeWidget*>("HostList");
        window.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() == 1; }, 5000));
        list->setCurrentItem(list->topLevelItem(0));
        window.Moreinfoonthisterminal1->trigger();
        ASSERT_TRUE(QTest::qWaitFor([] { return fmMoreInfo != nullptr && fmMoreInfo->isVisible(); }, 5000));
        window.Moreinfoonthisterminal1->trigger(); // a second reply rebuilds, not adds
        QTest::qWait(100);
        auto* info = fmMoreInfo->findChild<QTreeWidget*>("InfoList");
        ASSERT_EQ(info->topLevelItemCount(), 5);
        EXPECT_EQ(info->topLevelItem(0)->text(0), "HOSTNAME");
        EXPECT_EQ(info->topLevelItem(4)->text(0) + "=" + info->topLevelItem(4)->text(1), "UPTIME=3 days");
        EXPECT_EQ(list->topLevelItemCount(), 1) << "no rows are added in this mode";
        shown = fmMoreInfo;
        window.reject();
        EXPECT_EQ(fmMoreInfo, nullptr);
    }
    EXPECT_EQ(shown, nullptr);
}

TEST_F(DetectHostsTest, ListenerPortInUseShowsTheErrorAndLeavesTheWindowWaiting)
{
    QUdpSocket taken;
    ASSERT_TRUE(taken.bind(QHostAddress::AnyIPv4, 0));
    CDetectHostsOptions options = Options({2});
    options.ListenPort = taken.localPort();
    TfmDetectHosts window(FDialogs, options);
    ASSERT_EQ(FDialogs.Shown().size(), 1u);
    EXPECT_EQ(FDialogs.Shown()[0].Kind, CScriptedDialogs::CKind::Exception);
    QTest::qWait(150);
    EXPECT_EQ(window.findChild<QPushButton*>("OkButton")->text(), "Please wait ...");
    EXPECT_EQ(FFirst.Probes, 0);
}

TEST_F(DetectHostsTest, MainWindowTakesTheAddressOnlyFromAnAcceptedRow)
{
    CMainOptions options = test::QuickOptions();
    options.Discovery = Options({2}, 30ms);
    TfmMain main(&FDialogs, options);
    auto* host = main.findChild<QLineEdit*>("HostIP");
    // Acts on the modal window once it lists the till: `accept` chooses OK, otherwise the close box.
    const auto answer = [](bool accept) {
        QTimer::singleShot(0, [accept] {
            auto* window = qobject_cast<TfmDetectHosts*>(QApplication::activeModalWidget());
            ASSERT_NE(window, nullptr);
            auto* list = window->findChild<QTreeWidget*>("HostList");
            auto* ok = window->findChild<QPushButton*>("OkButton");
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return list->topLevelItemCount() == 1 && ok->isEnabled(); }, 5000));
            list->setCurrentItem(list->topLevelItem(0));
            if (accept) {
                QTest::mouseClick(ok, Qt::LeftButton);
            } else {
                window->close();
            }
        });
    };
    answer(false);
    QTest::mouseClick(main.findChild<QToolButton*>("DetectHosts"), Qt::LeftButton);
    EXPECT_EQ(host->text(), "127.0.0.1") << "the close box copies nothing";
    answer(true);
    QTest::mouseClick(main.findChild<QToolButton*>("DetectHosts"), Qt::LeftButton);
    EXPECT_EQ(host->text(), "127.0.0.2");
    EXPECT_FALSE(main.IsConnected());
}

} // namespace
} // namespace quorral

namespace quorral {
namespace {

// Run by netns_discovery.sh inside a network namespace whose only adapter faces a till.
TEST(DiscoveryEndToEnd, TillBehindTheAdapterIsFoundByBroadcast)
{
    const char* till = std::getenv("QUORRAL_E2E_TILL");
    if (till == nullptr) {
        GTEST_SKIP() << "runs inside the network namespaces that netns_discovery.sh makes";
    }
    test::CScriptedDialogs dialogs;
    CDetectHostsOptions options; // the real adapters, ports and timings
    TfmDetectHosts window(dialogs, options);
    auto* list = window.findChild<QTreeWidget*>("HostList");
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() > 0; }, 5000));
    EXPECT_EQ(list->topLevelItem(0)->text(0), QString::fromLatin1(till));
    EXPECT_EQ(list->topLevelItem(0)->text(1), "e2e-till");
    EXPECT_TRUE(dialogs.Shown().empty());
}

} // namespace
} // namespace quorral
