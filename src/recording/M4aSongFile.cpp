#include "recording/M4aSongFile.h"

#include "recording/ContainerTrack.h"
#include "recording/MediaLibrary.h"

#include <QFile>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

M4aSongFile::~M4aSongFile() {
    Free();
}

void M4aSongFile::Free() {
    if (!lib_)
        return;
    if (out_) {
        if (out_->pb)
            lib_->ioClose(&out_->pb);
        lib_->freeContext(out_);
        out_ = nullptr;
    }
    if (packet_)
        lib_->packetFree(&packet_);
}

bool M4aSongFile::Open(const QString &path, const SongTags &tags, QString &reason) {
    lib_ = MediaLibrary::Get(&reason);
    if (!lib_)
        return false;
    path_ = path;
    tags_ = tags;
    // The file is made with the first packet, which brings the track; until
    // then an empty file holds the name.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        reason = file.errorString();
        return false;
    }
    return true;
}

bool M4aSongFile::Begin(const StreamUnit &unit, QString &reason) {
    track_ = unit.Track;
    const QByteArray name = QFile::encodeName(path_);
    int r = lib_->allocOutput(&out_, nullptr, "ipod", name.constData());
    if (r < 0 || !out_) {
        reason = lib_->ErrorText(r);
        return false;
    }
    AVStream *st = lib_->newStream(out_, nullptr);
    packet_ = lib_->packetAlloc();
    if (!st || !packet_) {
        reason = lib_->ErrorText(AVERROR(ENOMEM));
        return false;
    }
    AVCodecParameters *par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = static_cast<AVCodecID>(track_->CodecId);
    par->sample_rate = track_->SampleRate;
    par->frame_size = track_->FrameSize;
    lib_->defaultLayout(&par->ch_layout, track_->Channels);
    if (!track_->Extradata.isEmpty()) {
        const size_t n = size_t(track_->Extradata.size());
        par->extradata = static_cast<uint8_t *>(lib_->malloc(n + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) {
            reason = lib_->ErrorText(AVERROR(ENOMEM));
            return false;
        }
        std::memset(par->extradata + n, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        std::memcpy(par->extradata, track_->Extradata.constData(), n);
        par->extradata_size = int(n);
    }
    st->time_base = AVRational{1, track_->SampleRate};
    const auto tag = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            lib_->dictSet(&out_->metadata, key, value.toUtf8().constData(), 0);
    };
    tag("title", tags_.Title);
    tag("artist", tags_.Artist);
    tag("album", tags_.Album);
    tag("date", tags_.Date);
    tag("comment", tags_.Comment);
    if ((r = lib_->ioOpen(&out_->pb, name.constData(), AVIO_FLAG_WRITE)) < 0 ||
        (r = lib_->writeHeader(out_, nullptr)) < 0) {
        reason = lib_->ErrorText(r);
        return false;
    }
    firstPts_ = unit.Pts;
    return true;
}

bool M4aSongFile::Write(const StreamUnit &unit, QString &reason) {
    if (!unit.Track || unit.Bytes.isEmpty())
        return true;
    if (!out_ && !Begin(unit, reason))
        return false;
    // A file holds one track: packets of another set-up cannot join it.
    if (!unit.Track->SameAs(*track_))
        return true;
    const AVRational from{unit.Track->TimeBaseNum, unit.Track->TimeBaseDen};
    AVStream *st = out_->streams[0];
    qint64 pts = lib_->rescale(unit.Pts - firstPts_, from, st->time_base);
    if (pts <= lastPts_)
        pts = lastPts_ + 1; // the muxer takes only rising time stamps
    lastPts_ = pts;
    packet_->data = reinterpret_cast<uint8_t *>(const_cast<char *>(unit.Bytes.constData()));
    packet_->size = int(unit.Bytes.size());
    packet_->stream_index = 0;
    packet_->pts = packet_->dts = pts;
    packet_->duration = lib_->rescale(unit.Duration, from, st->time_base);
    packet_->flags = unit.Key ? AV_PKT_FLAG_KEY : 0;
    // The muxer copies what it keeps of a packet that is not reference
    // counted, so the unit's bytes may be lent.
    int r = lib_->writeFrame(out_, packet_);
    packet_->data = nullptr;
    packet_->size = 0;
    if (r >= 0 && out_->pb->error < 0)
        r = out_->pb->error; // a write to the disk failed
    if (r < 0) {
        reason = lib_->ErrorText(r);
        return false;
    }
    hasAudio_ = true;
    return true;
}

bool M4aSongFile::Close(QString &reason) {
    int r = 0;
    if (out_ && hasAudio_)
        r = lib_->writeTrailer(out_);
    if (out_ && out_->pb) {
        const int closed = lib_->ioClose(&out_->pb);
        if (r >= 0)
            r = closed;
    }
    Free();
    if (r < 0) {
        reason = lib_->ErrorText(r);
        return false;
    }
    // Its bytes on the disk before it is renamed into place.
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        reason = QString::fromLocal8Bit(std::strerror(errno));
    return synced;
}
