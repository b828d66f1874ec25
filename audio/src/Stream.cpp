#include "Stream.h"

#include "EngineLimits.h"
#include "EngineLog.h"
#include "HlsPlaylist.h"
#include "PlaylistParser.h"

#include <algorithm>
#include <strings.h>

namespace quorane::engine {

namespace {

bool isHttpUrl(const std::string &url) {
    return strncasecmp(url.c_str(), "http://", 7) == 0 ||
           strncasecmp(url.c_str(), "https://", 8) == 0;
}

int msUntil(std::chrono::steady_clock::time_point t) {
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(t - std::chrono::steady_clock::now())
            .count();
    return static_cast<int>(std::max<long long>(ms, 0));
}

constexpr size_t kKeptMetaBlocks = 8;

HttpSource::Options optionsFor(const OpenRequest &r) {
    return {r.url, r.net, r.bufferMs, r.proc, r.user};
}

} // namespace

Stream::Stream(const OpenRequest &request)
    : outputRate_(request.outputRate), baseOptions_(optionsFor(request)),
      reconnectLimitMs_(request.reconnectLimitMs),
      voice_(static_cast<size_t>(request.outputRate) * kPcmBufferMs / 1000),
      timeline_(kMaxPendingAnnouncements),
      schedule_(std::chrono::milliseconds(request.reconnectLimitMs)) {}

Stream::~Stream() {
    shutdown();
}

std::shared_ptr<Connection> Stream::makeConnection(const std::string &url, Connection::Hls hls) {
    HttpSource::Options options = baseOptions_;
    options.url = url;
    if (hls_) {
        // A reconnect goes on after the last segment the listener got.
        if (hls.playlist.empty() && current_)
            hls.resumeAt = current_->nextSequence();
        return std::make_shared<Connection>(nextSerial_++, std::move(options), timeline_,
                                            std::move(hls));
    }
    return std::make_shared<Connection>(nextSerial_++, std::move(options), timeline_);
}

void Stream::startControl() {
    std::weak_ptr<Stream> weak = weak_from_this();
    control_ = std::thread([weak] {
        // The thread keeps its stream alive while it runs, so that a sync
        // which frees the stream does not pull it away under the loop.
        if (auto self = weak.lock())
            self->controlLoop();
    });
}

void Stream::shutdown() {
    {
        std::lock_guard lock(controlMutex_);
        stopping_ = true;
        controlWake_.notify_all();
    }
    if (control_.joinable()) {
        if (control_.get_id() == std::this_thread::get_id())
            control_.detach(); // freed from one of its own syncs
        else
            control_.join();
    }
    if (attempt_)
        attempt_->stop();
    std::shared_ptr<Connection> current;
    {
        std::lock_guard lock(connMutex_);
        current = current_;
    }
    if (current)
        current->stop();
}

bool Stream::stopping() {
    std::lock_guard lock(controlMutex_);
    return stopping_;
}

std::shared_ptr<Stream> Stream::open(const OpenRequest &request, int &error) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxOpenMs);
    return openAt(request, request.url, 0, deadline, error);
}

