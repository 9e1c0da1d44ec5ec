#pragma once

// A main window connected to the scripted fake till, in a working folder of its own.

#include "FakeTill.h"
#include "QtPrinters.h"
#include "ScriptedDialogs.h"
#include "main/Main.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace quorral::test {

using namespace std::chrono_literals;

// Short waits keep the suite quick; the rules under test do not depend on the figures.
inline CMainOptions QuickOptions()
{
    CMainOptions options;
    options.ReplyWait = 200ms;
    options.ConnectTimeout = 5000ms;
    options.StallLimit = 500ms;
    return options;
}

inline const std::string CurDirReply = "<CURDIR>C:\\TILL</CURDIR>";
inline const std::string ListingReply =
    "<DIR><FILE><NAME>b.txt</NAME></FILE><FOLDER><NAME>Data</NAME></FOLDER>"
    "<FOLDER><NAME>.</NAME></FOLDER><FILE><NAME>a.txt</NAME></FILE>"
    "<FOLDER><NAME>..</NAME></FOLDER></DIR>";

class CConnectedWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FOldCurrent = std::filesystem::current_path();
        FRoot = std::filesystem::temp_directory_path() / ("quorral-window-" + std::to_string(::getpid()));
        FWork = FRoot / "work";
        FTemporary = FRoot / "tmp";
        std::filesystem::remove_all(FRoot);
        std::filesystem::create_directories(FWork / "Sub");
        std::filesystem::create_directories(FTemporary);
        std::ofstream(FWork / "note.txt") << "x";
        std::filesystem::current_path(FWork);
        // Transfers keep their temporary files here, where a test can see what is left behind.
        if (const char* old = std::getenv("TMPDIR")) {
            FOldTemporary = old;
        }
        ::setenv("TMPDIR", FTemporary.c_str(), 1);
    }
    void TearDown() override
    {
        FWindow.DisconnectFromTill();
        FTill.Join();
        std::filesystem::current_path(FOldCurrent);
        if (FOldTemporary.empty()) {
            ::unsetenv("TMPDIR");
        } else {
            ::setenv("TMPDIR", FOldTemporary.c_str(), 1);
        }
        std::filesystem::remove_all(FRoot);
    }

    // Connects; the till answers the two refresh exchanges with `listing`, then plays `rest`.
    void Connect(CFakeTill::Script rest = {}, const std::string& listing = ListingReply)
    {
        FTill.Play([rest, listing](CFakeTillSession& till) {
            till.ExpectCommand("<GETCURDIR/>\r\n");
            till.SendReply(CurDirReply);
            till.ExpectCommand("<GETDIRLIST/>\r\n");
            till.SendReply(listing);
            if (rest) {
                rest(till);
            }
            till.WaitForClientClose();
        });
        Get<QComboBox>("Port")->setEditText(QString::number(FTill.Port()));
        ASSERT_TRUE(FWindow.ConnectToTill()) << FDialogs.Texts().join('|').toStdString();
    }

    template <class T>
    T* Get(const char* name)
    {
        T* widget = FWindow.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QStringList Captions(const char* list)
    {
        QStringList rows;
        const QAbstractItemModel* model = Get<QTreeView>(list)->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            rows << model->index(row, 0).data().toString() + model->index(row, 1).data().toString();
        }
        return rows;
    }
    void Select(const char* list, const QString& caption)
    {
        auto* view = Get<QTreeView>(list);
        const QModelIndexList found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole,
                                                           caption, 1, Qt::MatchFixedString);
        ASSERT_FALSE(found.isEmpty()) << caption.toStdString();
        view->setCurrentIndex(found.first());
    }
    void PressEnter(const char* field) { QTest::keyClick(Get<QLineEdit>(field), Qt::Key_Return); }

    std::filesystem::path FOldCurrent;
    std::string FOldTemporary;
    std::filesystem::path FRoot;
    std::filesystem::path FWork;
    std::filesystem::path FTemporary;
    CFakeTill FTill;
    CScriptedDialogs FDialogs;
    TfmMain FWindow{&FDialogs, QuickOptions()};
};

} // namespace quorral::test
