#pragma once
// What the find window asks of the window that holds the station list and
// the player (the main window): play a station, add a station line to the
// list, put a stream address in a favourite slot. The find window knows
// this interface, not the main window. UI thread only.
#include <QByteArray>
#include <QString>

class DirectoryHost {
public:
    virtual ~DirectoryHost() = default;
    // Plays `url` (8-bit text) as the list's play command plays a station
    // called `name`.
    virtual void PlayDirectoryStation(const QString &name, const QByteArray &url) = 0;
    // Puts `line` at the top of the station list and shows it at once.
    virtual void AddStationLine(const QString &line) = 0;
    // Slot 1 ... 14 now holds `url` (8-bit text).
    virtual void SetFavoriteUrl(int slot, const QByteArray &url) = 0;
};
