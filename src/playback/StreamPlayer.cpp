#include "playback/StreamPlayer.h"

#include "platform/CodePage.h"
#include "playback/Dynamic_Bass.h"
#include "playback/PlaybackState.h"
#include "playback/StreamTitle.h"

#include <QElapsedTimer>
#include <chrono>
#include <thread>

namespace {
bool EngineLoaded() {
    return AudioLibHandle != nullptr;
}
} // namespace

void PlayUrl(const QByteArray &url, PlayerView &view) {
    if (!EngineLoaded()) {
        Channel = 0;
        view.SetStatusPanel(0, CodePage::FromAnsi("Can't open " + CurrentUrl));
        return;
    }
    Bass.BASS_StreamFree(Channel);
    Channel = Bass.BASS_StreamCreateURL(url.constData(), 0, 0, nullptr, nullptr);
    if (Channel == 0) {
        view.SetStatusPanel(0, CodePage::FromAnsi("Can't open " + CurrentUrl));
        return;
    }
    PrebufferAndReadIcy(view);
    Bass.BASS_ChannelSetSync(Channel, BASS_SYNC_META, 0, MetaSyncProc, nullptr);
    Bass.BASS_ChannelPlay(Channel, FALSE);
    view.SetStatusPanel(0, CodePage::FromAnsi("Playing " + CurrentUrl));
}

void PrebufferAndReadIcy(PlayerView &view) {
    IcyBitrate.clear();
    IcyName.clear();

    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QWORD end = Bass.BASS_StreamGetFilePosition(Channel, BASS_FILEPOS_END);
        const quint32 len = quint32(end);
        if (len == 0xFFFFFFFFu || len == 0)
            break; // no buffer to measure
        const QWORD down = Bass.BASS_StreamGetFilePosition(Channel, BASS_FILEPOS_DOWNLOAD);
        const QWORD cur = Bass.BASS_StreamGetFilePosition(Channel, BASS_FILEPOS_CURRENT);
        const qint64 share = (qint64(down) - qint64(cur)) * 100 / qint64(len);
        if (quint32(share) > 75)
            break;
        if (waited.elapsed() > PrebufferLimitMs)
            break;
        // A moment's sleep keeps the wait from spinning a core; the window
        // is deliberately not serviced meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

    const char *tags = Bass.BASS_ChannelGetTags(Channel, BASS_TAG_ICY);
    if (!tags)
        tags = Bass.BASS_ChannelGetTags(Channel, BASS_TAG_HTTP);
    for (const char *line = tags; line && *line; line += qstrlen(line) + 1) {
        const QByteArray text(line);
        if (text.startsWith("icy-name:")) {
            const QString name = CodePage::FromAnsi(text.mid(9));
            view.SetNowPlaying(name);
            IcyName = CodePage::ToAnsi(view.NowPlaying());
        } else if (text.startsWith("icy-br:")) {
            IcyBitrate = text.mid(7) + "k";
        }
    }
    view.SetStatusPanel(1, CodePage::FromAnsi("Bitrate: " + IcyBitrate));
}

void SetOutputVolume(int position) {
    if (EngineLoaded())
        Bass.BASS_SetVolume(float(position) / 100.0f);
}

void StopStream() {
    if (EngineLoaded())
        Bass.BASS_ChannelStop(Channel);
}
