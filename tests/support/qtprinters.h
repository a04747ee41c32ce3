#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Lets GoogleTest show a QString as text in a failure message (found by argument lookup).
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}
