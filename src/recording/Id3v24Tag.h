#pragma once
// The ID3v2.4 tag that opens a recorded MP3 or AAC (ADTS) file: title,
// artist, album (the station), recording date and a comment with the
// stream's address, all in UTF-8. Stateless; any thread.
#include "recording/SongTags.h"

#include <QByteArray>

class Id3v24Tag {
public:
    // The whole tag, header included; empty values get no frame.
    static QByteArray Build(const SongTags &tags);
};
