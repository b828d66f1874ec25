#pragma once
// Reading and writing station files (the station list and the lists of Load
// list and Save list).
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace StationFile {
// Reads the file's lines; raises QuoraneError "Cannot open file "<path>".
// <reason>" when it cannot be opened or read.
QStringList Read(const QString &path);
// Writes `lines`, each followed by CR LF, in the 8-bit code page with no
// mark, through a temporary file renamed over the old one; raises
// QuoraneError "Cannot create file "<path>". <reason>" and leaves the old
// file untouched when that fails.
void Write(const QString &path, const QStringList &lines);

// The text of a file's bytes, by its mark: FF FE UTF-16LE, FE FF UTF-16BE,
// EF BB BF UTF-8, else the 8-bit code page. The text ends at its first NUL.
QString Decode(const QByteArray &bytes);
// Splits at CR LF, lone CR and LF; a line end at the very end adds no line.
QStringList SplitLines(const QString &text);
} // namespace StationFile
