#pragma once

#include "discovery/Adapters.h"
#include "discovery/Discovery.h"

#include <QDialog>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QAction;
class QTimer;
class QUdpSocket;

namespace Ui {
class TfmDetectHosts;
}

namespace quorral {

class CDialogs;

// Where and how the probes go; tests point them at loopback and shorten the waits.
struct CDetectHostsOptions
{
    std::function<std::vector<CAdapterAddress>()> Adapters = NetworkAdapters;
    std::uint16_t ListenPort = DiscoveryReplyPort;
    std::uint16_t ProbePort = DiscoveryProbePort;
    std::chrono::milliseconds PingInterval{500};
    std::chrono::milliseconds PauseAfterProbe{100};
};

// Finds the tills on the local networks and hands the chosen one's address back.
class TfmDetectHosts : public QDialog
{
    Q_OBJECT
public:
    TfmDetectHosts(CDialogs& dialogs, CDetectHostsOptions options, QWidget* parent = nullptr);
    ~TfmDetectHosts() override;

    // The caption (IP address) of the selected row; empty when none is selected.
    QString SelectedHost() const;

    QMenu* RightClick = nullptr;
    QAction* Select1 = nullptr;
    QAction* Moreinfoonthisterminal1 = nullptr;

    void done(int result) override;

private:
    void FormCreate();
    void SendDiscoveryProbe();
    void UDPUDPRead();
    void PingTimerTimer();
    void HostListDblClick();
    void Moreinfoonthisterminal1Click();
    void FormClose();
    void Guarded(const std::function<void()>& handler) noexcept;

    std::unique_ptr<Ui::TfmDetectHosts> ui;
    CDialogs& FDialogs;
    CDetectHostsOptions FOptions;
    QUdpSocket* UDP;
    QTimer* PingTimer;
    int FPingCount = 0;
    QString FInfoHost;
};

} // namespace quorral
