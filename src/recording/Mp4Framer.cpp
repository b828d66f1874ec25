#include "recording/Mp4Framer.h"

#include "recording/M4aSongFile.h"
#include "recording/MediaLibrary.h"

#include <cstring>

namespace {

constexpr int ChunkBytes = 4096;
// Whole boxes that must lie ahead of the demuxer's reading.
constexpr size_t BoxesAhead = 3;

} // namespace

Mp4Framer::~Mp4Framer() {
    Close();
}

void Mp4Framer::Close() {
    if (!lib_)
        return;
    if (format_)
        lib_->closeInput(&format_);
    if (avio_) {
        lib_->freep(&avio_->buffer);
        lib_->ioContextFree(&avio_);
    }
    if (packet_)
        lib_->packetFree(&packet_);
}

int Mp4Framer::Read(void *opaque, uint8_t *buf, int size) {
    auto *self = static_cast<Mp4Framer *>(opaque);
    const qsizetype n = qMin<qsizetype>(size, self->buffer_.size() - self->readAt_);
    if (n <= 0)
        return AVERROR_EOF;
    std::memcpy(buf, self->buffer_.constData() + self->readAt_, size_t(n));
    self->readAt_ += n;
    return int(n);
}

void Mp4Framer::Feed(quint64 pos, QByteArrayView bytes) {
    if (!started_) {
        started_ = true;
        bufferPos_ = pos;
    } else if (pos != bufferPos_ + quint64(buffer_.size())) {
        // A fragment lost on the way cannot be read round: the stream is
        // recorded again from its next connection.
        failed_ = true;
    }
    if (failed_)
        return;
    buffer_.append(bytes.data(), bytes.size());
    ScanBoxes();
    Demux(false);
}

void Mp4Framer::ScanBoxes() {
    const quint64 end = bufferPos_ + quint64(buffer_.size());
    while (nextBox_ + 8 <= end) {
        const auto *p =
            reinterpret_cast<const uint8_t *>(buffer_.constData() + (nextBox_ - bufferPos_));
        quint64 size = quint64(p[0]) << 24 | quint64(p[1]) << 16 | quint64(p[2]) << 8 | p[3];
        if (size == 1) { // a 64-bit size follows the type
            if (nextBox_ + 16 > end)
                return;
            size = 0;
            for (int i = 8; i < 16; ++i)
                size = size << 8 | p[i];
        }
        if (size < 8) { // 0 (to the end of the file) or damaged: never whole
            nextBox_ = ~quint64(0) - 16;
            return;
        }
        if (nextBox_ + size > end)
            return;
        nextBox_ += size;
        wholeBoxEnds_.push_back(nextBox_);
    }
}

bool Mp4Framer::EnoughAhead() const {
    const quint64 reading = bufferPos_ + quint64(readAt_);
    size_t ahead = 0;
    for (auto it = wholeBoxEnds_.rbegin(); it != wholeBoxEnds_.rend() && *it > reading; ++it)
        ++ahead;
    return ahead >= BoxesAhead;
}

void Mp4Framer::Finish() {
    if (!failed_)
        Demux(true);
}

bool Mp4Framer::Open() {
    QString reason;
    lib_ = MediaLibrary::Get(&reason);
    if (!lib_) {
        problem_ = QStringLiteral("cannot load %1").arg(reason);
        return false;
    }
    auto *chunk = static_cast<unsigned char *>(lib_->malloc(ChunkBytes));
    avio_ = lib_->ioAllocContext(chunk, ChunkBytes, 0, this, &Mp4Framer::Read, nullptr, nullptr);
    format_ = lib_->allocContext();
    packet_ = lib_->packetAlloc();
    if (!chunk || !avio_ || !format_ || !packet_) {
        if (!avio_)
            lib_->freep(&chunk);
        return false;
    }
    avio_->seekable = 0;
    format_->pb = avio_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (lib_->openInput(&format_, nullptr, lib_->findInputFormat("mp4"), nullptr) < 0) {
        format_ = nullptr; // freed by avformat_open_input on failure
        return false;
    }
    for (unsigned i = 0; i < format_->nb_streams && streamIndex_ < 0; ++i) {
        const AVStream *st = format_->streams[i];
        const AVCodecParameters *par = st->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        auto track = std::make_shared<ContainerTrack>();
        track->CodecId = par->codec_id;
        track->SampleRate = par->sample_rate;
        track->Channels = par->ch_layout.nb_channels;
        track->FrameSize = par->frame_size;
        track->Extradata = QByteArray(reinterpret_cast<const char *>(par->extradata),
                                      par->extradata ? par->extradata_size : 0);
        track->TimeBaseNum = st->time_base.num;
        track->TimeBaseDen = st->time_base.den;
        track_ = std::move(track);
        streamIndex_ = int(i);
    }
    return streamIndex_ >= 0 && track_->SampleRate > 0;
}

void Mp4Framer::Demux(bool atEnd) {
    if (!atEnd && !EnoughAhead())
        return;
    if (!format_ && !Open()) {
        failed_ = true;
        if (problem_.isEmpty())
            problem_ = QStringLiteral("its MP4 form cannot be read");
        return;
    }
    while (atEnd || EnoughAhead()) {
        if (lib_->readFrame(format_, packet_) < 0)
            break;
        if (packet_->stream_index == streamIndex_ && packet_->size > 0) {
            StreamUnit unit;
            unit.Pos = packet_->pos >= 0 ? quint64(packet_->pos) : bufferPos_ + quint64(readAt_);
            unit.End = unit.Pos + quint64(packet_->size);
            unit.Bytes = QByteArray(reinterpret_cast<const char *>(packet_->data), packet_->size);
            unit.Track = track_;
            unit.Pts = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
            unit.Duration = packet_->duration;
            unit.Key = packet_->flags & AV_PKT_FLAG_KEY;
            units_.append(std::move(unit));
        }
        lib_->packetUnref(packet_);
    }
    // What the demuxer has read is done with: it never goes back.
    buffer_.remove(0, readAt_);
    bufferPos_ += quint64(readAt_);
    readAt_ = 0;
    while (!wholeBoxEnds_.empty() && wholeBoxEnds_.front() <= bufferPos_)
        wholeBoxEnds_.pop_front();
}

std::unique_ptr<SongFile> Mp4Framer::NewFile() const {
    return std::make_unique<M4aSongFile>();
}
