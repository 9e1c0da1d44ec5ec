#pragma once

#include "detecthosts/DetectHosts.h"
#include "files/FolderRow.h"
#include "gzip/GzipFile.h"
#include "link/CommandChannel.h"
#include "link/Transfer.h"
#include "main/Dialogs.h"

#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QTreeView;

namespace Ui {
class TfmMain;
}

namespace quorral {

class CPanelModel;

// Timings the tests shorten; the operator always gets the defaults.
struct CMainOptions
{
    std::chrono::milliseconds ReplyWait = DefaultReplyWait;
    std::chrono::milliseconds ConnectTimeout = DefaultConnectTimeout;
    std::chrono::milliseconds StallLimit = DefaultStallLimit;
    CDetectHostsOptions Discovery;
};

// The main window: the till's address, the two folder panels and the transfer gauge.
class TfmMain : public QWidget
{
    Q_OBJECT
public:
    // `dialogs` may be null: the window then shows real message boxes.
    explicit TfmMain(CDialogs* dialogs = nullptr, CMainOptions options = {}, QWidget* parent = nullptr);
    ~TfmMain() override;

    // The connection flag: set by a successful connect, cleared only by the disconnect routine.
    bool IsConnected() const { return FConnected; }

    bool ConnectToTill();
    void DisconnectFromTill();
    void SendCommand(const std::string& command);
    std::string ReadReply();
    // Shows a till's failure reply in the "Error" box; true when the reply was one.
    bool ReportFailedReply(const std::string& reply);

    void RefreshRemoteList();
    void RefreshLocalList();
    void EnsureLocalPathSlash();
    void RefreshPanel(bool remote);

    void DeleteSelectedItem(bool local);
    void RemoteDeleteFile(const std::string& name);
    void RemoteDeleteFolder(const std::string& name);
    void RemoteMoveFile(const std::string& from, const std::string& to);
    void CreateNewFolder(bool remote);

    void SendFileToTill(const std::string& name);
    bool ConfirmOverwrite(bool upload);
    void RevealTransferredItem(bool upload);

    QMenu* Remote_RightClickMenu = nullptr;
    QMenu* Local_RightClickMenu = nullptr;
    QAction* Transfer2 = nullptr;
    QAction* OpenFolder2 = nullptr;
    QAction* Refresh1 = nullptr;
    QAction* NewFolder1 = nullptr;
    QAction* Transfer1 = nullptr;
    QAction* Openfolder1 = nullptr;
    QAction* MenuItem1 = nullptr;
    QAction* MenuItem2 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void BuildPopupMenus();
    void BindEvents();

    // Every event handler runs inside this guard: nothing thrown may cross Qt's event loop, and an
    // escaped error is shown the way the operator expects.
    void Guarded(const std::function<void()>& handler) noexcept;

    void ConnectButtonClick();
    void DisconnectButtonClick();
    void DetectHostsClick();
    void TCPClientConnected();
    void PopupMenu(QTreeView* list, QMenu* menu, const QPoint& position);

    void RemoteDirListDblClick();
    void LocalDirListDblClick();
    void RemotePathExit();
    void LocalPathExit();
    void LocalUpButtonClick(QObject* sender);
    void Refresh1Click(QObject* sender);
    void NewFolder1Click(QObject* sender);
    void Local_RightClickMenuPopup(QObject* sender);
    bool LocalDirListEditing(const CFolderRow& row) const;
    void LocalDirListEdited(QObject* sender, int row, const QString& newText);
    void LocalDirListKeyUp(QObject* sender, int key);
    // Sends one command about an entry of the till's current folder and reports a failure reply.
    void RemoteEntryCommand(const std::string& command);

    void DownloadSelectedFile(const std::string& caption);
    // A transfer that found no room for its temporary file says so rather than failing silently.
    void ShowTemporaryFolderFull();
    // Moves the gauge for a transfer; it repaints itself when what it shows changes.
    void ShowProgress(std::int64_t done, std::int64_t total);

    // The selected row of a panel, or -1.
    int SelectedRow(const QTreeView* list) const;
    // A name that cannot go into a command line is refused with a box naming it; true then.
    bool RefuseUnsafeName(const std::string& name);

    std::unique_ptr<Ui::TfmMain> ui;
    std::unique_ptr<CDialogs> FOwnDialogs;
    CDialogs* FDialogs;
    CMainOptions FOptions;
    CPanelModel* FLocalModel;
    CPanelModel* FRemoteModel;
    bool FInPathExit = false;

    // The codec's messages go to the plain box.
    class CDialogsSink final : public CMessageSink
    {
    public:
        explicit CDialogsSink(CDialogs*& dialogs) : FDialogs(dialogs) {}
        void ShowMessage(const std::string& text) override;

    private:
        CDialogs*& FDialogs;
    };
    CDialogsSink FCodecMessages{FDialogs};
    CCommandChannel TCPClient;
    bool FConnected = false;
};

} // namespace quorral
