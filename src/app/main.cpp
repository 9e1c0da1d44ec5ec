// The application entry: the main window and the message loop.
#include "main/Main.h"
#include "main/Dialogs.h"
#include "main/Style.h"
#include "vistafuncs/VistaFuncs.h"

#include <QApplication>

#include <exception>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    try {
        quorral::ApplyOfficeLook(application);
        // Measured once, before the first window asks for it.
        quorral::VistaFuncs();
        quorral::TfmMain fmMain;
        fmMain.show();
        return QApplication::exec();
    } catch (...) {
        QString text;
        try {
            throw;
        } catch (const std::exception& error) {
            text = QString::fromLocal8Bit(error.what());
        } catch (...) {
        }
        quorral::CMessageBoxDialogs(nullptr).ShowException(text);
    }
    return 1;
}
