#pragma once
// A song of an AAC stream in LATM or MP4 form: its packets as they came, in
// an .m4a file made by libavformat's MP4 muxer (MediaLibrary, loaded the
// first time such a file is written), with the song's tags as the file's
// metadata. Time stamps count from the file's start. Writer thread.
#include "recording/SongFile.h"

#include <memory>

struct AVFormatContext;
struct AVPacket;
struct MediaLibrary;

class M4aSongFile : public SongFile {
public:
    ~M4aSongFile() override;
    bool Open(const QString &path, const SongTags &tags, QString &reason) override;
    bool Write(const StreamUnit &unit, QString &reason) override;
    bool Close(QString &reason) override;
    bool HasAudio() const override { return hasAudio_; }

private:
    // Makes the file with the first unit's track.
    bool Begin(const StreamUnit &unit, QString &reason);
    void Free();

    const MediaLibrary *lib_ = nullptr;
    QString path_;
    SongTags tags_;
    AVFormatContext *out_ = nullptr;
    AVPacket *packet_ = nullptr;
    std::shared_ptr<const ContainerTrack> track_;
    qint64 firstPts_ = 0;
    qint64 lastPts_ = -1; // in the file's time base
    bool hasAudio_ = false;
};
