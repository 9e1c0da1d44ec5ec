#include "moreinfo/MoreInfo.h"

#include "main/FormLook.h"
#include "ui_MoreInfo.h"

namespace quorral {

QPointer<TfmMoreInfo> fmMoreInfo;

TfmMoreInfo::TfmMoreInfo(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfmMoreInfo>())
{
    ui->setupUi(this);
    ApplyFormLook(*this, {ui->InfoList});
    ui->InfoList->setColumnWidth(0, 120);
    ui->InfoList->setColumnWidth(1, 180);
    connect(ui->OkButton, &QPushButton::clicked, this, &TfmMoreInfo::OkButtonClick);
    FormCreate();
}

TfmMoreInfo::~TfmMoreInfo() = default;

void TfmMoreInfo::FormCreate()
{
    AdjustFormForVista(*this);
}

void TfmMoreInfo::ShowDetails(const std::vector<std::pair<std::string, std::string>>& details)
{
    ui->InfoList->clear();
    for (const auto& [name, value] : details) {
        ui->InfoList->addTopLevelItem(
            new QTreeWidgetItem(QStringList{QString::fromLocal8Bit(name), QString::fromLocal8Bit(value)}));
    }
}

// Closing only hides the window: the next reply of the same till shows it again.
void TfmMoreInfo::OkButtonClick()
{
    close();
}

} // namespace quorral
