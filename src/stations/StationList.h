#pragma once
// StationList: the ordered list of station lines the main window shows and
// plays. Lines are kept exactly as read (no parsing, duplicates allowed,
// never sorted). Positions outside the list fail with "List index out of
// bounds (%d)" and leave the list unchanged. The lines are stored compactly
// (StationLines) and made into text when asked for. UI thread only.
#include "stations/StationLines.h"

#include <QString>
#include <QStringList>

class StationList {
public:
    int Count() const { return int(lines_.Count()); }
    QString Line(int i) const;
    void Insert(int i, const QString &line);
    void Delete(int i);
    void Clear();
    const StationLines &Lines() const { return lines_; }
    void Assign(StationLines lines);
    void Assign(const QStringList &lines);
    // Counts every change, so the program can tell whether the user changed
    // the list since a given moment.
    quint64 Revision() const { return revision_; }

    // Replaces the content with the file's lines once the file has been read;
    // when it cannot be read the list is unchanged and QuoraneError is raised.
    void LoadFromFile(const QString &path);
    // Writes every line followed by CR LF in the 8-bit code page, replacing
    // the file atomically; raises QuoraneError when it cannot.
    void SaveToFile(const QString &path) const;

private:
    [[noreturn]] static void OutOfBounds(int i);
    StationLines lines_;
    quint64 revision_ = 0;
};
