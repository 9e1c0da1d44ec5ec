#include "main/FormLook.h"

#include "vistafuncs/VistaFuncs.h"

#include <QPalette>
#include <QWidget>

namespace quorral {

void ApplyFormLook(QWidget& form, std::initializer_list<QWidget*> edits)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    form.setFont(font);
    for (QWidget* edit : edits) {
        QPalette palette = edit->palette();
        palette.setColor(QPalette::Base, QColor(249, 252, 255));
        palette.setColor(QPalette::Text, Qt::black);
        edit->setPalette(palette);
    }
}

void AdjustFormForVista(QWidget& form)
{
    int width = form.width();
    int height = form.height();
    VistaFuncs().Adjust(width, height);
    form.resize(width, height);
}

} // namespace quorral
