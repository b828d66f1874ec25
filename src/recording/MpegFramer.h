#pragma once
// Frames of a bare MPEG audio (MP3, MP2) or ADTS AAC stream, the forms most
// stations send and the audio HLS carries in its segments; once the first
// frames are found, only frames of that form are taken. Writer thread.
#include "recording/SyncFramer.h"

class MpegFramer : public SyncFramer {
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

    MpegFramer();
    QString Extension() const override;
    std::unique_ptr<SongFile> NewFile() const override;

private:
    qsizetype FrameAt(QByteArrayView bytes) const override;
    bool Alike(QByteArrayView first, QByteArrayView second) const override;
    void TakeFrame(QByteArrayView frame, quint64 pos) override;

    Header form_; // the first frame's
};
