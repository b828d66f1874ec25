#include "playback/StreamTitle.h"

#include "platform/CodePage.h"
#include "playback/Dynamic_Bass.h"
#include "playback/PlaybackState.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMetaObject>

namespace {
PlayerView *g_view = nullptr; // UI thread
} // namespace

QByteArray RawStreamTitle(const QByteArray &q) {
    const qsizetype b0 = q.indexOf("StreamTitle=");
    if (b0 < 0)
        return QByteArray();
    // Positions counted from 1, as the block's entries are described.
    const qsizetype b = b0 + 1;
    const qsizetype c = q.indexOf(';') + 1; // 0 when there is none
    const qsizetype length = c - b - 14;
    const qsizetype start = b + 13 - 1; // to a 0-based index
    if (length <= 0 || start >= q.size())
        return QByteArray("");
    return q.mid(start, length);
}

void UpdateStreamTitle(PlayerView &view) {
    if (!AudioLibHandle)
        return;
    const char *tags = Bass.BASS_ChannelGetTags(Channel, BASS_TAG_META);
    if (!tags)
        return;
    const QByteArray q(tags);
    const QByteArray raw = RawStreamTitle(q);
    if (raw.isNull())
        return;
    QString title = CodePage::AnsiRoundTrip(CodePage::FromUtf8(raw));
    if (title.isEmpty())
        title = CodePage::FromAnsi(IcyName.isEmpty() ? CurrentUrl : IcyName);
    view.SetNowPlaying(title);
    view.SetTitles(view.NowPlaying());
    MetaBytes += q.size();
    view.SetStatusPanel(2, MetadataReceivedText(MetaBytes));
}

QString MetadataReceivedText(qint64 bytes) {
    return QStringLiteral("Metadata received: ") +
           QLocale::system().toString(double(bytes) / 1048576.0, 'f', 3) + QStringLiteral(" Mb");
}

void SetTitleView(PlayerView *view) {
    g_view = view;
}

void MetaSyncProc(DWORD, DWORD, DWORD, void *) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [] {
            if (g_view)
                UpdateStreamTitle(*g_view);
        },
        Qt::QueuedConnection);
}
