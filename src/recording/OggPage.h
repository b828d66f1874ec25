#pragma once
// One Ogg page: read from a stream's bytes and written back with its fields
// changed (sequence number, granule position, flags, packets) and its
// checksum made anew. Outside input: Parse never reads past what it is given
// and refuses anything that is not a whole, well-formed page. No state
// beyond the page; any thread.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>

class OggPage {
public:
    // Header flags.
    static constexpr uint8_t Continued = 0x01; // the first packet began on an earlier page
    static constexpr uint8_t First = 0x02;     // first page of a logical stream
    static constexpr uint8_t Last = 0x04;      // last page of a logical stream

    uint8_t Flags = 0;
    int64_t Granule = 0; // -1: no packet ends on this page
    uint32_t Serial = 0;
    uint32_t Sequence = 0;
    QList<uint8_t> Lacing; // segment table
    QByteArray Body;

    // The page at the start of `data`: its length in bytes, 0 when `data`
    // holds only the beginning of a page, -1 when `data` does not start with
    // a valid page (capture pattern, version or checksum wrong).
    static qsizetype Parse(QByteArrayView data, OggPage &page);
    // The page's bytes, checksum included.
    QByteArray Serialize() const;

    // The packets, or pieces of packets, on this page in order: the first is
    // the end of an earlier page's packet when Continued is set, and the
    // last runs on to the next page when it ends on a full 255 lacing value.
    QList<QByteArray> Pieces() const;
    // True when the last piece continues on the next page.
    bool EndsOpen() const { return !Lacing.isEmpty() && Lacing.last() == 255; }
    // Drops the end of an earlier packet from the front (when Continued is
    // set): a page that opens a file must not start inside a packet. False
    // when nothing is left.
    bool DropLeadingPiece();
    // Drops the start of a packet that runs on to the next page: a page that
    // ends a file must not end inside one. False when nothing is left.
    bool DropTrailingPiece();

    // Builds pages holding `packets` of one logical stream, starting at
    // sequence number `sequence`; every page gets `granule`. The first page
    // carries `firstFlags`. Each packet starts a new page when `pagePerPacket`.
    static QList<OggPage> Paginate(const QList<QByteArray> &packets, uint32_t serial,
                                   uint32_t sequence, int64_t granule, uint8_t firstFlags,
                                   bool pagePerPacket);

    // The Ogg checksum (CRC-32, polynomial 0x04C11DB7, not reflected).
    static uint32_t Crc(QByteArrayView bytes);
};
