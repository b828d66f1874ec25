#pragma once
// A song of an MP3, MP2 or ADTS AAC stream: an ID3v2.4 tag, then the
// stream's frames exactly as they came. Writer thread.
#include "recording/DiskFile.h"
#include "recording/SongFile.h"

class MpegSongFile : public SongFile {
public:
    bool Open(const QString &path, const SongTags &tags, QString &reason) override;
    bool Write(const StreamUnit &unit, QString &reason) override;
    bool Close(QString &reason) override;
    bool HasAudio() const override { return hasAudio_; }

private:
    DiskFile file_;
    bool hasAudio_ = false;
};