std::shared_ptr<Stream> Stream::openAt(const OpenRequest &request, const std::string &url,
                                       int depth, Clock::time_point openDeadline, int &error) {
    if (depth > kMaxPlaylistDepth || !isHttpUrl(url)) {
        error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    auto answerDeadline =
        std::min(openDeadline, Clock::now() + std::chrono::milliseconds(request.net.timeoutMs));

    auto stream = std::make_shared<Stream>(request);
    std::shared_ptr<Connection> conn = stream->makeConnection(url);
    conn->startDownload();
    error = conn->source().waitForAnswer(answerDeadline);
    if (error != BASS_OK) {
        if (error == BASS_ERROR_TIMEOUT)
            QLOG_INFO("no answer from %s within %u ms: open aborted", url.c_str(),
                      request.net.timeoutMs);
        conn->stop();
        return nullptr;
    }
    const HttpAnswer &answer = conn->source().answer();
    auto audioDeadline =
        std::min(openDeadline, Clock::now() + std::chrono::milliseconds(kFirstAudioTimeoutMs));

    std::string first(kPlaylistSniffBytes, '\0');
    long n = conn->ring().peek(reinterpret_cast<uint8_t *>(first.data()), first.size(),
                               msUntil(audioDeadline));
    first.resize(static_cast<size_t>(std::max(n, 0L)));

    if (PlaylistParser::isPlaylist(answer.contentType, first)) {
        conn->ring().waitForEndOrFill(kMaxPlaylistBytes, msUntil(audioDeadline));
        std::string body(kMaxPlaylistBytes, '\0');
        n = conn->ring().peek(reinterpret_cast<uint8_t *>(body.data()), body.size(), 0);
        body.resize(static_cast<size_t>(std::max(n, 0L)));
        const bool whole = conn->ring().ended() && conn->ring().downloaded() == body.size();
        std::string base = answer.effectiveUrl.empty() ? url : answer.effectiveUrl;
        HttpAnswer playlistAnswer = answer;
        conn->stop();
        // An HLS playlist is the stream itself, not a list of stations. One
        // longer than what was read here is fetched anew by the stream's
        // source, which reads it as it arrives.
        if (HlsPlaylist::isHls(body)) {
            QLOG_INFO("HLS playlist at %s%s", url.c_str(), whole ? "" : " (read again whole)");
            stream->hls_ = true;
            conn = stream->makeConnection(
                base, {whole ? std::move(body) : std::string(), std::move(playlistAnswer)});
            conn->startDownload();
            // The variant's playlist and the first segment are requests of their own.
            auto deadline = std::min(
                openDeadline, Clock::now() + std::chrono::milliseconds(request.net.timeoutMs +
                                                                       kFirstAudioTimeoutMs));
            error = conn->source().waitForAnswer(deadline);
            if (error != BASS_OK) {
                conn->stop();
                return nullptr;
            }
            return finishOpen(std::move(stream), std::move(conn), base, std::string(), deadline,
                              error);
        }
        if (!request.followPlaylists) {
            error = BASS_ERROR_FORMAT;
            return nullptr;
        }
        QLOG_INFO("playlist at %s", url.c_str());
        error = BASS_ERROR_FORMAT; // a playlist without a single playable entry
        for (const std::string &entry : PlaylistParser::entries(body)) {
            if (Clock::now() >= openDeadline) {
                error = BASS_ERROR_TIMEOUT;
                break;
            }
            std::string target = PlaylistParser::resolve(base, entry);
            if (target.empty())
                continue;
            if (auto found = openAt(request, target, depth + 1, openDeadline, error))
                return found;
        }
        return nullptr;
    }

    return finishOpen(std::move(stream), std::move(conn), url, first, audioDeadline, error);
}

std::shared_ptr<Stream> Stream::finishOpen(std::shared_ptr<Stream> stream,
                                           std::shared_ptr<Connection> conn, const std::string &url,
                                           const std::string &first,
                                           Clock::time_point audioDeadline, int &error) {
    const HttpAnswer &answer = conn->source().answer();
    // A stream with ICY metadata names its songs there; only one source of
    // titles per stream keeps the announcements in order.
    conn->startDecoder(stream->voice_.pcm, stream->voice_.playing, stream->outputRate_, first,
                       conn->titlesFromComments());
    error = conn->decoder()->waitForFirstAudio(audioDeadline);
    if (error != BASS_OK) {
        if (error == BASS_ERROR_TIMEOUT)
            QLOG_INFO("no audio from %s within %u ms of the answer: open aborted", url.c_str(),
                      kFirstAudioTimeoutMs);
        conn->stop();
        // The connection reports to the stream's timeline until it is gone:
        // it must go before the stream, whatever order the caller's
        // arguments are destroyed in.
        conn.reset();
        return nullptr;
    }
    stream->url_ = url;
    stream->finite_ = answer.contentLength >= 0;
    stream->keepHeaders(answer);
    stream->setCurrent(std::move(conn));
    return stream;
}

void Stream::keepHeaders(const HttpAnswer &answer) {
    icyStatus_ = answer.icyStatus;
    contentLength_ = answer.contentLength;
    headerTags_.clear();
    for (const std::string &line : answer.lines) {
        headerTags_ += line;
        headerTags_ += '\0';
    }
    headerTags_ += '\0';
}

void Stream::setCurrent(std::shared_ptr<Connection> connection) {
    std::lock_guard lock(connMutex_);
    current_ = std::move(connection);
}

bool Stream::filePosition(DWORD mode, QWORD &value) {
    std::shared_ptr<Connection> conn;
    {
        std::lock_guard lock(connMutex_);
        conn = current_;
    }
    if (!conn)
        return false;
    const ByteRing &ring = conn->ring();
    switch (mode) {
    case BASS_FILEPOS_CURRENT:
        value = ring.consumed();
        return true;
    case BASS_FILEPOS_DOWNLOAD:
        value = ring.downloaded();
        return true;
    case BASS_FILEPOS_END:
        value = contentLength_ > 0 ? static_cast<QWORD>(contentLength_) : ring.capacity();
        return true;
    default:
        return false;
    }
}

const char *Stream::tags(DWORD kind) {
    switch (kind) {
    case BASS_TAG_HTTP:
        return !icyStatus_ && headerTags_.size() > 1 ? headerTags_.data() : nullptr;
    case BASS_TAG_ICY:
        return icyStatus_ && headerTags_.size() > 1 ? headerTags_.data() : nullptr;
    case BASS_TAG_META: {
        std::lock_guard lock(metaMutex_);
        return announced_.empty() ? nullptr : announced_.back()->c_str();
    }
    default:
        return nullptr;
    }
}

DWORD Stream::activity() {
    if (!voice_.playing || ended_)
        return BASS_ACTIVE_STOPPED;
    if (reconnecting_ || voice_.pcm.availableFrames() == 0)
        return BASS_ACTIVE_STALLED;
    return BASS_ACTIVE_PLAYING;
}

void Stream::setPlaying(bool playing) {
    voice_.playing = playing;
    std::shared_ptr<Connection> conn;
    {
        std::lock_guard lock(connMutex_);
        conn = current_;
    }
    if (conn && conn->decoder())
        conn->decoder()->wake();
    std::lock_guard lock(controlMutex_);
    controlWake_.notify_all();
}

void Stream::addSync(DWORD sync, DWORD type, SYNCPROC *proc, void *user) {
    std::lock_guard lock(metaMutex_);
    syncs_.push_back({sync, type, proc, user});
}

// The control thread: every kControlTickMs it announces what the output has
// just played and looks after the connection. It takes no lock while it
// calls a sync.
void Stream::controlLoop() {
    while (true) {
        {
            std::unique_lock lock(controlMutex_);
            controlWake_.wait_for(lock, std::chrono::milliseconds(kControlTickMs),
                                  [&] { return stopping_; });
            if (stopping_)
                return;
        }
        announcePlayed();
        if (stopping())
            return;
        checkConnection(Clock::now());
    }
}

void Stream::announcePlayed() {
    for (PlaybackTimeline::Event &e : timeline_.takePlayed(voice_.pcm.framesPlayed())) {
        if (stopping())
            return;
        if (e.kind == PlaybackTimeline::Kind::Meta) {
            announceMeta(e.block);
        } else if (e.tag == outage_ && reconnecting_) {
            // Sound of the new connection is heard: the outage is over.
            QLOG_INFO("sound is back after %zu attempt(s)", schedule_.attempts());
            schedule_.recovered();
            reconnecting_ = false;
            stallAnnounced_ = false;
            callSyncs(BASS_SYNC_STALL, 0);
        }
    }
}

void Stream::announceMeta(const std::string &block) {
    {
        std::lock_guard lock(metaMutex_);
        announced_.push_back(std::make_unique<std::string>(block));
        if (announced_.size() > kKeptMetaBlocks)
            announced_.pop_front();
    }
    QLOG_DEBUG("announcing %s", block.c_str());
    callSyncs(BASS_SYNC_META, 0);
}

void Stream::callSyncs(DWORD type, DWORD data) {
    std::vector<Sync> syncs;
    {
        std::lock_guard lock(metaMutex_);
        syncs = syncs_;
    }
    for (const Sync &s : syncs) {
        if (s.type != type)
            continue;
        if (stopping())
            return;
        s.proc(s.handle, handle_, data, s.user);
    }
}

void Stream::checkConnection(Clock::time_point now) {
    switch (state_) {
    case State::Live:
        checkLive(now);
        break;
    case State::Waiting:
        if (!voice_.playing)
            abandonAttempts();
        else if (schedule_.givenUp(now))
            giveUp();
        else if (now >= nextAttempt_)
            startAttempt(now);
        break;
    case State::Connecting:
        checkAttempt(now);
        break;
    case State::Resuming:
        checkResume(now);
        break;
    case State::Finishing:
        checkFinished();
        break;
    case State::Ended:
        break;
    }
}

void Stream::checkLive(Clock::time_point now) {
    // A stopped stream never reconnects: what it lacks is found out when it
    // plays again.
    if (!voice_.playing)
        return;
    Connection &c = *current_;
    if (finite_) {
        if (c.ring().ended())
            state_ = State::Finishing;
        return;
    }
    const char *why = nullptr;
    if (c.ring().ended())
        why = "the connection closed or failed";
    else if (c.decoderFinished())
        why = "the stream could no longer be decoded";
    else if (c.source().idleMs() >= static_cast<int64_t>(kStallMs))
        why = "the server sent nothing for 5 s";
    if (!why) {
        uint64_t played = voice_.pcm.framesPlayed();
        uint64_t since = played > resumeFrame_ ? played - resumeFrame_ : 0;
        schedule_.playedFor(std::chrono::milliseconds(since * 1000 / outputRate_));
        return;
    }
    ++outage_;
    nextAttempt_ = schedule_.lost(now);
    QLOG_INFO(
        "%s: reconnecting to %s in %lld ms", why, url_.c_str(),
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt_ - now).count()));
    reconnecting_ = true;
    state_ = State::Waiting;
    if (!stallAnnounced_) {
        stallAnnounced_ = true;
        callSyncs(BASS_SYNC_STALL, 1);
    }
}

