#pragma once
// Pages of an Ogg stream (Vorbis, Opus, FLAC), chained as radios send them:
// each song a logical stream of its own that starts with its header pages.
// The header packets are collected (they open every file made of that
// stream's pages) and the title in their comments is reported at the place
// of the stream's first page; audio pages become the units. Pages of a
// stream whose start was missed carry no headers. Writer thread.
#include "recording/StreamFramer.h"

class OggFramer : public StreamFramer {
public:
    void Feed(quint64 pos, QByteArrayView bytes) override;
    QString Extension() const override;
    std::unique_ptr<SongFile> NewFile() const override;

private:
    void Take(OggPage page, quint64 pos, quint64 size);
    void TakeHeaderPage(const OggPage &page);

    QByteArray buffer_;
    quint64 bufferPos_ = 0;
    bool started_ = false;
    // The logical stream being read, and whether its header packets are
    // still being collected (with a packet cut across pages).
    std::shared_ptr<OggHeaders> stream_;
    quint64 streamPos_ = 0; // where its first page was
    bool inHeaders_ = false;
    QByteArray partial_;
    qint64 lastGranule_ = 0;
    OggHeaders::Codec codec_ = OggHeaders::Codec::Unknown; // of the first stream
};
