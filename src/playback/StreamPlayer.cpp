#include "playback/StreamPlayer.h"

#include "platform/CodePage.h"
#include "playback/StreamTitle.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <chrono>

StreamPlayer::StreamPlayer(PlaybackState &state, PlayerView &view) : state_(state), view_(view) {}

StreamPlayer::~StreamPlayer() {
    Shutdown();
    // No notification may name this object once it is gone.
    if (EngineLoaded())
        state_.Bass.BASS_StreamFree(state_.Channel);
    state_.Channel = 0;
}

void StreamPlayer::PlayUrl(const QByteArray &url, std::function<void(bool opened)> finished) {
    AbandonPending();
    JoinWorkers(false);
    if (!EngineLoaded()) {
        state_.Channel = 0;
        view_.SetStatusPanel(PlayerView::OutcomePanel,
                             CodePage::FromAnsi("Can't open " + state_.CurrentUrl));
        if (finished)
            finished(false);
        return;
    }
    // The stream that plays goes at once, with its notifications: from here
    // on nothing of it reaches the window.
    state_.Bass.BASS_StreamFree(state_.Channel);
    state_.Channel = 0;
    beforeReconnect_ = QString();

    auto job = std::make_shared<OpenJob>();
    pending_ = job;
    finished_ = std::move(finished);
    jobs_.push_back(job);
    view_.SetConnecting(true);
    job->worker = std::thread(&StreamPlayer::RunOpen, this, job, url);
}

void StreamPlayer::RunOpen(std::shared_ptr<OpenJob> job, QByteArray url) {
    const BassEntryPoints &bass = state_.Bass;
    const DWORD handle = bass.BASS_StreamCreateURL(url.constData(), 0, 0, nullptr, nullptr);
    if (handle != 0 && !job->abandoned)
        Prebuffer(bass, handle, *job);
    if (job->abandoned) {
        if (handle != 0)
            bass.BASS_StreamFree(handle);
    } else {
        job->handle = handle;
        // `this` outlives the call: its destructor joins this thread, and a
        // queued call to an object that is gone is dropped by Qt.
        QMetaObject::invokeMethod(
            this, [this, job, handle] { Opened(job, handle); }, Qt::QueuedConnection);
    }
    job->done = true;
}

