#pragma once
// What a recorded song's file is tagged with, whatever its format: ID3v2.4
// frames for MP3 and AAC, the comment header for Ogg, metadata for .m4a.
// A value; any thread.
#include <QString>

struct SongTags {
    QString Title;
    QString Artist;  // empty when the stream's title had no "Artist - " part
    QString Album;   // the station's name
    QString Date;    // the day it was recorded, "yyyy-MM-dd"
    QString Comment; // the stream's address
};
