#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable Qt strings in GoogleTest's failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* os) {
    *os << "{ ";
    for (const QString& text : texts) {
        PrintTo(text, os);
        *os << ' ';
    }
    *os << '}';
}
