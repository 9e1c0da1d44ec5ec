#include "main/Main.h"

#include "files/LocalPath.h"
#include "main/PanelModel.h"
#include "ui_Main.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QResizeEvent>
#include <QScreen>

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

const QColor EditBackground(249, 252, 255);

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
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    for (QWidget* edit : std::initializer_list<QWidget*>{ui->HostIP, ui->Port, ui->LocalPath, ui->RemotePath,
                                                         ui->LocalDirList, ui->RemoteDirList}) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, EditBackground);
        palette.setColor(QPalette::Text, Qt::black);
        edit->setPalette(palette);
    }
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

TfmMain::~TfmMain() = default;

void TfmMain::FormCreate()
{
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
    connect(ui->LocalDirList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu(ui->LocalDirList, Local_RightClickMenu, at); });
    connect(ui->RemoteDirList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu(ui->RemoteDirList, Remote_RightClickMenu, at); });
}

void TfmMain::PopupMenu(QTreeView* list, QMenu* menu, const QPoint& position)
{
    menu->popup(list->viewport()->mapToGlobal(position));
}

template <class Handler>
void TfmMain::Guarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (...) {
        ShowEscapedError(std::current_exception());
    }
}

void TfmMain::ShowEscapedError(std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& escaped) {
            FDialogs->ShowException(QString::fromLocal8Bit(escaped.what()));
        } catch (...) {
            FDialogs->ShowException(QString());
        }
    } catch (...) {
        // Showing the box failed as well (out of memory): there is nothing left to tell anyone.
    }
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

void TfmMain::TCPClientConnected()
{}

} // namespace quorral