void Stream::startAttempt(Clock::time_point now) {
    QLOG_INFO("reconnect attempt %zu to %s", schedule_.attempts(), url_.c_str());
    attempt_ = makeConnection(url_);
    attempt_->startDownload();
    // The answer, then the first audio bytes after it, each within its bound.
    attemptDeadline_ = now + std::chrono::milliseconds(baseOptions_.net.timeoutMs);
    attemptAnswered_ = false;
    state_ = State::Connecting;
}

void Stream::checkAttempt(Clock::time_point now) {
    if (!voice_.playing) {
        abandonAttempts();
        return;
    }
    int error = BASS_OK;
    if (!attempt_->source().answered(error)) {
        if (now >= attemptDeadline_)
            failAttempt(now, "no answer in time");
        return;
    }
    if (error != BASS_OK) {
        failAttempt(now, attempt_->source().answer().status >= 300 ? "refused by the server"
                         : error == BASS_ERROR_FORMAT ? "the answer is no stream it can play"
                                                      : "could not connect");
        return;
    }
    if (!attemptAnswered_) {
        // Answered: from now on the first audio is waited for.
        attemptAnswered_ = true;
        attemptDeadline_ = now + std::chrono::milliseconds(kFirstAudioTimeoutMs);
    }
    ByteRing &ring = attempt_->ring();
    if (ring.downloaded() < kPlaylistSniffBytes && !ring.ended()) {
        if (now >= attemptDeadline_)
            failAttempt(now, "no audio in time");
        return;
    }
    // A connection that stalled is cut; one that closed first plays out
    // what it still holds, while the new one fills its buffer.
    Connection &old = *current_;
    if (!old.ring().ended())
        old.stop();
    if (old.decoder() && !old.decoderFinished())
        return;
    old.stop();
    std::string first(kPlaylistSniffBytes, '\0');
    long n = ring.peek(reinterpret_cast<uint8_t *>(first.data()), first.size(), 0);
    first.resize(static_cast<size_t>(std::max(n, 0L)));
    resumeFrame_ = voice_.pcm.framesWritten();
    attempt_->startDecoder(voice_.pcm, voice_.playing, outputRate_, first,
                           attempt_->titlesFromComments());
    setCurrent(std::move(attempt_));
    attemptDeadline_ = now + std::chrono::milliseconds(kFirstAudioTimeoutMs);
    state_ = State::Resuming;
}

