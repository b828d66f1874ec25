#pragma once
// Reading and writing station files (the station list and the lists of Load
// list and Save list).
#include "stations/StationLines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace StationFile {
// The largest list file that is read; a list of a million stations takes
// about 100 MiB.
constexpr qint64 MaxFileSize = qint64(512) << 20;

// Reads the file's lines; raises QuoraneError "Cannot open file "<path>".
// <reason>" when it cannot be opened or read, is not a regular file (a
// folder, a FIFO, a device) or is larger than MaxFileSize. It reads in
// blocks, so the memory it needs is that of the lines it returns.
StationLines Read(const QString &path);
// Writes `lines`, each followed by CR LF, in the 8-bit code page with no
// mark, through a temporary file renamed over the old one; raises
// QuoraneError "Cannot create file "<path>". <reason>" and leaves the old
// file untouched when that fails.
void Write(const QString &path, const StationLines &lines);

// The text of a file's bytes, by its mark: FF FE UTF-16LE, FE FF UTF-16BE,
// EF BB BF UTF-8, else the 8-bit code page (in a UTF-8 page: line by line,
// UTF-8 for a line that is valid UTF-8, else windows-1252). The text ends
// at its first NUL.
QString Decode(const QByteArray &bytes);
// Splits at CR LF, lone CR and LF; a line end at the very end adds no line.
QStringList SplitLines(const QString &text);
} // namespace StationFile
