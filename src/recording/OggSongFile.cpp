#include "recording/OggSongFile.h"

bool OggSongFile::Open(const QString &path, const SongTags &tags, QString &reason) {
    tags_ = tags;
    return file_.Open(path, reason);
}

bool OggSongFile::Write(const StreamUnit &unit, QString &reason) {
    if (!unit.Headers)
        return true; // the stream's headers were never seen
    if (unit.Headers != stream_) {
        if (stream_ && stream_->SameSetup(*unit.Headers)) {
            // The next link of a chain, encoded alike: its pages go on in
            // this logical stream, so the file holds one stream (a chained
            // file is one that not every player reads to its end).
            if (held_ && !held_->DropTrailingPiece())
                held_.reset();
            // Vorbis: the new link's first packet, which its own stream
            // threw away, now overlaps the old link's last one and yields
            // audio (a quarter of each block).
            const int first = unit.Headers->BlockSize(unit.Page.Pieces().value(0));
            const qint64 overlap = lastBlock_ > 0 && first > 0 ? lastBlock_ / 4 + first / 4 : 0;
            stream_ = unit.Headers;
            granuleOffset_ = unit.GranuleBefore - lastGranule_ - overlap;
        } else if (!BeginStream(unit, reason)) {
            return false;
        }
    }
    OggPage page = unit.Page;
    if (awaitingAudio_ && !page.DropLeadingPiece())
        return true;
    awaitingAudio_ = false;
    page.Flags &= uint8_t(~(OggPage::First | OggPage::Last));
    page.Serial = serial_;
    page.Sequence = sequence_++;
    if (page.Granule >= 0) {
        page.Granule = qMax<qint64>(0, page.Granule - granuleOffset_);
        lastGranule_ = page.Granule;
    }
    if (!WriteHeld(false, reason))
        return false;
    // The block of the last packet that ends on the page (its mode is in its
    // first byte, which may have come on an earlier page).
    const QList<QByteArray> pieces = page.Pieces();
    const qsizetype last = pieces.size() - (page.EndsOpen() ? 2 : 1);
    if (last == 0 && (page.Flags & OggPage::Continued))
        lastBlock_ = stream_->BlockSize(openStart_);
    else if (last >= 0)
        lastBlock_ = stream_->BlockSize(pieces[last]);
    if (page.EndsOpen() && !(pieces.size() == 1 && (page.Flags & OggPage::Continued)))
        openStart_ = pieces.last().left(1);
    held_ = std::move(page);
    hasAudio_ = true;
    return true;
}

// The stream's header pages with the song's comments: the identification
// header alone on the first page, as every Ogg codec wants it, the rest on
// pages of their own, so that the audio starts on a fresh page.
bool OggSongFile::BeginStream(const StreamUnit &unit, QString &reason) {
    if (!WriteHeld(true, reason))
        return false;
    const uint32_t previous = serial_;
    const bool hadStream = stream_ != nullptr;
    stream_ = unit.Headers;
    // Two links of a chain in one file must not share a serial number.
    serial_ = hadStream && stream_->Serial() == previous ? previous + 1 : stream_->Serial();
    // Counted from the page before; after a gap from this page itself.
    granuleOffset_ =
        unit.GranuleBefore >= 0 ? unit.GranuleBefore : qMax<qint64>(unit.Page.Granule, 0);
    lastGranule_ = 0;
    awaitingAudio_ = true;
    const QList<QByteArray> packets = stream_->WithTags(tags_);
    QList<OggPage> pages =
        OggPage::Paginate({packets.first()}, serial_, 0, 0, OggPage::First, false);
    pages += OggPage::Paginate(packets.mid(1), serial_, uint32_t(pages.size()), 0, 0,
                               stream_->Kind() == OggHeaders::Codec::Flac);
    sequence_ = uint32_t(pages.size());
    for (const OggPage &page : pages)
        if (!file_.Write(page.Serialize(), reason))
            return false;
    return true;
}

bool OggSongFile::WriteHeld(bool last, QString &reason) {
    if (!held_)
        return true;
    OggPage page = std::move(*held_);
    held_.reset();
    if (last) {
        // A packet that runs on past the file's end would never be whole.
        if (!page.DropTrailingPiece())
            return true;
        page.Flags |= OggPage::Last;
    }
    return file_.Write(page.Serialize(), reason);
}

bool OggSongFile::Close(QString &reason) {
    const bool written = WriteHeld(true, reason);
    QString closeReason;
    const bool closed = file_.Close(closeReason);
    if (written && !closed)
        reason = closeReason;
    return written && closed;
}
