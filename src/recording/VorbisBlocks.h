#pragma once
// The block size of each Vorbis audio packet, read off its mode number with
// the modes of the stream's setup header. A packet's audio is half of its
// block and half of the block before it overlapped, so joining two links of
// a chain into one logical stream needs these sizes to keep the granule
// positions true. The setup header's mode list sits at its end and is read
// backwards, past the codebooks that cannot be skipped without decoding.
// Outside input: any bytes are read within bounds. A value; any thread.
#include <QByteArray>
#include <QList>

class VorbisBlocks {
public:
    VorbisBlocks() = default;
    // From the stream's identification and setup header packets.
    VorbisBlocks(const QByteArray &identification, const QByteArray &setup);
    bool Valid() const { return !modeLong_.isEmpty(); }
    // The block size of an audio packet, 0 for anything else.
    int BlockSize(const QByteArray &packet) const;

private:
    int shortBlock_ = 0, longBlock_ = 0;
    QList<bool> modeLong_; // per mode: uses the long block
    int modeBits_ = 0;
};