void Stream::checkResume(Clock::time_point now) {
    if (!voice_.playing) {
        abandonAttempts();
        return;
    }
    int error = BASS_OK;
    if (!current_->decoder()->firstAudio(error)) {
        if (now >= attemptDeadline_)
            failAttempt(now, "no audio decoded in time");
        return;
    }
    if (error != BASS_OK) {
        failAttempt(now, "the new connection could not be decoded");
        return;
    }
    QLOG_INFO("reconnected to %s", url_.c_str());
    timeline_.addAtFrame(PlaybackTimeline::Kind::Resumed, resumeFrame_, {}, outage_);
    state_ = State::Live;
}

void Stream::failAttempt(Clock::time_point now, const char *why) {
    if (attempt_) {
        attempt_->stop();
        attempt_.reset();
    } else {
        current_->stop(); // the attempt had become the current connection
    }
    if (schedule_.givenUp(now)) {
        QLOG_INFO("reconnect attempt failed (%s)", why);
        giveUp();
        return;
    }
    nextAttempt_ = schedule_.failed(now);
    QLOG_INFO(
        "reconnect attempt failed (%s): next in %lld ms", why,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt_ - now).count()));
    state_ = State::Waiting;
}

void Stream::abandonAttempts() {
    QLOG_INFO("stopped: no more reconnect attempts");
    if (attempt_) {
        attempt_->stop();
        attempt_.reset();
    }
    current_->stop();
    reconnecting_ = false;
    stallAnnounced_ = false;
    state_ = State::Live;
}

void Stream::giveUp() {
    QLOG_INFO("no connection to %s for %u ms: the stream ends", url_.c_str(), reconnectLimitMs_);
    if (attempt_) {
        attempt_->stop();
        attempt_.reset();
    }
    // What the lost connection still holds plays out, unless it stalled.
    if (!current_->ring().ended())
        current_->stop();
    lostForGood_ = true;
    state_ = State::Finishing;
}

void Stream::checkFinished() {
    Connection &c = *current_;
    if (c.decoder() && !c.decoderFinished())
        return;
    if (voice_.pcm.availableFrames() > 0)
        return;
    QLOG_INFO("stream %s ended%s", url_.c_str(), lostForGood_ ? ": its connection is lost" : "");
    ended_ = true;
    reconnecting_ = false;
    state_ = State::Ended;
    callSyncs(BASS_SYNC_END, lostForGood_ ? 1 : 0);
}

} // namespace quorane::engine
