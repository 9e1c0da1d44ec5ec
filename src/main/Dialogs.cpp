#include "main/Dialogs.h"

#include <QCoreApplication>

#include <exception>

namespace quorral {
namespace {

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void RunGuarded(CDialogs& dialogs, const std::function<void()>& handler) noexcept
{
    try {
        try {
            handler();
        } catch (const std::exception& escaped) {
            dialogs.ShowException(QString::fromLocal8Bit(escaped.what()));
        } catch (...) {
            dialogs.ShowException(QString());
        }
    } catch (...) {
        // Showing the box failed as well (out of memory): there is nothing left to tell anyone.
    }
}

QString ExceptionBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) {
        return message + QLatin1Char('.');
    }
    return message;
}

void CMessageBoxDialogs::ShowMessage(const QString& text)
{
    ShowBox(FParent, QMessageBox::NoIcon, QCoreApplication::applicationName(), text);
}

QMessageBox::StandardButton CMessageBoxDialogs::AskYesNo(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, FParent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void CMessageBoxDialogs::ShowFailure(const QString& text)
{
    ShowBox(FParent, QMessageBox::NoIcon, QStringLiteral("Error"), text);
}

void CMessageBoxDialogs::ShowException(const QString& text)
{
    ShowBox(FParent, QMessageBox::Critical, QCoreApplication::applicationName(), ExceptionBoxText(text));
}

} // namespace quorral
