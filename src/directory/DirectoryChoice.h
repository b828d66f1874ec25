#pragma once
// One entry of the directory's lists of countries, languages, codecs and
// tags ([{"name": ..., "stationcount": N}, ...]), which fill the find
// window's drop-downs and the tag completion. A plain value; UI thread.
#include <QList>
#include <QString>

class QJsonArray;

class DirectoryChoice {
public:
    QString name;
    int stationCount = 0;

    // The entries of a list answer, in its order; entries without a name
    // (or that are not objects) are left out, and a name that comes twice
    // (the directory lists "germany" and "Germany") is kept once with the
    // counts added up.
    static QList<DirectoryChoice> FromJson(const QJsonArray &array);
    // "Germany (4,321)": the name and how many stations have it.
    QString Caption() const;
};
