#pragma once
// Packets of an MP4 stream (the fragmented MP4 of HLS, or an MP4 sent whole
// with its index first), read by libavformat's own demuxer (MediaLibrary) on
// the writer thread from the bytes as they come. The demuxer is asked for a
// packet only while three whole top-level boxes (a fragment's moof and mdat
// and one more) lie ahead of where it reads, so that it never meets the end
// of what has arrived in the middle of a fragment, which it could not read
// on from. Outside input: what the demuxer refuses ends the units. Writer
// thread.
#include "recording/ContainerTrack.h"
#include "recording/StreamFramer.h"

#include <deque>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;
struct MediaLibrary;

class Mp4Framer : public StreamFramer {
public:
    ~Mp4Framer() override;
    void Feed(quint64 pos, QByteArrayView bytes) override;
    void Finish() override;
    QString Extension() const override { return QStringLiteral("m4a"); }
    std::unique_ptr<SongFile> NewFile() const override;

private:
    bool Open();
    void Demux(bool atEnd);
    // Finds the top-level boxes that have arrived whole.
    void ScanBoxes();
    bool EnoughAhead() const;
    void Close();
    static int Read(void *opaque, uint8_t *buf, int size);

    const MediaLibrary *lib_ = nullptr;
    QByteArray buffer_; // bytes the demuxer has not read yet, from readAt_
    qsizetype readAt_ = 0;
    quint64 bufferPos_ = 0; // where buffer_ starts in the stream
    bool started_ = false;
    bool failed_ = false;
    quint64 nextBox_ = 0;              // where the next top-level box starts
    std::deque<quint64> wholeBoxEnds_; // ends of the whole boxes ahead of the demuxer
    AVFormatContext *format_ = nullptr;
    AVIOContext *avio_ = nullptr;
    AVPacket *packet_ = nullptr;
    int streamIndex_ = -1;
    std::shared_ptr<const ContainerTrack> track_;
};
