#include "main/Main.h"

#include "files/FileNames.h"
#include "files/FolderOperations.h"
#include "files/LocalFolder.h"
#include "files/LocalPath.h"
#include "link/SocketError.h"
#include "link/TillCommands.h"
#include "main/FormLook.h"
#include "main/PanelModel.h"
#include "ui_Main.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QProgressBar>
#include <QResizeEvent>
#include <QScreen>

#include <filesystem>
#include <limits>

// The glyphs live in this static library, so their resource must be registered by hand.
static void InitGlyphResources()
{
    Q_INIT_RESOURCE(main);
}

namespace quorral {
namespace {

// The window's designed client size; the anchoring of the right-hand panel is measured from it.
constexpr int DesignWidth = 918;
constexpr int DesignHeight = 407;

QString FromBytes(const std::string& text)
{
    return QString::fromLocal8Bit(text);
}
std::string ToBytes(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace

TfmMain::TfmMain(CDialogs* dialogs, CMainOptions options, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TfmMain>()), FDialogs(dialogs), FOptions(options),
      FLocalModel(new CPanelModel(this)), FRemoteModel(new CPanelModel(this)), TCPClient(options.ReplyWait)
{
    if (FDialogs == nullptr) {
        FOwnDialogs = std::make_unique<CMessageBoxDialogs>(this);
        FDialogs = FOwnDialogs.get();
    }
    InitGlyphResources();
    ui->setupUi(this);
    ApplyFormLook(*this,
                  {ui->HostIP, ui->Port, ui->LocalPath, ui->RemotePath, ui->LocalDirList, ui->RemoteDirList});
    // The port list only suggests values: none is chosen at start.
    ui->Port->setCurrentIndex(-1);
    ui->Port->setEditText(QStringLiteral("5559"));
    ui->LocalDirList->setModel(FLocalModel);
    ui->RemoteDirList->setModel(FRemoteModel);
    BuildPopupMenus();
    BindEvents();
    Guarded([this] { FormCreate(); });

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TfmMain::~TfmMain()
{
    // The fields outlive this object's members while QWidget tears them down.
    for (QWidget* watched : std::initializer_list<QWidget*>{ui->LocalPath, ui->RemotePath, ui->LocalDirList,
                                                            ui->RemoteDirList}) {
        watched->removeEventFilter(this);
    }
}

void TfmMain::FormCreate()
{
    AdjustFormForVista(*this);
    for (QTreeView* list : {ui->RemoteDirList, ui->LocalDirList}) {
        list->header()->setStretchLastSection(false);
        list->header()->setSectionsMovable(false);
        list->header()->setMinimumSectionSize(0);
        list->setColumnWidth(0, 200);
        list->setColumnWidth(1, 20);
    }
}

void TfmMain::BuildPopupMenus()
{
    Remote_RightClickMenu = new QMenu(this);
    Remote_RightClickMenu->setObjectName(QStringLiteral("Remote_RightClickMenu"));
    Local_RightClickMenu = new QMenu(this);
    Local_RightClickMenu->setObjectName(QStringLiteral("Local_RightClickMenu"));
    const auto add = [](QMenu* menu, const char* name, const char* caption) {
        QAction* action = menu->addAction(QString::fromLatin1(caption));
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    Transfer2 = add(Remote_RightClickMenu, "Transfer2", "Transfer");
    OpenFolder2 = add(Remote_RightClickMenu, "OpenFolder2", "Open Folder");
    Refresh1 = add(Remote_RightClickMenu, "Refresh1", "Refresh");
    NewFolder1 = add(Remote_RightClickMenu, "NewFolder1", "New Folder");
    Transfer1 = add(Local_RightClickMenu, "Transfer1", "Transfer");
    Openfolder1 = add(Local_RightClickMenu, "Openfolder1", "Open folder");
    MenuItem1 = add(Local_RightClickMenu, "MenuItem1", "Refresh");
    MenuItem2 = add(Local_RightClickMenu, "MenuItem2", "New Folder");
}

void TfmMain::BindEvents()
{
    const auto bind = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    bind(ui->ConnectButton, &QPushButton::clicked, &TfmMain::ConnectButtonClick);
    bind(ui->DisconnectButton, &QPushButton::clicked, &TfmMain::DisconnectButtonClick);
    bind(ui->DetectHosts, &QToolButton::clicked, &TfmMain::DetectHostsClick);
    bind(ui->RemoteDirList, &QTreeView::doubleClicked, &TfmMain::RemoteDirListDblClick);
    bind(ui->LocalDirList, &QTreeView::doubleClicked, &TfmMain::LocalDirListDblClick);
    bind(Transfer2, &QAction::triggered, &TfmMain::RemoteDirListDblClick);
    bind(OpenFolder2, &QAction::triggered, &TfmMain::RemoteDirListDblClick);
    bind(Transfer1, &QAction::triggered, &TfmMain::LocalDirListDblClick);
    bind(Openfolder1, &QAction::triggered, &TfmMain::LocalDirListDblClick);
    // Handlers that tell their senders apart.
    const auto bindWithSender = [this](auto* sender, auto signal, auto handler) {
        connect(sender, signal, this,
                [this, sender, handler] { Guarded([&] { (this->*handler)(sender); }); });
    };
    bindWithSender(ui->LocalUpButton, &QToolButton::clicked, &TfmMain::LocalUpButtonClick);
    bindWithSender(ui->RemoteUpButton, &QToolButton::clicked, &TfmMain::LocalUpButtonClick);
    bindWithSender(Refresh1, &QAction::triggered, &TfmMain::Refresh1Click);
    bindWithSender(MenuItem1, &QAction::triggered, &TfmMain::Refresh1Click);
    bindWithSender(NewFolder1, &QAction::triggered, &TfmMain::NewFolder1Click);
    bindWithSender(MenuItem2, &QAction::triggered, &TfmMain::NewFolder1Click);
    bindWithSender(Remote_RightClickMenu, &QMenu::aboutToShow, &TfmMain::Local_RightClickMenuPopup);
    bindWithSender(Local_RightClickMenu, &QMenu::aboutToShow, &TfmMain::Local_RightClickMenuPopup);
    for (QTreeView* list : {ui->LocalDirList, ui->RemoteDirList}) {
        CPanelModel* model = list == ui->LocalDirList ? FLocalModel : FRemoteModel;
        model->Editing = [this](const CFolderRow& row) { return LocalDirListEditing(row); };
        connect(model, &CPanelModel::CaptionEdited, this, [this, list](int row, const QString& newText) {
            Guarded([&] { LocalDirListEdited(list, row, newText); });
        });
        // F2 starts an edit only through the key handler, which first checks the connection.
        list->setEditTriggers(QAbstractItemView::SelectedClicked);
        list->installEventFilter(this);
    }
    // Leaving a path field, or Enter in it, acts on the path: see eventFilter.
    ui->LocalPath->installEventFilter(this);
    ui->RemotePath->installEventFilter(this);
    connect(ui->LocalDirList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu(ui->LocalDirList, Local_RightClickMenu, at); });
    connect(ui->RemoteDirList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu(ui->RemoteDirList, Remote_RightClickMenu, at); });
}

void TfmMain::PopupMenu(QTreeView* list, QMenu* menu, const QPoint& position)
{
    menu->popup(list->viewport()->mapToGlobal(position));
}

void TfmMain::Guarded(const std::function<void()>& handler) noexcept
{
    RunGuarded(*FDialogs, handler);
}

void TfmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The left list stretches down; the right-hand path, up button and list follow the right edge.
    const int dx = width() - DesignWidth;
    const int dy = height() - DesignHeight;
    ui->LocalDirList->setGeometry(16, 112, 442, 281 + dy);
    ui->RemoteDirList->setGeometry(464 + dx, 112, 442, 281 + dy);
    ui->RemotePath->move(464 + dx, 88);
    ui->RemoteUpButton->move(883 + dx, 88);
}

bool TfmMain::ConnectToTill()
{
    try {
        DisconnectFromTill();
        const std::string host = ToBytes(ui->HostIP->text());
        const int port = PortFromText(ToBytes(ui->Port->currentText()));
        TCPClient.Connect(host, port, FOptions.ConnectTimeout);
        TCPClientConnected();
    } catch (...) {
        FDialogs->ShowMessage(QStringLiteral("Failed to connect."));
        return false;
    }
    ui->LocalPath->setText(FromBytes(CurrentFolderWithSeparator()));
    ui->ConnectButton->setEnabled(false);
    ui->DisconnectButton->setEnabled(true);
    FConnected = true;
    return true;
}

void TfmMain::DisconnectFromTill()
{
    TCPClient.Disconnect();
    ui->ConnectButton->setEnabled(true);
    ui->DisconnectButton->setEnabled(false);
    FConnected = false;
    ui->LocalPath->clear();
    ui->RemotePath->clear();
    FLocalModel->Clear();
    FRemoteModel->Clear();
}

void TfmMain::SendCommand(const std::string& command)
{
    TCPClient.SendCommand(command);
}

std::string TfmMain::ReadReply()
{
    return TCPClient.ReadReply();
}

void TfmMain::ConnectButtonClick()
{
    if (!ConnectToTill()) {
        FDialogs->ShowMessage(QStringLiteral("Failed to connect to till"));
    }
}

void TfmMain::DisconnectButtonClick()
{
    DisconnectFromTill();
}

void TfmMain::DetectHostsClick()
{
    TfmDetectHosts fmDetectHosts(*FDialogs, FOptions.Discovery, this);
    if (fmDetectHosts.exec() == QDialog::Accepted && !fmDetectHosts.SelectedHost().isEmpty()) {
        ui->HostIP->setText(fmDetectHosts.SelectedHost());
    }
}

void TfmMain::TCPClientConnected()
{
    RefreshRemoteList();
    RefreshLocalList();
}

bool TfmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->LocalDirList || watched == ui->RemoteDirList) {
        if (event->type() == QEvent::KeyRelease) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat()) {
                Guarded([&] { LocalDirListKeyUp(watched, key->key()); });
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched != ui->LocalPath && watched != ui->RemotePath) {
        return QWidget::eventFilter(watched, event);
    }
    const auto pathExit = [this, watched] {
        Guarded([this, watched] {
            if (watched == ui->RemotePath) {
                RemotePathExit();
            } else {
                LocalPathExit();
            }
        });
    };
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            pathExit();
            return true; // the field never sees the Enter key
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Only focus that moves to another control counts as leaving the field; a message box or a
        // menu taking the focus for a moment does not, or a box shown by the handler would run it again.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && !FInPathExit) {
            FInPathExit = true;
            pathExit();
            FInPathExit = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TfmMain::ReportFailedReply(const std::string& reply)
{
    if (!IsFailedReply(reply)) {
        return false;
    }
    FDialogs->ShowFailure(FromBytes(FailedReplyText(reply)));
    return true;
}

bool TfmMain::RefuseUnsafeName(const std::string& name)
{
    if (IsSafeCommandValue(name)) {
        return false;
    }
    FDialogs->ShowMessage(QStringLiteral("This name cannot be sent to the till:\n\n") + FromBytes(name));
    return true;
}

int TfmMain::SelectedRow(const QTreeView* list) const
{
    const QModelIndexList selected = list->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TfmMain::RefreshRemoteList()
{
    ui->RemoteDirList->setEnabled(false);
    SendCommand(GetCurDirCommand());
    std::string reply = ReadReply();
    if (ReportFailedReply(reply)) {
        ui->RemoteDirList->setEnabled(true);
        return;
    }
    ui->RemotePath->setText(FromBytes(ReadCurrentFolder(reply)));
    SendCommand(GetDirListCommand());
    reply = ReadReply();
    if (ReportFailedReply(reply)) {
        ui->RemoteDirList->setEnabled(true);
        return;
    }
    FRemoteModel->SetRows(ReadListing(reply));
    ui->RemoteDirList->setEnabled(true);
}

void TfmMain::EnsureLocalPathSlash()
{
    ui->LocalPath->setText(FromBytes(EnsureTrailingSeparator(ToBytes(ui->LocalPath->text()))));
}

void TfmMain::RefreshLocalList()
{
    ui->LocalDirList->setEnabled(false);
    EnsureLocalPathSlash();
    FLocalModel->SetRows(ListLocalFolder(ToBytes(ui->LocalPath->text())));
    ui->LocalDirList->setEnabled(true);
}

void TfmMain::RefreshPanel(bool remote)
{
    if (!IsConnected()) {
        return;
    }
    if (remote) {
        RefreshRemoteList();
    } else {
        EnsureLocalPathSlash();
        RefreshLocalList();
    }
}

void TfmMain::RemoteDirListDblClick()
{
    const int row = SelectedRow(ui->RemoteDirList);
    if (row < 0) {
        return;
    }
    const CFolderRow selected = FRemoteModel->Rows()[static_cast<std::size_t>(row)];
    if (selected.IsFolder) {
        if (RefuseUnsafeName(selected.Caption)) {
            return;
        }
        SendCommand(ChangeDirCommand(selected.Caption));
        ReadReply();
        RefreshRemoteList();
        return;
    }
    DownloadSelectedFile(selected.Caption);
}

void TfmMain::LocalDirListDblClick()
{
    const int row = SelectedRow(ui->LocalDirList);
    if (!IsConnected() || row < 0) {
        return;
    }
    const CFolderRow selected = FLocalModel->Rows()[static_cast<std::size_t>(row)];
    if (selected.IsFolder) {
        ui->LocalPath->setText(ui->LocalPath->text() + FromBytes(selected.Caption));
        RefreshLocalList();
        return;
    }
    if (!ConfirmOverwrite(true)) {
        return;
    }
    SendFileToTill(selected.Caption);
    RefreshRemoteList();
    RevealTransferredItem(true);
}

void TfmMain::RemotePathExit()
{
    const std::string path = ToBytes(ui->RemotePath->text());
    if (RefuseUnsafeName(path)) {
        return;
    }
    SendCommand(ChangeDirCommand(path));
    ReadReply();
    RefreshRemoteList();
}

void TfmMain::LocalPathExit()
{
    RefreshPanel(false);
}

void TfmMain::LocalUpButtonClick(QObject* sender)
{
    if (sender == ui->LocalUpButton) {
        ui->LocalPath->setText(FromBytes(LocalPathUp(ToBytes(ui->LocalPath->text()))));
        RefreshLocalList();
        return;
    }
    SendCommand(ChangeDirUpCommand());
    ReadReply();
    RefreshRemoteList();
}

void TfmMain::NewFolder1Click(QObject* sender)
{
    if (IsConnected()) {
        CreateNewFolder(Remote_RightClickMenu->actions().contains(qobject_cast<QAction*>(sender)));
    }
}

void TfmMain::Local_RightClickMenuPopup(QObject* sender)
{
    QMenu* menu = qobject_cast<QMenu*>(sender);
    const QTreeView* list = menu == Local_RightClickMenu ? ui->LocalDirList : ui->RemoteDirList;
    const CPanelModel* model = menu == Local_RightClickMenu ? FLocalModel : FRemoteModel;
    const QList<QAction*> entries = menu->actions();
    entries[0]->setVisible(false);
    entries[1]->setVisible(false);
    const int row = SelectedRow(list);
    if (row < 0) {
        return;
    }
    entries[model->Rows()[static_cast<std::size_t>(row)].IsFolder ? 1 : 0]->setVisible(true);
}

bool TfmMain::LocalDirListEditing(const CFolderRow& row) const
{
    return row.Caption != "." && row.Caption != "..";
}

void TfmMain::LocalDirListEdited(QObject* sender, int row, const QString& newText)
{
    const CPanelModel* model = sender == ui->LocalDirList ? FLocalModel : FRemoteModel;
    const std::string caption = model->Rows()[static_cast<std::size_t>(row)].Caption;
    const std::string renamed = ToBytes(newText);
    if (sender == ui->LocalDirList) {
        const std::string folder = ToBytes(ui->LocalPath->text());
        RenameLocalEntry(folder + caption, folder + renamed);
        return;
    }
    RemoteMoveFile(caption, renamed);
}

void TfmMain::LocalDirListKeyUp(QObject* sender, int key)
{
    QTreeView* list = sender == ui->LocalDirList ? ui->LocalDirList : ui->RemoteDirList;
    const int row = SelectedRow(list);
    if (!IsConnected() || row < 0) {
        return;
    }
    switch (key) {
    case Qt::Key_Delete:
        DeleteSelectedItem(list == ui->LocalDirList);
        break;
    case Qt::Key_F2:
        list->edit(list->model()->index(row, 0));
        break;
    case Qt::Key_F5:
        RefreshPanel(list != ui->LocalDirList);
        break;
    default:
        break;
    }
}

void TfmMain::DeleteSelectedItem(bool local)
{
    const QTreeView* list = local ? ui->LocalDirList : ui->RemoteDirList;
    CPanelModel* model = local ? FLocalModel : FRemoteModel;
    const int row = SelectedRow(list);
    const CFolderRow selected = model->Rows()[static_cast<std::size_t>(row)];
    if (selected.Caption == "." || selected.Caption == ".." || selected.Caption.empty()) {
        return;
    }
    const QString title = QStringLiteral("Delete ") + (selected.IsFolder ? "folder" : "file");
    const QString text =
        QStringLiteral("Delete\n\n") + FromBytes(selected.Caption) + QStringLiteral("\n\nAre you sure?");
    if (FDialogs->AskYesNo(title, text) != QMessageBox::Yes) {
        return;
    }
    const std::string path = ToBytes(ui->LocalPath->text()) + selected.Caption;
    if (local && selected.IsFolder) {
        DeleteLocalFolderTree(path);
    } else if (local) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    } else if (selected.IsFolder) {
        RemoteDeleteFolder(selected.Caption);
    } else {
        RemoteDeleteFile(selected.Caption);
    }
    // The row goes whatever the outcome; the next refresh shows what is really there.
    model->RemoveRow(row);
}

void TfmMain::RemoteEntryCommand(const std::string& command)
{
    SendCommand(command);
    ReportFailedReply(ReadReply());
}

void TfmMain::RemoteDeleteFile(const std::string& name)
{
    if (!RefuseUnsafeName(name)) {
        RemoteEntryCommand(DeleteFileCommand(name));
    }
}

void TfmMain::RemoteDeleteFolder(const std::string& name)
{
    if (!RefuseUnsafeName(name)) {
        RemoteEntryCommand(DeleteFolderCommand(name));
    }
}

void TfmMain::RemoteMoveFile(const std::string& from, const std::string& to)
{
    if (!RefuseUnsafeName(from) && !RefuseUnsafeName(to)) {
        RemoteEntryCommand(MoveFileCommand(from, to));
    }
}

void TfmMain::CreateNewFolder(bool remote)
{
    QTreeView* list = remote ? ui->RemoteDirList : ui->LocalDirList;
    const CPanelModel* model = remote ? FRemoteModel : FLocalModel;
    const std::string name = NewFolderName(model->Rows());
    if (remote) {
        SendCommand(NewFolderCommand(name));
        if (ReportFailedReply(ReadReply())) {
            return;
        }
        RefreshRemoteList();
    } else {
        std::error_code ignored;
        std::filesystem::create_directory(ToBytes(ui->LocalPath->text()) + name, ignored);
        RefreshLocalList();
    }
    const int found = FindRowByCaption(model->Rows(), name);
    if (found >= 0) {
        const QModelIndex index = model->index(found, 0);
        list->setCurrentIndex(index);
        list->edit(index);
    }
}

void TfmMain::CDialogsSink::ShowMessage(const std::string& text)
{
    FDialogs->ShowMessage(FromBytes(text));
}

void TfmMain::ShowProgress(std::int64_t done, std::int64_t total)
{
    // The gauge counts in int; scale very large transfers so that both ends fit.
    const int shift = total > std::numeric_limits<int>::max() ? 10 : 0;
    ui->Progress->setMaximum(static_cast<int>(total >> shift));
    ui->Progress->setValue(static_cast<int>(done >> shift));
}

void TfmMain::ShowTemporaryFolderFull()
{
    FDialogs->ShowMessage(QStringLiteral("The temporary folder is full or cannot be written:\n\n") +
                          FromBytes(TransferTemporaryFolder().string()));
}

void TfmMain::DownloadSelectedFile(const std::string& caption)
{
    // The till names the file; it must never be able to reach outside the local folder.
    if (!IsPlainFileName(caption)) {
        FDialogs->ShowMessage(QStringLiteral("This name cannot be used for a local file:\n\n") +
                              FromBytes(caption));
        return;
    }
    if (RefuseUnsafeName(caption) || !ConfirmOverwrite(false)) {
        return;
    }
    SendCommand(GetFileCommand(caption));
    const std::string reply = ReadReply();
    if (ReportFailedReply(reply)) {
        return;
    }
    const std::optional<std::int32_t> size = ReadFileReplySize(reply);
    if (!size) {
        return;
    }
    EnsureLocalPathSlash();
    const std::string destination = ToBytes(ui->LocalPath->text()) + caption;
    CDownloadStatus status;
    try {
        status = DownloadFile(
            TCPClient, *size, destination, &FCodecMessages,
            [this](std::int64_t done, std::int64_t total) { ShowProgress(done, total); },
            FOptions.StallLimit);
    } catch (const CSocketStalled& stalled) {
        // What is still on its way can no longer be told apart from the next reply.
        ui->Progress->setValue(0);
        FDialogs->ShowMessage(FromBytes(stalled.what()));
        DisconnectFromTill();
        return;
    }
    if (status == CDownloadStatus::NoTemporaryFile) {
        ShowTemporaryFolderFull();
    } else {
        RefreshLocalList();
    }
    ui->Progress->setValue(0);
    RevealTransferredItem(false);
}

void TfmMain::SendFileToTill(const std::string& name)
{
    EnsureLocalPathSlash();
    const std::string source = ToBytes(ui->LocalPath->text()) + name;
    std::error_code error;
    if (!std::filesystem::exists(source, error) || RefuseUnsafeName(name)) {
        return;
    }
    const CUploadResult result =
        UploadFile(TCPClient, source, name,
                   [this](std::int64_t done, std::int64_t total) { ShowProgress(done, total); });
    ui->Progress->setValue(0);
    switch (result.Status) {
    case CUploadStatus::NotCompressed:
        return;
    case CUploadStatus::TemporaryUnwritable:
        ShowTemporaryFolderFull();
        return;
    case CUploadStatus::TemporaryUnreadable:
        FDialogs->ShowMessage(QStringLiteral("Error opening temporary send file"));
        return;
    case CUploadStatus::TooLarge:
        FDialogs->ShowMessage(QStringLiteral("The file is too large to send to the till."));
        return;
    case CUploadStatus::NameTooLong:
        FDialogs->ShowMessage(QStringLiteral("The file name is too long to send to the till."));
        return;
    case CUploadStatus::Sent:
        if (!IsOkReply(result.Reply)) {
            ReportFailedReply(result.Reply);
        }
        return;
    }
}

bool TfmMain::ConfirmOverwrite(bool upload)
{
    const QTreeView* source = upload ? ui->LocalDirList : ui->RemoteDirList;
    const CPanelModel* sourceModel = upload ? FLocalModel : FRemoteModel;
    const CPanelModel* targetModel = upload ? FRemoteModel : FLocalModel;
    const std::string& caption = sourceModel->Rows()[static_cast<std::size_t>(SelectedRow(source))].Caption;
    if (FindRowByCaption(targetModel->Rows(), caption) < 0) {
        return true;
    }
    const QString text =
        QStringLiteral("Overwrite\n\n") + FromBytes(caption) + QStringLiteral("\n\nAre you sure?");
    return FDialogs->AskYesNo(QStringLiteral("Overwrite file"), text) != QMessageBox::No;
}

void TfmMain::RevealTransferredItem(bool upload)
{
    QTreeView* source = upload ? ui->LocalDirList : ui->RemoteDirList;
    QTreeView* target = upload ? ui->RemoteDirList : ui->LocalDirList;
    const CPanelModel* sourceModel = upload ? FLocalModel : FRemoteModel;
    const CPanelModel* targetModel = upload ? FRemoteModel : FLocalModel;
    const int selected = SelectedRow(source);
    if (selected < 0) {
        return;
    }
    const int found = FindRowByCaption(targetModel->Rows(),
                                       sourceModel->Rows()[static_cast<std::size_t>(selected)].Caption);
    if (found < 0) {
        return;
    }
    source->selectionModel()->clearSelection();
    const QModelIndex index = targetModel->index(found, 0);
    // Selecting through the selection model leaves the keyboard focus where it is.
    target->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    target->scrollTo(index, QAbstractItemView::PositionAtTop);
}

void TfmMain::Refresh1Click(QObject* sender)
{
    if (!IsConnected()) {
        return;
    }
    if (Remote_RightClickMenu->actions().contains(qobject_cast<QAction*>(sender))) {
        RefreshRemoteList();
    } else {
        RefreshLocalList();
    }
}

} // namespace quorral
