#include "main/Style.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace quorral {

void ApplyOfficeLook(QApplication& application)
{
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(214, 228, 245));
    palette.setColor(QPalette::WindowText, QColor(21, 66, 139));
    palette.setColor(QPalette::Button, QColor(228, 238, 250));
    palette.setColor(QPalette::ButtonText, QColor(21, 66, 139));
    palette.setColor(QPalette::Base, QColor(249, 252, 255));
    palette.setColor(QPalette::AlternateBase, QColor(235, 243, 252));
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(255, 214, 110));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 236));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(141, 160, 186));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(141, 160, 186));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(141, 160, 186));
    application.setPalette(palette);
    application.setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #8DB2E3; border-radius: 2px; background: #F9FCFF; text-align: "
        "center; }"
        "QProgressBar::chunk { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #B8E08F, stop:1 "
        "#6FBF3A); }"));
}

} // namespace quorral
