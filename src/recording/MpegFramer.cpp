#include "recording/MpegFramer.h"

#include "recording/MpegSongFile.h"

namespace {

// Bit rates in kbit/s by MPEG version (1, else 2/2.5), layer and index.
constexpr int Mpeg1Rates[3][15] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
constexpr int Mpeg2Rates[3][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
constexpr int Mpeg1SampleRates[3] = {44100, 48000, 32000};

// The longest frame header read (ADTS with its checksum needs 7 bytes).
constexpr qsizetype HeaderBytes = 7;

} // namespace

MpegFramer::Header MpegFramer::Read(QByteArrayView bytes) {
    Header h;
    if (bytes.size() < 4)
        return h;
    const auto *b = reinterpret_cast<const uint8_t *>(bytes.data());
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return h;
    const int version = (b[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layerBits = (b[1] >> 1) & 3;
    if (layerBits == 0 && (b[1] & 0xF0) == 0xF0) {
        // ADTS: 13 sampling rates, a length that covers at least its header.
        if (bytes.size() < 7)
            return h;
        const int rateIndex = (b[2] >> 2) & 0xF;
        const qsizetype length = (qsizetype(b[3] & 3) << 11) | (qsizetype(b[4]) << 3) | (b[5] >> 5);
        const qsizetype header = (b[1] & 1) ? 7 : 9;
        if (rateIndex >= 13 || length < header)
            return h;
        h.Form = Header::Kind::Adts;
        h.Shape = quint32(b[1]) << 16 | quint32(b[2]) << 8 | (b[3] & 0xC0);
        h.Length = length;
        return h;
    }
    const int rateIndex = b[2] >> 4;
    const int sampleIndex = (b[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3)
        return h;
    const int layer = 4 - layerBits;
    const int kbps =
        version == 3 ? Mpeg1Rates[layer - 1][rateIndex] : Mpeg2Rates[layer - 1][rateIndex];
    const int rate = Mpeg1SampleRates[sampleIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int padding = (b[2] >> 1) & 1;
    qsizetype length = 0;
    if (layer == 1)
        length = (12 * kbps * 1000 / rate + padding) * 4;
    else if (layer == 3 && version != 3)
        length = 72 * kbps * 1000 / rate + padding;
    else
        length = 144 * kbps * 1000 / rate + padding;
    h.Form = Header::Kind::Mpeg;
    h.Layer = layer;
    h.Shape = quint32(b[1]) << 8 | (b[2] & 0x0C);
    h.Length = length;
    return h;
}

MpegFramer::MpegFramer() : SyncFramer(HeaderBytes) {}

qsizetype MpegFramer::FrameAt(QByteArrayView bytes) const {
    const Header h = Read(bytes);
    const bool fits =
        form_.Form == Header::Kind::None || (h.Form == form_.Form && h.Shape == form_.Shape);
    return fits ? h.Length : 0;
}

bool MpegFramer::Alike(QByteArrayView first, QByteArrayView second) const {
    const Header a = Read(first), b = Read(second);
    return a.Form == b.Form && a.Shape == b.Shape;
}

void MpegFramer::TakeFrame(QByteArrayView frame, quint64 pos) {
    if (form_.Form == Header::Kind::None)
        form_ = Read(frame);
    StreamUnit unit;
    unit.Pos = pos;
    unit.End = pos + quint64(frame.size());
    unit.Bytes = frame.toByteArray();
    units_.append(std::move(unit));
}

QString MpegFramer::Extension() const {
    if (form_.Form == Header::Kind::Adts)
        return QStringLiteral("aac");
    if (form_.Layer == 1 || form_.Layer == 2)
        return QStringLiteral("mp%1").arg(form_.Layer);
    return QStringLiteral("mp3");
}

std::unique_ptr<SongFile> MpegFramer::NewFile() const {
    return std::make_unique<MpegSongFile>();
}
