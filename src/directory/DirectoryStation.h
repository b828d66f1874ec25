#pragma once
// One station of the community directory, as a search answers it. The
// directory's data is entered by the public: any field may be missing,
// empty, null or of another JSON type than documented, so FromJson takes
// what it can read and leaves the rest empty (or 0); it never fails.
// Texts lose their control characters (a tab or a line break in a name would
// break the table and the station line) and keep everything else, UTF-8
// included. A plain value; used on the UI thread.
#include <QString>

class QJsonValue;

class DirectoryStation {
public:
    QString stationUuid;
    QString name;
    QString url;         // as the station entered it
    QString urlResolved; // playlists and redirects already followed
    QString homepage;
    QString tags; // comma-separated
    QString country;
    QString language; // comma-separated
    QString codec;
    int bitrate = 0; // kbit/s, 0 when unknown
    int votes = 0;
    int clickCount = 0;
    bool lastCheckOk = false;

    static DirectoryStation FromJson(const QJsonValue &value);

    // What to play: the resolved address, else the one entered.
    QString PlayUrl() const;
    // The first of the tags, the station's genre in the list.
    QString FirstTag() const;
    // The tags as the list shows them: ", " between them.
    QString TagText() const;
    // The station as a line of the station list: name, description (the
    // tags), genre (the first tag), country, language, stream URL,
    // additional URL (the homepage), each followed by a tab.
    QString StationLine() const;
};
