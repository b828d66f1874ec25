#include "recording/OggHeaders.h"

#include <QStringList>

namespace {

uint32_t Le32(const QByteArray &b, qsizetype at) {
    if (at < 0 || at + 4 > b.size())
        return 0xFFFFFFFFu;
    const auto *p = reinterpret_cast<const uint8_t *>(b.constData() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void AppendLe32(QByteArray &b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

// The comment list (vendor string, then "KEY=value" entries) read from `at`;
// false when it runs past the packet.
bool ReadComments(const QByteArray &packet, qsizetype at, QByteArray &vendor,
                  QList<QByteArray> &entries) {
    const uint32_t vendorLength = Le32(packet, at);
    if (vendorLength > uint32_t(packet.size()) || at + 4 + qsizetype(vendorLength) > packet.size())
        return false;
    vendor = packet.mid(at + 4, vendorLength);
    at += 4 + vendorLength;
    const uint32_t count = Le32(packet, at);
    if (count > uint32_t(packet.size()))
        return false;
    at += 4;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = Le32(packet, at);
        if (length > uint32_t(packet.size()) || at + 4 + qsizetype(length) > packet.size())
            return false;
        entries.append(packet.mid(at + 4, length));
        at += 4 + length;
    }
    return true;
}

QByteArray CommentList(const QByteArray &vendor, const SongTags &tags) {
    QList<QByteArray> entries;
    const auto add = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            entries.append(QByteArray(key) + '=' + value.toUtf8());
    };
    add("TITLE", tags.Title);
    add("ARTIST", tags.Artist);
    add("ALBUM", tags.Album);
    add("DATE", tags.Date);
    add("COMMENT", tags.Comment);
    QByteArray out;
    AppendLe32(out, uint32_t(vendor.size()));
    out.append(vendor);
    AppendLe32(out, uint32_t(entries.size()));
    for (const QByteArray &e : entries) {
        AppendLe32(out, uint32_t(e.size()));
        out.append(e);
    }
    return out;
}

const QByteArray VorbisId = QByteArray("\x01vorbis", 7);
const QByteArray VorbisComment = QByteArray("\x03vorbis", 7);
const QByteArray OpusId = QByteArrayLiteral("OpusHead");
const QByteArray OpusComment = QByteArrayLiteral("OpusTags");
const QByteArray FlacId = QByteArray("\x7F"
                                     "FLAC",
                                     5);
constexpr int FlacCommentBlock = 4;

} // namespace

OggHeaders::Codec OggHeaders::Identify(const QByteArray &firstPacket) {
    if (firstPacket.startsWith(VorbisId))
        return Codec::Vorbis;
    if (firstPacket.startsWith(OpusId))
        return Codec::Opus;
    if (firstPacket.startsWith(FlacId) && firstPacket.size() >= 13)
        return Codec::Flac;
    return Codec::Unknown;
}

OggHeaders::OggHeaders(uint32_t serial, const QByteArray &firstPacket)
    : codec_(Identify(firstPacket)), serial_(serial) {
    packets_.append(firstPacket);
    switch (codec_) {
    case Codec::Vorbis:
        expected_ = 3;
        break;
    case Codec::Opus:
        expected_ = 2;
        break;
    case Codec::Flac:
        // The mapping header counts the metadata packets after it; 0 means
        // "not said", and the first audio frame (0xFF...) then ends them.
        expected_ = 1 + (uint8_t(firstPacket[7]) << 8 | uint8_t(firstPacket[8]));
        if (expected_ == 1)
            expected_ = 0;
        break;
    case Codec::Unknown:
        expected_ = 1;
        break;
    }
}

bool OggHeaders::Add(const QByteArray &packet) {
    if (Complete())
        return true;
    if (codec_ == Codec::Flac && expected_ == 0 && !packet.isEmpty() &&
        uint8_t(packet[0]) == 0xFF) {
        expected_ = int(packets_.size());
        return false; // an audio frame: the caller keeps it for the audio
    }
    packets_.append(packet);
    if (Complete() && codec_ == Codec::Vorbis)
        blocks_ = VorbisBlocks(packets_[0], packets_[2]);
    return Complete();
}

bool OggHeaders::Complete() const {
    return expected_ > 0 && packets_.size() >= expected_;
}

qsizetype OggHeaders::CommentPacket() const {
    if (codec_ == Codec::Vorbis || codec_ == Codec::Opus)
        return packets_.size() > 1 ? 1 : -1;
    if (codec_ == Codec::Flac)
        for (qsizetype i = 1; i < packets_.size(); ++i)
            if (!packets_[i].isEmpty() && (uint8_t(packets_[i][0]) & 0x7F) == FlacCommentBlock)
                return i;
    return -1;
}

qsizetype OggHeaders::CommentsAt(const QByteArray &packet) const {
    switch (codec_) {
    case Codec::Vorbis:
        return packet.startsWith(VorbisComment) ? VorbisComment.size() : -1;
    case Codec::Opus:
        return packet.startsWith(OpusComment) ? OpusComment.size() : -1;
    case Codec::Flac:
        return 4;
    case Codec::Unknown:
        break;
    }
    return -1;
}

bool OggHeaders::SameSetup(const OggHeaders &other) const {
    if (codec_ != other.codec_ || codec_ == Codec::Unknown || !Complete() || !other.Complete() ||
        packets_.size() != other.packets_.size())
        return false;
    const qsizetype comments = CommentPacket();
    for (qsizetype i = 0; i < packets_.size(); ++i)
        if (i != comments && packets_[i] != other.packets_[i])
            return false;
    return comments == other.CommentPacket();
}

QString OggHeaders::StreamTitle() const {
    const qsizetype index = CommentPacket();
    if (index < 0)
        return QString();
    const QByteArray &packet = packets_[index];
    QByteArray vendor;
    QList<QByteArray> entries;
    if (!ReadComments(packet, CommentsAt(packet), vendor, entries))
        return QString();
    QString title, artist;
    for (const QByteArray &e : entries) {
        const qsizetype eq = e.indexOf('=');
        const QByteArray key = e.left(eq).toUpper();
        const QString value = QString::fromUtf8(e.mid(eq + 1)).trimmed();
        if (eq > 0 && key == "TITLE" && title.isEmpty())
            title = value;
        else if (eq > 0 && key == "ARTIST" && artist.isEmpty())
            artist = value;
    }
    if (artist.isEmpty() || title.isEmpty())
        return artist.isEmpty() ? title : artist;
    return artist + QStringLiteral(" - ") + title;
}

QList<QByteArray> OggHeaders::WithTags(const SongTags &tags) const {
    QList<QByteArray> out = packets_;
    const qsizetype index = CommentPacket();
    QByteArray vendor;
    QList<QByteArray> entries;
    if (index >= 0) {
        const QByteArray &old = packets_[index];
        ReadComments(old, CommentsAt(old), vendor, entries);
    }
    const QByteArray list = CommentList(vendor, tags);
    switch (codec_) {
    case Codec::Vorbis:
        out[1] = VorbisComment + list + '\x01'; // the framing bit
        break;
    case Codec::Opus:
        out[1] = OpusComment + list;
        break;
    case Codec::Flac: {
        const uint32_t n = uint32_t(list.size());
        QByteArray block;
        // A comment block added after the others takes over their "last" mark.
        const bool last = index < 0 || (uint8_t(packets_[index][0]) & 0x80);
        block.append(char((last ? 0x80 : 0) | FlacCommentBlock));
        block.append(char((n >> 16) & 0xFF));
        block.append(char((n >> 8) & 0xFF));
        block.append(char(n & 0xFF));
        block.append(list);
        if (index >= 0) {
            out[index] = block;
        } else {
            for (qsizetype i = 1; i < out.size(); ++i)
                out[i][0] = char(uint8_t(out[i][0]) & 0x7F);
            out.append(block);
            // The mapping header counts the packets after it.
            const int count = (uint8_t(out[0][7]) << 8 | uint8_t(out[0][8])) + 1;
            if (count > 1) {
                out[0][7] = char((count >> 8) & 0xFF);
                out[0][8] = char(count & 0xFF);
            }
        }
        break;
    }
    case Codec::Unknown:
        break;
    }
    return out;
}
