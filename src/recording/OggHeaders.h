#pragma once
// The header packets of one logical Ogg stream (Vorbis, Opus or FLAC), as
// collected from the stream's first pages: what every file that holds any of
// the stream's audio must begin with. Knows where the codec keeps its
// comments, so that a file gets them anew with its song's tags. Built by the
// writer thread, then shared read-only by the pages that belong to it.
#include "recording/SongTags.h"
#include "recording/VorbisBlocks.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

class OggHeaders {
public:
    enum class Codec { Unknown, Vorbis, Opus, Flac };

    // The codec that a logical stream's first packet announces.
    static Codec Identify(const QByteArray &firstPacket);

    explicit OggHeaders(uint32_t serial, const QByteArray &firstPacket);

    Codec Kind() const { return codec_; }
    uint32_t Serial() const { return serial_; }
    // Takes the next header packet. True once all of them are in; after that
    // the stream's audio packets follow.
    bool Add(const QByteArray &packet);
    bool Complete() const;
    const QList<QByteArray> &Packets() const { return packets_; }

    // True when `other` decodes with the same set-up: the same codec and the
    // same header packets but for the comments. Its audio may then go on in
    // this stream's pages, as one logical stream.
    bool SameSetup(const OggHeaders &other) const;

    // A Vorbis audio packet's block size (0 for other codecs): see VorbisBlocks.
    int BlockSize(const QByteArray &packet) const { return blocks_.BlockSize(packet); }

    // "Artist - Title" as a station sends it, made of the comments' ARTIST
    // and TITLE (the one alone when the other is missing); empty when
    // neither is there.
    QString StreamTitle() const;
    // The header packets with the comments replaced by the song's tags (the
    // encoder's vendor string kept).
    QList<QByteArray> WithTags(const SongTags &tags) const;

private:
    // Where the comment list starts in the comment packet, -1 when there is none.
    qsizetype CommentsAt(const QByteArray &packet) const;
    qsizetype CommentPacket() const;

    Codec codec_;
    uint32_t serial_;
    int expected_ = 0; // header packets in all
    QList<QByteArray> packets_;
    VorbisBlocks blocks_; // Vorbis, once the headers are complete
};
