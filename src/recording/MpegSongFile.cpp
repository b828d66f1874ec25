#include "recording/MpegSongFile.h"

#include "recording/Id3v24Tag.h"

bool MpegSongFile::Open(const QString &path, const SongTags &tags, QString &reason) {
    return file_.Open(path, reason) && file_.Write(Id3v24Tag::Build(tags), reason);
}

bool MpegSongFile::Write(const StreamUnit &unit, QString &reason) {
    hasAudio_ = true;
    return file_.Write(unit.Bytes, reason);
}

bool MpegSongFile::Close(QString &reason) {
    return file_.Close(reason);
}
