// File > Record: the main window's side of the recorder. While the tick is
// on, the stream that plays is handed to the recorder through the engine's
// tap, from the stream's start when it began with the tick on; Stop, another
// station, the end of the stream or taking the tick off ends the song under
// way. The recorder reports from its own thread; what the user must see (a
// recording stopped for want of disk space) reaches the window through Post.
#include "platform/CodePage.h"
#include "playback/StreamPlayer.h"
#include "recording/StreamRecorder.h"
#include "shell/TForm1.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace {

// The desktop's music folder (XDG_MUSIC_DIR), else ~/Music.
QString MusicFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return music.isEmpty() ? QDir::home().filePath(QStringLiteral("Music")) : music;
}

} // namespace

void TForm1::Record1Click() {
    if (!Record1->isChecked()) {
        CloseRecorder();
        UpdateStatusPanel3();
        return;
    }
    StreamRecorder::Settings settings;
    settings.MusicFolder = MusicFolder();
    recorder_ = std::make_unique<StreamRecorder>(settings, [this](const SongSplitter::Notice &n) {
        if (n.What != SongSplitter::Notice::Kind::Stopped)
            return;
        // The recorder's thread: the window hears of it on its own.
        Post(this, [this, reason = n.Reason] {
            if (!recorder_)
                return;
            Record1->setChecked(false);
            Record1Click();
            SetStatusPanel(OutcomePanel, reason);
        });
    });
    if (Playback.Channel != 0 && Playback.AudioLibHandle &&
        Playback.Bass.BASS_ChannelIsActive(Playback.Channel) != BASS_ACTIVE_STOPPED)
        StreamPlayingChanged(Playback.Channel, true);
}

void TForm1::StreamPlayingChanged(DWORD channel, bool playing) {
    if (!playing) {
        if (channel == recordedChannel_)
            EndRecording();
        UpdateStatusPanel3();
        return;
    }
    if (!recorder_ || !Playback.AudioLibHandle || channel == recordedChannel_)
        return;
    EndRecording();
    // The station by the name it was played under (the list's), else the
    // name it gives itself, else its server; a title that is either name is
    // the station's own.
    const QString icyName = CodePage::FromAnsi(Playback.IcyName).trimmed();
    const QString url = CodePage::FromAnsi(Playback.CurrentUrl);
    const QString name = !playingName_.trimmed().isEmpty() ? playingName_.trimmed()
                         : !icyName.isEmpty()              ? icyName
                                                           : QUrl(url).host();
    QStringList own;
    for (const QString &n : {playingName_.trimmed(), icyName})
        if (!n.isEmpty())
            own.append(n);
    recorder_->BeginStream({name, own, url});
    if (!Playback.Bass.BASS_ChannelSetTap(channel, &StreamRecorder::TapProc, recorder_.get())) {
        recorder_->EndStream();
        UpdateStatusPanel3();
        return;
    }
    recordedChannel_ = channel;
    UpdateStatusPanel3();
}

void TForm1::EndRecording() {
    if (recordedChannel_ == 0)
        return;
    // No tap call may come once the recorder hears the stream has ended.
    if (Playback.AudioLibHandle)
        Playback.Bass.BASS_ChannelSetTap(recordedChannel_, nullptr, nullptr);
    recordedChannel_ = 0;
    if (recorder_)
        recorder_->EndStream();
}

void TForm1::CloseRecorder() {
    EndRecording();
    recorder_.reset();
}
