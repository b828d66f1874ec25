#include "stations/StationReader.h"

#include "platform/CodePage.h"

#include <utility>

namespace {

// A decoder that can tell whether bytes of an unfinished character are left
// over at the end, which a whole-text decode shows as U+FFFD.
class ReaderDecoder : public QStringDecoder {
public:
    using QStringDecoder::QStringDecoder;
    bool HasLeftover() const { return state.remainingChars > 0; }
};

std::unique_ptr<QStringDecoder> DecoderFor(StationReader::Encoding encoding) {
    switch (encoding) {
    case StationReader::Encoding::Utf16LE:
        return std::make_unique<ReaderDecoder>(QStringConverter::Utf16LE);
    case StationReader::Encoding::Utf16BE:
        return std::make_unique<ReaderDecoder>(QStringConverter::Utf16BE);
    case StationReader::Encoding::Utf8:
        return std::make_unique<ReaderDecoder>(QStringConverter::Utf8);
    case StationReader::Encoding::CodePage:
        return std::make_unique<ReaderDecoder>(CodePage::Name().constData());
    case StationReader::Encoding::Windows1252:
        break;
    }
    return nullptr;
}

} // namespace

StationReader::StationReader(Encoding encoding) : decoder_(DecoderFor(encoding)) {}

StationReader::~StationReader() = default;

void StationReader::Reserve(qsizetype bytes) {
    // Nearly every line is kept as one byte a character, and line ends are
    // not kept, so the file's size is room enough; a list of wide lines
    // grows the buffer further as it needs. Room never written to costs no
    // memory, and what is left over is given back at the end.
    lines_.Reserve(bytes);
}

void StationReader::Feed(QByteArrayView bytes) {
    if (ended_ || bytes.isEmpty())
        return;
    const QString text = decoder_ ? decoder_->decode(bytes) : CodePage::FromWindows1252(bytes);
    Split(text);
}

void StationReader::Split(QStringView text) {
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) {
        text = text.left(nul);
        ended_ = true;
    }
    const QChar *data = text.data();
    const qsizetype n = text.size();
    qsizetype start = 0;
    if (pendingCr_ && n > 0) {
        pendingCr_ = false;
        if (data[0] == u'\n')
            start = 1;
    }
    for (qsizetype i = start; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        const QStringView piece = text.mid(start, i - start);
        if (pending_.isEmpty()) {
            lines_.Append(piece);
        } else {
            pending_.append(piece);
            lines_.Append(pending_);
            pending_.clear();
        }
        if (c == u'\r') {
            if (i + 1 < n) {
                if (data[i + 1] == u'\n')
                    ++i;
            } else {
                pendingCr_ = true;
            }
        }
        start = i + 1;
    }
    if (start < n)
        pending_ += text.mid(start);
}

StationLines StationReader::Finish() {
    const auto *decoder = static_cast<const ReaderDecoder *>(decoder_.get());
    if (!ended_ && decoder && decoder->HasLeftover())
        Split(QStringView(u"\uFFFD"));
    if (!pending_.isEmpty()) {
        lines_.Append(pending_);
        pending_ = QString();
    }
    lines_.Squeeze();
    return std::exchange(lines_, StationLines());
}

QString StationReader::Decode(Encoding encoding, QByteArrayView bytes) {
    const std::unique_ptr<QStringDecoder> decoder = DecoderFor(encoding);
    return decoder ? decoder->decode(bytes) : CodePage::FromWindows1252(bytes);
}
