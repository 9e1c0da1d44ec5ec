#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace quorral {

// Every message box of the program goes through here, so tests can script the operator's answers
// and read the exact texts and titles.
class CDialogs
{
public:
    virtual ~CDialogs() = default;

    // The plain box: the text, an OK button, the application's title as caption, no icon.
    virtual void ShowMessage(const QString& text) = 0;
    // A modal question with Yes and No and no icon; returns the button the operator chose.
    virtual QMessageBox::StandardButton AskYesNo(const QString& title, const QString& text) = 0;
    // A till's failure text in the box captioned "Error".
    virtual void ShowFailure(const QString& text) = 0;
    // An error that escaped an event handler: error icon, OK, the application's title as caption.
    virtual void ShowException(const QString& text) = 0;
};

// Runs one event handler so that nothing it throws reaches Qt's event loop: an error that escapes
// is shown in the error box and the handler simply ends there.
void RunGuarded(CDialogs& dialogs, const std::function<void()>& handler) noexcept;

// The escaped-error text as the operator sees it: a full stop is added when the last character
// sorts after ".".
QString ExceptionBoxText(const QString& message);

// The real boxes, parented to the given window.
class CMessageBoxDialogs final : public CDialogs
{
public:
    explicit CMessageBoxDialogs(QWidget* parent) : FParent(parent) {}

    void ShowMessage(const QString& text) override;
    QMessageBox::StandardButton AskYesNo(const QString& title, const QString& text) override;
    void ShowFailure(const QString& text) override;
    void ShowException(const QString& text) override;

private:
    QWidget* FParent;
};

} // namespace quorral
