#include "recording/OggFramer.h"

#include "recording/OggSongFile.h"

void OggFramer::Feed(quint64 pos, QByteArrayView bytes) {
    if (!started_ || pos != bufferPos_ + quint64(buffer_.size())) {
        buffer_.clear();
        bufferPos_ = pos;
        started_ = true;
        partial_.clear();
        lastGranule_ = -1; // pages were missed: where the stream stood is not known
    }
    buffer_.append(bytes.data(), bytes.size());
    qsizetype at = 0;
    while (at < buffer_.size()) {
        OggPage page;
        const qsizetype n =
            OggPage::Parse(QByteArrayView(buffer_.constData() + at, buffer_.size() - at), page);
        if (n == 0)
            break;
        if (n < 0) {
            // Not a page here: on to the next capture pattern.
            const qsizetype next = buffer_.indexOf("OggS", at + 1);
            at = next < 0 ? qMax(at + 1, buffer_.size() - 3) : next;
            continue;
        }
        Take(std::move(page), bufferPos_ + quint64(at), quint64(n));
        at += n;
    }
    buffer_.remove(0, at);
    bufferPos_ += quint64(at);
}

void OggFramer::Take(OggPage page, quint64 pos, quint64 size) {
    if (page.Flags & OggPage::First) {
        // A stream's first page holds its identification header alone.
        stream_ = std::make_shared<OggHeaders>(page.Serial, page.Pieces().value(0));
        streamPos_ = pos;
        inHeaders_ = !stream_->Complete();
        partial_.clear();
        lastGranule_ = 0;
        if (codec_ == OggHeaders::Codec::Unknown)
            codec_ = stream_->Kind();
        if (stream_->Kind() == OggHeaders::Codec::Unknown && problem_.isEmpty())
            problem_ = QStringLiteral("its Ogg codec cannot be recorded");
        return;
    }
    if (!stream_ || page.Serial != stream_->Serial()) {
        // A stream joined after its headers: its pages cannot be written,
        // but they still mark where the audio goes on.
        StreamUnit unit;
        unit.Pos = pos;
        unit.End = pos + size;
        unit.Page = std::move(page);
        units_.append(std::move(unit));
        return;
    }
    if (inHeaders_) {
        TakeHeaderPage(page);
        return;
    }
    StreamUnit unit;
    unit.Pos = pos;
    unit.End = pos + size;
    unit.Headers = stream_;
    unit.GranuleBefore = lastGranule_;
    if (page.Granule >= 0)
        lastGranule_ = page.Granule;
    unit.Page = std::move(page);
    units_.append(std::move(unit));
}

// Adds the packets of a header page to the stream's headers; once they are
// all in, the comments give the title of the song the stream begins.
void OggFramer::TakeHeaderPage(const OggPage &page) {
    const QList<QByteArray> pieces = page.Pieces();
    for (qsizetype i = 0; i < pieces.size() && inHeaders_; ++i) {
        if (i == 0 && (page.Flags & OggPage::Continued))
            partial_ += pieces[i];
        else
            partial_ = pieces[i];
        if (i == pieces.size() - 1 && page.EndsOpen())
            break;
        if (stream_->Add(partial_) || stream_->Complete()) {
            inHeaders_ = false;
            titles_.append({streamPos_, stream_->StreamTitle()});
        }
        partial_.clear();
    }
}

QString OggFramer::Extension() const {
    return codec_ == OggHeaders::Codec::Opus   ? QStringLiteral("opus")
           : codec_ == OggHeaders::Codec::Flac ? QStringLiteral("oga")
                                               : QStringLiteral("ogg");
}

std::unique_ptr<SongFile> OggFramer::NewFile() const {
    return std::make_unique<OggSongFile>();
}
