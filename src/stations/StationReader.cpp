#include "stations/StationReader.h"

#include "platform/CodePage.h"
#include "platform/Utf8Validator.h"

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
    case StationReader::Encoding::Utf8ElseWindows1252:
        return std::make_unique<ReaderDecoder>(QStringConverter::Utf8);
    case StationReader::Encoding::CodePage:
        return std::make_unique<ReaderDecoder>(CodePage::Name().constData());
    case StationReader::Encoding::Windows1252:
        break;
    }
    return nullptr;
}

// Utf8ElseWindows1252 on a whole text: each line decoded by itself, the
// line ends kept.
QString DecodeByLine(QByteArrayView bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes = bytes.first(nul);
    QString text;
    text.reserve(bytes.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        text += CodePage::FromUtf8Or1252(bytes.sliced(start, i - start));
        if (i < bytes.size())
            text += QLatin1Char(bytes[i]);
        start = i + 1;
    }
    return text;
}

} // namespace

StationReader::StationReader(Encoding encoding)
    : encoding_(encoding), decoder_(DecoderFor(encoding)) {}

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
    if (encoding_ == Encoding::Utf8ElseWindows1252) {
        SplitBytes(bytes);
        return;
    }
    const QString text = decoder_ ? decoder_->decode(bytes) : CodePage::FromWindows1252(bytes);
    Split(text);
}

void StationReader::Split(QStringView text) {
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) {
        text = text.left(nul);
        ended_ = true;
    }
    SplitAtLineEnds(text, pending_, [this](QStringView line) { lines_.Append(line); });
}

void StationReader::SplitBytes(QByteArrayView bytes) {
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) {
        bytes = bytes.first(nul);
        ended_ = true;
    }
    SplitAtLineEnds(bytes, pendingBytes_, [this](QByteArrayView line) { AppendDecoded(line); });
}

template <class View, class Text, class Take>
void StationReader::SplitAtLineEnds(View text, Text &pending, Take take) {
    const auto *data = text.data();
    const qsizetype n = text.size();
    qsizetype start = 0;
    if (pendingCr_ && n > 0) {
        pendingCr_ = false;
        if (data[0] == u'\n')
            start = 1;
    }
    for (qsizetype i = start; i < n; ++i) {
        const auto c = data[i];
        if (c != u'\r' && c != u'\n')
            continue;
        const View piece = text.sliced(start, i - start);
        if (pending.isEmpty()) {
            take(piece);
        } else {
            pending.append(piece);
            take(View(pending));
            pending.clear();
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
        pending.append(text.sliced(start));
}

void StationReader::AppendDecoded(QByteArrayView line) {
    if (!Utf8Validator::IsValid(line)) {
        lines_.Append(CodePage::FromWindows1252(line));
        return;
    }
    // UTF-8 never takes more UTF-16 units than bytes; the room is kept from
    // line to line, so a list of a million lines is not a million
    // allocations. A valid line leaves the decoder with no state behind.
    if (lineText_.size() < line.size())
        lineText_.resize(line.size());
    QChar *begin = lineText_.data();
    const QChar *end = decoder_->appendToBuffer(begin, line);
    lines_.Append(QStringView(begin, end - begin));
}

StationLines StationReader::Finish() {
    if (!pendingBytes_.isEmpty()) {
        AppendDecoded(pendingBytes_);
        pendingBytes_ = QByteArray();
    }
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
    if (encoding == Encoding::Utf8ElseWindows1252)
        return DecodeByLine(bytes);
    const std::unique_ptr<QStringDecoder> decoder = DecoderFor(encoding);
    return decoder ? decoder->decode(bytes) : CodePage::FromWindows1252(bytes);
}