void StreamPlayer::Prebuffer(const BassEntryPoints &bass, DWORD handle, const OpenJob &job) {
    QElapsedTimer waited;
    waited.start();
    while (!job.abandoned) {
        const quint32 len = quint32(bass.BASS_StreamGetFilePosition(handle, BASS_FILEPOS_END));
        if (len == 0xFFFFFFFFu || len == 0)
            break; // no buffer to measure
        const QWORD down = bass.BASS_StreamGetFilePosition(handle, BASS_FILEPOS_DOWNLOAD);
        const QWORD cur = bass.BASS_StreamGetFilePosition(handle, BASS_FILEPOS_CURRENT);
        const qint64 share = (qint64(down) - qint64(cur)) * 100 / qint64(len);
        if (quint32(share) > 75)
            break;
        if (waited.elapsed() > PrebufferLimitMs)
            break;
        // A moment's sleep keeps the wait from spinning a core.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void StreamPlayer::Opened(const std::shared_ptr<OpenJob> &job, DWORD handle) {
    if (job->delivered)
        return; // freed by Shutdown already
    job->delivered = true;
    if (job != pending_ || job->abandoned) {
        if (handle != 0 && EngineLoaded())
            state_.Bass.BASS_StreamFree(handle);
        return;
    }
    pending_.reset();
    std::function<void(bool opened)> finished = std::move(finished_);
    finished_ = nullptr;
    view_.SetConnecting(false);

    state_.Channel = handle;
    if (handle == 0) {
        view_.SetStatusPanel(PlayerView::OutcomePanel,
                             CodePage::FromAnsi("Can't open " + state_.CurrentUrl));
    } else {
        ReadIcy();
        state_.Bass.BASS_ChannelSetSync(handle, BASS_SYNC_META, 0, &StreamPlayer::MetaSyncProc,
                                        this);
        state_.Bass.BASS_ChannelSetSync(handle, BASS_SYNC_STALL, 0, &StreamPlayer::StallSyncProc,
                                        this);
        state_.Bass.BASS_ChannelSetSync(handle, BASS_SYNC_END, 0, &StreamPlayer::EndSyncProc, this);
        state_.Bass.BASS_ChannelPlay(handle, FALSE);
        view_.SetStatusPanel(PlayerView::OutcomePanel,
                             CodePage::FromAnsi("Playing " + state_.CurrentUrl));
    }
    if (finished)
        finished(handle != 0);
}

void StreamPlayer::ReadIcy() {
    state_.IcyBitrate.clear();
    state_.IcyName.clear();
    const char *tags = state_.Bass.BASS_ChannelGetTags(state_.Channel, BASS_TAG_ICY);
    if (!tags)
        tags = state_.Bass.BASS_ChannelGetTags(state_.Channel, BASS_TAG_HTTP);
    for (const char *line = tags; line && *line; line += qstrlen(line) + 1) {
        const QByteArray text(line);
        if (text.startsWith("icy-name:")) {
            view_.SetNowPlaying(CodePage::FromAnsi(text.mid(9)));
            state_.IcyName = CodePage::ToAnsi(view_.NowPlaying());
        } else if (text.startsWith("icy-br:")) {
            state_.IcyBitrate = text.mid(7) + "k";
        }
    }
    view_.SetStatusPanel(PlayerView::BitratePanel,
                         CodePage::FromAnsi("Bitrate: " + state_.IcyBitrate));
}

void StreamPlayer::MetaSyncProc(DWORD, DWORD channel, DWORD, void *user) {
    auto *self = static_cast<StreamPlayer *>(user);
    // The block is copied now, while the engine announces it: the next one
    // may replace it before the UI thread gets to it.
    const char *tags = self->state_.Bass.BASS_ChannelGetTags(channel, BASS_TAG_META);
    if (!tags)
        return;
    QMetaObject::invokeMethod(
        self, [self, channel, block = QByteArray(tags)] { self->MetaArrived(channel, block); },
        Qt::QueuedConnection);
}

void StreamPlayer::MetaArrived(DWORD channel, const QByteArray &block) {
    if (channel == 0 || channel != state_.Channel)
        return; // a stream released since
    UpdateStreamTitle(block, state_, view_);
}

void StreamPlayer::StallSyncProc(DWORD, DWORD channel, DWORD data, void *user) {
    auto *self = static_cast<StreamPlayer *>(user);
    QMetaObject::invokeMethod(
        self, [self, channel, data] { self->Stalled(channel, data != 0); }, Qt::QueuedConnection);
}

void StreamPlayer::EndSyncProc(DWORD, DWORD channel, DWORD data, void *user) {
    auto *self = static_cast<StreamPlayer *>(user);
    QMetaObject::invokeMethod(
        self, [self, channel, data] { self->Ended(channel, data != 0); }, Qt::QueuedConnection);
}

void StreamPlayer::Stalled(DWORD channel, bool stalled) {
    if (channel == 0 || channel != state_.Channel)
        return;
    if (stalled) {
        if (beforeReconnect_.isNull())
            beforeReconnect_ = view_.StatusPanel(PlayerView::OutcomePanel);
        view_.SetStatusPanel(PlayerView::OutcomePanel, QStringLiteral("Reconnecting..."));
    } else if (!beforeReconnect_.isNull()) {
        view_.SetStatusPanel(PlayerView::OutcomePanel, beforeReconnect_);
        beforeReconnect_ = QString();
    }
}

void StreamPlayer::Ended(DWORD channel, bool lost) {
    if (channel == 0 || channel != state_.Channel)
        return;
    beforeReconnect_ = QString();
    // A file that played to its end has simply finished: it stops as Stop
    // leaves it, with every text as it was.
    if (lost)
        view_.SetStatusPanel(PlayerView::OutcomePanel,
                             CodePage::FromAnsi("Can't open " + state_.CurrentUrl));
}

void StreamPlayer::StopStream() {
    const bool wasConnecting = Connecting();
    AbandonPending();
    if (wasConnecting)
        view_.SetStatusPanel(PlayerView::OutcomePanel, QString());
    // A stopped stream does not reconnect: take "Reconnecting..." back.
    if (!beforeReconnect_.isNull()) {
        view_.SetStatusPanel(PlayerView::OutcomePanel, beforeReconnect_);
        beforeReconnect_ = QString();
    }
    if (EngineLoaded())
        state_.Bass.BASS_ChannelStop(state_.Channel);
}

void StreamPlayer::SetOutputVolume(int position, double factor) {
    if (EngineLoaded())
        state_.Bass.BASS_SetVolume(float(position * factor / 100.0));
}

void StreamPlayer::Shutdown() {
    AbandonPending();
    JoinWorkers(true);
}

void StreamPlayer::AbandonPending() {
    if (!pending_)
        return;
    pending_->abandoned = true;
    pending_.reset();
    finished_ = nullptr;
    view_.SetConnecting(false);
}

void StreamPlayer::JoinWorkers(bool all) {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        OpenJob &job = **it;
        if (all) {
            job.abandoned = true;
            if (job.worker.joinable())
                job.worker.join();
            // A stream handed over whose queued call will never run now.
            if (!job.delivered && job.handle != 0 && EngineLoaded())
                state_.Bass.BASS_StreamFree(job.handle);
            job.delivered = true;
            it = jobs_.erase(it);
        } else if (job.done) {
            if (job.worker.joinable())
                job.worker.join();
            const bool settled = job.delivered || job.handle == 0;
            it = settled ? jobs_.erase(it) : std::next(it);
        } else {
            ++it;
        }
    }
}
