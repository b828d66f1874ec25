#include "recording/OggPage.h"

#include <array>

namespace {

constexpr qsizetype HeaderBytes = 27;

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t r = i << 24;
        for (int k = 0; k < 8; ++k)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        table[i] = r;
    }
    return table;
}

uint32_t Le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(char *p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace

uint32_t OggPage::Crc(QByteArrayView bytes) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t crc = 0;
    for (char c : bytes)
        crc = (crc << 8) ^ table[((crc >> 24) ^ uint8_t(c)) & 0xFF];
    return crc;
}

qsizetype OggPage::Parse(QByteArrayView data, OggPage &page) {
    const auto *p = reinterpret_cast<const uint8_t *>(data.data());
    const qsizetype n = data.size();
    static const char capture[4] = {'O', 'g', 'g', 'S'};
    for (qsizetype i = 0; i < 4 && i < n; ++i)
        if (p[i] != uint8_t(capture[i]))
            return -1;
    if (n >= 5 && p[4] != 0)
        return -1;
    if (n < HeaderBytes)
        return 0;
    const qsizetype segments = p[26];
    if (n < HeaderBytes + segments)
        return 0;
    qsizetype bodySize = 0;
    for (qsizetype i = 0; i < segments; ++i)
        bodySize += p[HeaderBytes + i];
    const qsizetype total = HeaderBytes + segments + bodySize;
    if (n < total)
        return 0;
    QByteArray copy(data.data(), total);
    PutLe32(copy.data() + 22, 0);
    if (Crc(copy) != Le32(p + 22))
        return -1;
    page.Flags = p[5];
    page.Granule = int64_t(uint64_t(Le32(p + 6)) | uint64_t(Le32(p + 10)) << 32);
    page.Serial = Le32(p + 14);
    page.Sequence = Le32(p + 18);
    page.Lacing.clear();
    for (qsizetype i = 0; i < segments; ++i)
        page.Lacing.append(p[HeaderBytes + i]);
    page.Body = QByteArray(data.data() + HeaderBytes + segments, bodySize);
    return total;
}

QByteArray OggPage::Serialize() const {
    QByteArray out(HeaderBytes, '\0');
    char *h = out.data();
    h[0] = 'O';
    h[1] = 'g';
    h[2] = 'g';
    h[3] = 'S';
    h[5] = char(Flags);
    PutLe32(h + 6, uint32_t(uint64_t(Granule) & 0xFFFFFFFFu));
    PutLe32(h + 10, uint32_t(uint64_t(Granule) >> 32));
    PutLe32(h + 14, Serial);
    PutLe32(h + 18, Sequence);
    h[26] = char(Lacing.size());
    for (uint8_t l : Lacing)
        out.append(char(l));
    out.append(Body);
    PutLe32(out.data() + 22, Crc(out));
    return out;
}

QList<QByteArray> OggPage::Pieces() const {
    QList<QByteArray> pieces;
    QByteArray piece;
    qsizetype at = 0;
    bool open = false;
    for (uint8_t l : Lacing) {
        piece.append(Body.constData() + at, qMin<qsizetype>(l, Body.size() - at));
        at += l;
        open = true;
        if (l < 255) {
            pieces.append(piece);
            piece.clear();
            open = false;
        }
    }
    if (open)
        pieces.append(piece);
    return pieces;
}

bool OggPage::DropLeadingPiece() {
    if (Flags & Continued) {
        qsizetype segments = 0, bytes = 0;
        while (segments < Lacing.size()) {
            bytes += Lacing[segments];
            if (Lacing[segments++] < 255)
                break;
        }
        Body.remove(0, bytes);
        Lacing.remove(0, segments);
        Flags &= uint8_t(~Continued);
    }
    return !Lacing.isEmpty();
}

bool OggPage::DropTrailingPiece() {
    qsizetype keep = Lacing.size();
    while (keep > 0 && Lacing[keep - 1] == 255)
        --keep;
    Body.chop(255 * (Lacing.size() - keep));
    Lacing.resize(keep);
    return !Lacing.isEmpty();
}

QList<OggPage> OggPage::Paginate(const QList<QByteArray> &packets, uint32_t serial,
                                 uint32_t sequence, int64_t granule, uint8_t firstFlags,
                                 bool pagePerPacket) {
    QList<OggPage> pages;
    auto fresh = [&](uint8_t flags) {
        OggPage page;
        page.Flags = flags;
        page.Granule = granule;
        page.Serial = serial;
        page.Sequence = sequence++;
        pages.append(page);
    };
    fresh(firstFlags);
    for (qsizetype k = 0; k < packets.size(); ++k) {
        const QByteArray &packet = packets[k];
        if (pagePerPacket && k > 0)
            fresh(0);
        qsizetype left = packet.size(), at = 0;
        // Every packet ends on a lacing value under 255 (0 after an exact
        // multiple of 255).
        do {
            if (pages.last().Lacing.size() == 255)
                fresh(left < packet.size() ? Continued : 0);
            const qsizetype chunk = qMin<qsizetype>(left, 255);
            pages.last().Lacing.append(uint8_t(chunk));
            pages.last().Body.append(packet.constData() + at, chunk);
            at += chunk;
            left -= chunk;
            if (chunk < 255)
                break;
        } while (true);
    }
    // A page on which no packet ends has no position of its own.
    for (OggPage &page : pages)
        if (!page.Lacing.isEmpty() && page.Lacing.last() == 255)
            page.Granule = -1;
    return pages;
}
