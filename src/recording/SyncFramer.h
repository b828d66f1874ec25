#pragma once
// Frames that each begin with a header telling their length (MPEG audio,
// ADTS, LOAS/LATM): found in any cut of a stream's bytes. A header counts,
// while the framer is out of step (at the start, after a gap or after
// bytes that were no frame), only when the next frame's header of the same
// stream follows where the length says; bytes in between (a stream joined
// mid-frame, an ID3 tag, garbage) are skipped. Writer thread.
#include "recording/StreamFramer.h"

class SyncFramer : public StreamFramer {
public:
    void Feed(quint64 pos, QByteArrayView bytes) override;
    void Finish() override;

protected:
    explicit SyncFramer(qsizetype headerBytes) : headerBytes_(headerBytes) {}
    // The length of the frame whose header starts `bytes`, 0 when there is
    // none (`bytes` holds a whole header but for the last bytes of a stream).
    virtual qsizetype FrameAt(QByteArrayView bytes) const = 0;
    // Whether the two headers belong to one stream.
    virtual bool Alike(QByteArrayView first, QByteArrayView second) const = 0;
    // A whole frame that starts at `pos`.
    virtual void TakeFrame(QByteArrayView frame, quint64 pos) = 0;

private:
    void Scan(bool atEnd);

    const qsizetype headerBytes_; // the longest header read
    QByteArray buffer_;           // bytes not yet taken as frames
    quint64 bufferPos_ = 0;       // where buffer_ starts in the stream
    bool started_ = false;
    bool inStep_ = false;
};
