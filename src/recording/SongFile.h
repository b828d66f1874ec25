#pragma once
// A song's file being written: opened in the recorder's own folder with the
// song's tags, fed the stream's units in order, then closed (and moved into
// place by SongLibrary) or discarded. One implementation per form of
// stream. Writer thread.
#include "recording/SongTags.h"
#include "recording/StreamUnit.h"

#include <QString>

class SongFile {
public:
    virtual ~SongFile() = default;
    // Each returns false with the reason in `reason` when the disk refused.
    virtual bool Open(const QString &path, const SongTags &tags, QString &reason) = 0;
    // A unit the file cannot hold (an Ogg page whose stream's headers were
    // never seen) is skipped: true, nothing written.
    virtual bool Write(const StreamUnit &unit, QString &reason) = 0;
    // Writes what is held back and closes; the file is complete on disk.
    virtual bool Close(QString &reason) = 0;
    // True once any audio was written.
    virtual bool HasAudio() const = 0;
};
