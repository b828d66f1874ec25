#pragma once
// SongEntry: one title the listener heard: when it came (the local time
// with its offset from UTC at that moment), the station as the now-playing
// panel named it then, and the stream's own title. A plain value; whoever
// holds it owns it.
#include <QDateTime>
#include <QString>

struct SongEntry {
    QDateTime time;
    QString station;
    QString title;

    bool operator==(const SongEntry &other) const = default;
};
