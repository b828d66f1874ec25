#pragma once
// Qt's texts in the failure messages as text, not as bytes.
#include <QString>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}
