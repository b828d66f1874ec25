#include "recording/MpegSongFile.h"

#include "recording/Id3v24Tag.h"
#include "recording/SongFileIo.h"

bool MpegSongFile::Open(const QString &path, const SongTags &tags, QString &reason) {
    return SongFileIo::Open(file_, path, reason) &&
           SongFileIo::Write(file_, Id3v24Tag::Build(tags), reason);
}

bool MpegSongFile::Write(const StreamUnit &unit, QString &reason) {
    hasAudio_ = true;
    return SongFileIo::Write(file_, unit.Bytes, reason);
}

bool MpegSongFile::Close(QString &reason) {
    return SongFileIo::Close(file_, reason);
}
