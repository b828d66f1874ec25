#include "playback/StreamTitle.h"

#include "platform/CodePage.h"

#include <QLocale>
#include <QStringDecoder>

QByteArray RawStreamTitle(const QByteArray &block) {
    static const QByteArray key = "StreamTitle=";
    const qsizetype at = block.indexOf(key);
    if (at < 0)
        return QByteArray();
    const qsizetype start = at + key.size();
    if (start < block.size() && block.at(start) == '\'') {
        // A quote inside the title ("It's") is not followed by ";", so only
        // the quote that closes the entry ends it.
        for (qsizetype q = block.indexOf('\'', start + 1); q >= 0; q = block.indexOf('\'', q + 1)) {
            if (q + 1 == block.size() || block.at(q + 1) == ';')
                return QByteArray(block.constData() + start + 1, q - start - 1);
        }
        return QByteArray(block.constData() + start + 1, block.size() - start - 1);
    }
    qsizetype end = block.indexOf(';', start);
    if (end < 0)
        end = block.size();
    return QByteArray(block.constData() + start, end - start);
}

QString DecodeStreamTitle(const QByteArray &raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (utf8.hasError()) {
        QStringDecoder latin("windows-1252");
        text = latin.isValid() ? QString(latin.decode(raw)) : CodePage::FromUtf8(raw);
    }
    return CodePage::AnsiRoundTrip(text);
}

void UpdateStreamTitle(const QByteArray &block, PlaybackState &state, PlayerView &view) {
    const QByteArray raw = RawStreamTitle(block);
    if (raw.isNull())
        return;
    QString title = DecodeStreamTitle(raw);
    const bool own = !title.isEmpty();
    if (!own)
        title = CodePage::FromAnsi(state.IcyName.isEmpty() ? state.CurrentUrl : state.IcyName);
    view.SetNowPlaying(title);
    view.SetTitles(view.NowPlaying());
    // The block's length up to its end: the engine's text ends at its NUL.
    const qsizetype nul = block.indexOf('\0');
    state.MetaBytes += nul < 0 ? block.size() : nul;
    view.SetStatusPanel(PlayerView::MetadataPanel, MetadataReceivedText(state.MetaBytes));
    if (own)
        view.StreamTitleHeard(title);
}

QString MetadataReceivedText(qint64 bytes) {
    return QStringLiteral("Metadata received: ") +
           QLocale::system().toString(double(bytes) / 1048576.0, 'f', 3) + QStringLiteral(" Mb");
}
