#include "detecthosts/DetectHosts.h"

#include "link/SocketError.h"
#include "main/Dialogs.h"
#include "main/FormLook.h"
#include "moreinfo/MoreInfo.h"
#include "ui_DetectHosts.h"

#include <QMenu>
#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

namespace quorral {

TfmDetectHosts::TfmDetectHosts(CDialogs& dialogs, CDetectHostsOptions options, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfmDetectHosts>()), FDialogs(dialogs),
      FOptions(std::move(options)), UDP(new QUdpSocket(this)), PingTimer(new QTimer(this))
{
    ui->setupUi(this);
    ApplyFormLook(*this, {ui->HostList});
    PingTimer->setInterval(FOptions.PingInterval);
    RightClick = new QMenu(this);
    RightClick->setObjectName(QStringLiteral("RightClick"));
    Select1 = RightClick->addAction(QStringLiteral("Select this terminal"));
    Select1->setObjectName(QStringLiteral("Select1"));
    Moreinfoonthisterminal1 = RightClick->addAction(QStringLiteral("More info on this terminal"));
    Moreinfoonthisterminal1->setObjectName(QStringLiteral("Moreinfoonthisterminal1"));

    connect(ui->OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(UDP, &QUdpSocket::readyRead, this, [this] { Guarded([this] { UDPUDPRead(); }); });
    connect(PingTimer, &QTimer::timeout, this, [this] { Guarded([this] { PingTimerTimer(); }); });
    connect(ui->HostList, &QTreeWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { HostListDblClick(); }); });
    connect(Select1, &QAction::triggered, this, [this] { Guarded([this] { HostListDblClick(); }); });
    connect(Moreinfoonthisterminal1, &QAction::triggered, this,
            [this] { Guarded([this] { Moreinfoonthisterminal1Click(); }); });
    connect(ui->HostList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { RightClick->popup(ui->HostList->viewport()->mapToGlobal(at)); });
    Guarded([this] { FormCreate(); });
}

TfmDetectHosts::~TfmDetectHosts() = default;

void TfmDetectHosts::Guarded(const std::function<void()>& handler) noexcept
{
    RunGuarded(FDialogs, handler);
}

void TfmDetectHosts::FormCreate()
{
    AdjustFormForVista(*this);
    const int widths[] = {100, 100, 60, 40, 100};
    for (int column = 0; column < 5; ++column) {
        ui->HostList->setColumnWidth(column, widths[column]);
    }
    SendDiscoveryProbe();
    PingTimer->start();
}

void TfmDetectHosts::SendDiscoveryProbe()
{
    const std::vector<std::uint8_t> probe = DiscoveryProbe();
    if (UDP->state() != QAbstractSocket::BoundState &&
        !UDP->bind(QHostAddress::AnyIPv4, FOptions.ListenPort)) {
        throw CSocketError(UDP->errorString().toLocal8Bit().toStdString());
    }
    const std::vector<CAdapterAddress> adapters = FOptions.Adapters();
    for (int n = 1; n <= MaxProbedAdapters; ++n) {
        const std::string address = AdapterBroadcastAddress(adapters, n);
        if (address.empty()) {
            continue;
        }
        // The replies come back to this same socket, from which they are read.
        if (UDP->writeDatagram(reinterpret_cast<const char*>(probe.data()), static_cast<qint64>(probe.size()),
                               QHostAddress(QString::fromStdString(address)), FOptions.ProbePort) < 0) {
            throw CSocketError(UDP->errorString().toLocal8Bit().toStdString());
        }
        QThread::msleep(static_cast<unsigned long>(FOptions.PauseAfterProbe.count()));
    }
}

void TfmDetectHosts::UDPUDPRead()
{
    while (UDP->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = UDP->receiveDatagram(MaxDiscoveryDatagram);
        const QByteArray data = datagram.data();
        QHostAddress sender = datagram.senderAddress();
        bool isIPv4 = false;
        const quint32 ipv4 = sender.toIPv4Address(&isIPv4);
        const QString address = isIPv4 ? QHostAddress(ipv4).toString() : sender.toString();
        const CDiscoveryReply reply =
            ReadDiscoveryReply(data.constData(), static_cast<std::size_t>(data.size()));
        if (FInfoHost.isEmpty()) {
            if (!ui->HostList->findItems(address, Qt::MatchFixedString, 0).isEmpty()) {
                continue;
            }
            const auto text = [](const std::string& value) { return QString::fromLocal8Bit(value); };
            ui->HostList->addTopLevelItem(
                new QTreeWidgetItem(QStringList{address, text(reply.HostName), text(reply.McName),
                                                text(reply.McId), text(reply.VersionString)}));
            continue;
        }
        if (address != FInfoHost) {
            continue;
        }
        if (fmMoreInfo == nullptr) {
            fmMoreInfo = new TfmMoreInfo(this);
            fmMoreInfo->setWindowFlag(Qt::Window);
        }
        fmMoreInfo->ShowDetails(reply.Details);
        fmMoreInfo->show();
    }
}

void TfmDetectHosts::PingTimerTimer()
{
    ++FPingCount;
    if (FPingCount < 4) {
        SendDiscoveryProbe();
        return;
    }
    PingTimer->stop();
    ui->OkButton->setText(QStringLiteral("&Ok"));
    ui->OkButton->setEnabled(true);
    ui->OkButton->setFocus();
}

QString TfmDetectHosts::SelectedHost() const
{
    const QList<QTreeWidgetItem*> selected = ui->HostList->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void TfmDetectHosts::HostListDblClick()
{
    if (!SelectedHost().isEmpty()) {
        accept();
    }
}

void TfmDetectHosts::Moreinfoonthisterminal1Click()
{
    const QString host = SelectedHost();
    if (!host.isEmpty()) {
        FInfoHost = host;
        SendDiscoveryProbe();
    }
}

void TfmDetectHosts::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TfmDetectHosts::FormClose()
{
    PingTimer->stop();
    delete fmMoreInfo.data();
}

} // namespace quorral
