#pragma once
// A station line: seven tab-separated fields (name, description, genre,
// country, language, stream URL, additional URL), stored whole and taken
// apart on demand.
#include <QChar>
#include <QString>

// The n-th field (from 1) of `line`, fields separated by `separator`. A line
// without a trailing separator reads as if it had one; missing fields, and
// n <= 0, give the empty text.
QString ExtractField(QChar separator, const QString &line, int n);

// Field numbers of a station line.
namespace StationField {
constexpr int Name = 1, Description = 2, Genre = 3, Country = 4, Language = 5, Url = 6,
              AdditionalUrl = 7;
}
