#include "recording/LatmFramer.h"

#include "recording/M4aSongFile.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace {

// Bits of a byte string, highest first; reading past the end gives zeros
// and marks the reader as overrun.
class Bits {
public:
    explicit Bits(QByteArrayView bytes) : bytes_(bytes) {}
    quint32 Read(int count) {
        quint32 v = 0;
        for (int i = 0; i < count; ++i) {
            const qint64 byte = at_ / 8;
            const int bit = byte < bytes_.size() ? (uint8_t(bytes_[byte]) >> (7 - at_ % 8)) & 1 : 0;
            if (byte >= bytes_.size())
                overrun_ = true;
            v = v << 1 | quint32(bit);
            ++at_;
        }
        return v;
    }
    qint64 At() const { return at_; }
    void Skip(qint64 count) {
        at_ += count;
        overrun_ = overrun_ || at_ > qint64(bytes_.size()) * 8;
    }
    bool Overrun() const { return overrun_; }
    // Bits [from, to) as bytes, the last one padded with zeros.
    QByteArray Copy(qint64 from, qint64 to) const {
        Bits b(bytes_);
        b.at_ = from;
        QByteArray out;
        for (qint64 n = to - from; n > 0; n -= 8) {
            const int take = int(qMin<qint64>(n, 8));
            out.append(char(b.Read(take) << (8 - take)));
        }
        return out;
    }

private:
    QByteArrayView bytes_;
    qint64 at_ = 0;
    bool overrun_ = false;
};

constexpr int SampleRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                 22050, 16000, 12000, 11025, 8000,  7350};

int ObjectType(Bits &b) {
    const int type = int(b.Read(5));
    return type == 31 ? 32 + int(b.Read(6)) : type;
}

int Rate(Bits &b) {
    const quint32 index = b.Read(4);
    if (index == 15)
        return int(b.Read(24));
    return index < 13 ? SampleRates[index] : 0;
}

// An AudioSpecificConfig of AAC (with SBR or PS signalled explicitly): the
// track it describes, or false for a form not read here.
bool ReadConfig(Bits &b, ContainerTrack &track) {
    int type = ObjectType(b);
    int rate = Rate(b);
    const int channels = int(b.Read(4));
    int frame = 1024;
    if (type == 5 || type == 29) {
        // HE-AAC: the output rate, then the core's object type.
        rate = Rate(b);
        frame = 2048;
        type = ObjectType(b);
    }
    // GASpecificConfig of AAC Main, LC, SSR and LTP; no program config
    // element (channel configuration 0).
    if (type < 1 || type > 4 || channels == 0 || rate == 0)
        return false;
    if (b.Read(1))
        frame = frame * 960 / 1024; // 960-sample frames
    if (b.Read(1))
        b.Skip(14); // core coder delay
    if (b.Read(1))
        return false; // extension data: not AAC as stations send it
    track.CodecId = AV_CODEC_ID_AAC;
    track.SampleRate = rate;
    track.Channels = channels == 7 ? 8 : channels;
    track.FrameSize = frame;
    track.TimeBaseNum = 1;
    track.TimeBaseDen = rate;
    return !b.Overrun();
}

quint32 LatmValue(Bits &b) {
    const int bytes = int(b.Read(2));
    quint32 v = 0;
    for (int i = 0; i <= bytes; ++i)
        v = v << 8 | b.Read(8);
    return v;
}

// The header of a LOAS sync frame: its whole length, 0 when none is here.
qsizetype SyncFrame(QByteArrayView bytes) {
    if (bytes.size() < 3 || uint8_t(bytes[0]) != 0x56 || (uint8_t(bytes[1]) & 0xE0) != 0xE0)
        return 0;
    return 3 + ((qsizetype(uint8_t(bytes[1]) & 0x1F) << 8) | uint8_t(bytes[2]));
}

} // namespace

bool LatmFramer::ReadElement(QByteArrayView element, quint64 pos) {
    Bits b(element);
    if (!b.Read(1)) { // useSameStreamMux
        const int version = int(b.Read(1));
        if (version && b.Read(1))
            return false; // audioMuxVersionA 1: reserved
        if (version)
            LatmValue(b); // taraBufferFullness
        sameTimeFraming_ = b.Read(1);
        subFrames_ = int(b.Read(6));
        if (b.Read(4) != 0 || b.Read(3) != 0)
            return false; // more than one program or layer
        auto track = std::make_shared<ContainerTrack>();
        const qint64 start = b.At();
        qint64 end = 0;
        if (version) {
            const quint32 length = LatmValue(b);
            const qint64 from = b.At();
            if (!ReadConfig(b, *track))
                return false;
            end = from + length;
            b.Skip(end - b.At());
            track->Extradata = b.Copy(from, b.At());
        } else {
            if (!ReadConfig(b, *track))
                return false;
            end = b.At();
            track->Extradata = b.Copy(start, end);
        }
        if (b.Read(3) != 0)
            return false; // frame lengths not in bytes
        b.Skip(8);        // latmBufferFullness
        if (b.Read(1)) {  // otherDataPresent: its length, skipped
            if (version) {
                LatmValue(b);
            } else {
                while (b.Read(1) && !b.Overrun())
                    b.Skip(8);
                b.Skip(8);
            }
        }
        if (b.Read(1))
            b.Skip(8); // CRC
        if (!track_ || !track_->SameAs(*track))
            track_ = std::move(track);
    }
    if (!track_)
        return true; // joined after the last configuration: wait for the next
    if (!sameTimeFraming_)
        return false;
    for (int s = 0; s <= subFrames_; ++s) {
        qsizetype length = 0;
        quint32 piece = 255;
        while (piece == 255 && !b.Overrun()) {
            piece = b.Read(8);
            length += piece;
        }
        const qint64 from = b.At();
        b.Skip(qint64(length) * 8);
        if (b.Overrun())
            return false;
        StreamUnit unit;
        unit.Pos = pos;
        unit.Bytes = b.Copy(from, from + qint64(length) * 8);
        unit.Track = track_;
        unit.Pts = nextPts_;
        unit.Duration = track_->FrameSize;
        nextPts_ += track_->FrameSize;
        units_.append(std::move(unit));
    }
    return true;
}

LatmFramer::LatmFramer() : SyncFramer(3) {}

qsizetype LatmFramer::FrameAt(QByteArrayView bytes) const {
    return SyncFrame(bytes);
}

void LatmFramer::TakeFrame(QByteArrayView frame, quint64 pos) {
    const qsizetype before = units_.size();
    if (!ReadElement(frame.sliced(3), pos) && problem_.isEmpty() && !track_)
        problem_ = QStringLiteral("its LATM form is not one Quorane can write to a file");
    // Every unit of the frame ends where the frame ends.
    for (qsizetype i = before; i < units_.size(); ++i)
        units_[i].End = pos + quint64(frame.size());
}

std::unique_ptr<SongFile> LatmFramer::NewFile() const {
    return std::make_unique<M4aSongFile>();
}
