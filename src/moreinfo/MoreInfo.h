#pragma once

#include <QDialog>
#include <QPointer>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Ui {
class TfmMoreInfo;
}

namespace quorral {

// Every detail one till gave about itself, as name and value rows.
class TfmMoreInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TfmMoreInfo(QWidget* parent = nullptr);
    ~TfmMoreInfo() override;

    // Replaces the rows with these name and value pairs.
    void ShowDetails(const std::vector<std::pair<std::string, std::string>>& details);

private:
    void FormCreate();
    void OkButtonClick();

    std::unique_ptr<Ui::TfmMoreInfo> ui;
};

// The one More info window while it exists; it goes with the Detect Hosts window that made it.
extern QPointer<TfmMoreInfo> fmMoreInfo;

} // namespace quorral
