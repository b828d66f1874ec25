#pragma once
// Where recorded songs go: <Music>/Quorane/<Station>/<Artist> - <Title>.<ext>,
// a song the recording holds only part of in the station's "Incomplete"
// folder. Files are written in <Music>/Quorane/.recording first and moved
// into place when they are whole; a file of the same name already there is
// kept when it is larger (the more complete recording of the same song from
// the same station wins), replaced when it is smaller. Names are made safe
// for any file system the folder may be shared on. Writer thread.
#include <QString>

class SongLibrary {
public:
    SongLibrary(const QString &musicFolder, const QString &station);

    QString StationFolder() const { return stationFolder_; }
    // A new, unused path in the recorder's own folder (which it creates).
    // Empty with the reason when the folder cannot be made.
    QString TemporaryPath(const QString &extension, QString &reason);

    enum class Outcome { Placed, KeptOlder, Failed };
    // Moves a finished file to its place; `placed` is where it went (or the
    // older file that was kept).
    Outcome Place(const QString &temporary, const QString &songName, const QString &extension,
                  bool complete, QString &placed, QString &reason);

    // A text as a file or folder name: characters that file systems refuse
    // (/ \ : * ? " < > | and control characters) and leading dots become
    // "_", trailing dots and spaces go, and the name stays within 200 bytes.
    // `fallback` when nothing is left.
    static QString SafeName(const QString &text, const QString &fallback);
    // "Artist - Title" as the file's name, or the title alone.
    static QString SongName(const QString &artist, const QString &title);

private:
    QString root_;          // <Music>/Quorane
    QString stationFolder_; // root_/<Station>
    quint64 counter_ = 0;
};
