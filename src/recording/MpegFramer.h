#pragma once
// Frames of a bare MPEG audio (MP3, MP2) or ADTS AAC stream, the forms most
// stations send and the audio HLS carries in its segments. A frame is taken
// once its header is valid and, until the framer is in step, the next
// frame's header follows where the length says, of the same kind; bytes in
// between (a stream joined mid-frame, an ID3 tag, garbage) are skipped.
// Writer thread.
#include "recording/StreamFramer.h"

class MpegFramer : public StreamFramer {
public:
    // What a frame header says; Length 0 when the bytes are no header.
    struct Header {
        enum class Kind { None, Mpeg, Adts } Form = Kind::None;
        int Layer = 0;     // MPEG: 1, 2 or 3
        quint32 Shape = 0; // the header bits that stay the same from frame to frame
        qsizetype Length = 0;
    };
    // Reads the header at the start of `bytes` (4 bytes for MPEG, 7 for ADTS).
    static Header Read(QByteArrayView bytes);

    void Feed(quint64 pos, QByteArrayView bytes) override;
    void Finish() override;
    QString Extension() const override;
    std::unique_ptr<SongFile> NewFile() const override;

private:
    void Scan(bool atEnd);

    QByteArray buffer_;     // bytes not yet taken as frames
    quint64 bufferPos_ = 0; // where buffer_ starts in the stream
    bool started_ = false;
    bool inStep_ = false;
    Header form_; // the first frame's, once in step
};
