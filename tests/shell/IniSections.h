#pragma once
// The section names of an INI file's bytes, in file order: what the tests of
// the program's end compare the written window places by.
#include <QByteArray>
#include <QString>
#include <QStringList>

inline QStringList IniSections(const QByteArray &ini) {
    QStringList out;
    for (const QByteArray &line : ini.split('\n'))
        if (line.startsWith('['))
            out.append(QString::fromUtf8(line.mid(1, line.indexOf(']') - 1)));
    return out;
}
