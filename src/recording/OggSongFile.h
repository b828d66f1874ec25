#pragma once
// A song of an Ogg stream: for each logical stream it holds pages of, that
// stream's header pages with the comments replaced by the song's tags, then
// its audio pages as they came, renumbered, their granule positions counted
// from the file's start and their checksums made anew; the next link of a
// chain encoded alike goes on in the same logical stream. A file never starts
// or ends inside a packet, and each logical stream in it ends on a page
// marked last. Writer thread.
#include "recording/DiskFile.h"
#include "recording/SongFile.h"

#include <optional>

class OggSongFile : public SongFile {
public:
    bool Open(const QString &path, const SongTags &tags, QString &reason) override;
    bool Write(const StreamUnit &unit, QString &reason) override;
    bool Close(QString &reason) override;
    bool HasAudio() const override { return hasAudio_; }

private:
    bool BeginStream(const StreamUnit &unit, QString &reason);
    // Writes the page held back (the last one of its stream when `last`).
    bool WriteHeld(bool last, QString &reason);

    DiskFile file_;
    SongTags tags_;
    bool hasAudio_ = false;
    // The logical stream being written and how its pages are renumbered.
    std::shared_ptr<const OggHeaders> stream_;
    uint32_t serial_ = 0;
    uint32_t sequence_ = 0;
    qint64 granuleOffset_ = 0;   // subtracted from the source's granule positions
    qint64 lastGranule_ = 0;     // the last granule position written
    int lastBlock_ = 0;          // Vorbis: the block size of the last packet written
    QByteArray openStart_;       // the first byte of a packet that ran on to the next page
    bool awaitingAudio_ = false; // no audio page of this stream written yet
    // The latest page, held back until it is known whether it is its
    // stream's last in this file.
    std::optional<OggPage> held_;
};
