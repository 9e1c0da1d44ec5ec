#pragma once

#include "main/Dialogs.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace quorral::test {

// Records every box the window shows and answers questions from a script (Yes when it runs out).
class CScriptedDialogs final : public CDialogs
{
public:
    enum class CKind { Message, Question, Failure, Exception };
    struct CShown
    {
        CKind Kind;
        QString Title;
        QString Text;
    };

    void ShowMessage(const QString& text) override { FShown.push_back({CKind::Message, {}, text}); }
    QMessageBox::StandardButton AskYesNo(const QString& title, const QString& text) override
    {
        FShown.push_back({CKind::Question, title, text});
        if (FAnswers.empty()) {
            return QMessageBox::Yes;
        }
        const QMessageBox::StandardButton answer = FAnswers.front();
        FAnswers.pop_front();
        return answer;
    }
    void ShowFailure(const QString& text) override { FShown.push_back({CKind::Failure, "Error", text}); }
    void ShowException(const QString& text) override
    {
        FShown.push_back({CKind::Exception, {}, ExceptionBoxText(text)});
    }

    void Answer(QMessageBox::StandardButton answer) { FAnswers.push_back(answer); }
    const std::vector<CShown>& Shown() const { return FShown; }
    // The texts of every box shown so far, in order.
    QStringList Texts() const
    {
        QStringList texts;
        for (const CShown& shown : FShown) {
            texts << shown.Text;
        }
        return texts;
    }
    void Clear() { FShown.clear(); }

private:
    std::deque<QMessageBox::StandardButton> FAnswers;
    std::vector<CShown> FShown;
};

} // namespace quorral::test
