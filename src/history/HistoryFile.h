#pragma once
// HistoryFile: the text form of the song history, History.txt beside the
// settings file. One entry a line, oldest first: the time in ISO 8601 with
// the local offset, a tab, the station, a tab, the title; UTF-8, "\n" line
// ends. Pure functions of their arguments, callable from any thread.
#include "history/SongEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace HistoryFile {

// What reading the file found.
struct Contents {
    QList<SongEntry> entries; // oldest first, at most `limit` (the newest)
    // The file is there but could not be used (no right, not a file, not
    // UTF-8, a line that is not an entry): it must be left as it is.
    bool unreadable = false;
    QString reason;
};

// Reads `path`; a missing file is an empty history. Keeps the newest
// `limit` entries.
Contents Read(const QString &path, int limit);
// Parses the file's bytes as Read() does.
Contents Parse(const QByteArray &bytes, int limit);
// The file's bytes for `entries` (oldest first).
QByteArray Format(const QList<SongEntry> &entries);
// One entry's line without its line end.
QByteArray FormatLine(const SongEntry &entry);
// A station or title as a line can hold it: tabs and line breaks become
// spaces, blanks at both ends go.
QString Clean(const QString &text);

} // namespace HistoryFile
