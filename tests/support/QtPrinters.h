#pragma once

// Lets gtest print the Qt values that widget tests compare.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* out)
{
    *out << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QStringList& value, std::ostream* out)
{
    *out << '[' << value.join(QStringLiteral("|")).toStdString() << ']';
}
inline void PrintTo(const QRect& value, std::ostream* out)
{
    *out << "QRect(" << value.x() << ", " << value.y() << ", " << value.width() << ", " << value.height()
         << ')';
}
inline void PrintTo(const QPoint& value, std::ostream* out)
{
    *out << "QPoint(" << value.x() << ", " << value.y() << ')';
}
inline void PrintTo(const QSize& value, std::ostream* out)
{
    *out << "QSize(" << value.width() << ", " << value.height() << ')';
}
