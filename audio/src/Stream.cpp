#include "Stream.h"

#include "EngineLimits.h"
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

} // namespace

Stream::Stream(int outputRate) : voice_(static_cast<size_t>(outputRate) * kPcmBufferMs / 1000) {}

Stream::~Stream() {
    shutdown();
}

void Stream::shutdown() {
    ring_.abort();
    if (source_)
        source_->stop();
    if (hls_)
        hls_->stop();
    if (decoder_)
        decoder_->stop();
}

std::shared_ptr<Stream> Stream::open(const OpenRequest &request, int &error) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kMaxOpenMs);
    return openAt(request, request.url, 0, deadline, error);
}

std::shared_ptr<Stream> Stream::openAt(const OpenRequest &request, const std::string &url,
                                       int depth,
                                       std::chrono::steady_clock::time_point openDeadline,
                                       int &error) {
    if (depth > kMaxPlaylistDepth || !isHttpUrl(url)) {
        error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    using Clock = std::chrono::steady_clock;
    auto answerDeadline =
        std::min(openDeadline, Clock::now() + std::chrono::milliseconds(request.net.timeoutMs));

    auto stream = std::make_shared<Stream>(request.outputRate);
    Stream *raw = stream.get();
    HttpSource::Options options{url, request.net, request.bufferMs, request.proc, request.user};
    stream->source_ = std::make_unique<HttpSource>(
        options, stream->ring_, [raw](const std::string &block) { raw->publishMeta(block); });
    stream->source_->start();
    error = stream->source_->waitForAnswer(answerDeadline);
    if (error != BASS_OK) {
        stream->shutdown();
        return nullptr;
    }
    const HttpAnswer &answer = stream->source_->answer();
    auto audioDeadline =
        std::min(openDeadline, Clock::now() + std::chrono::milliseconds(kFirstAudioTimeoutMs));

    std::string first(kPlaylistSniffBytes, '\0');
    long n = stream->ring_.peek(reinterpret_cast<uint8_t *>(first.data()), first.size(),
                                msUntil(audioDeadline));
    first.resize(static_cast<size_t>(std::max(n, 0L)));

    if (PlaylistParser::isPlaylist(answer.contentType, first)) {
        stream->ring_.waitForEndOrFill(kMaxPlaylistBytes, msUntil(audioDeadline));
        std::string body(kMaxPlaylistBytes, '\0');
        n = stream->ring_.peek(reinterpret_cast<uint8_t *>(body.data()), body.size(), 0);
        body.resize(static_cast<size_t>(std::max(n, 0L)));
        std::string base = answer.effectiveUrl.empty() ? url : answer.effectiveUrl;
        stream->shutdown();
        // An HLS playlist is the stream itself, not a list of stations.
        if (HlsPlaylist::isHls(body))
            return openHls(request, answer, base, std::move(body), openDeadline, error);
        if (!request.followPlaylists) {
            error = BASS_ERROR_FORMAT;
            return nullptr;
        }
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

    // A stream with ICY metadata names its songs there; only one source of
    // titles per stream keeps the notifications in order.
    error = stream->startDecoder(request, answer, first, answer.metaint <= 0, audioDeadline);
    if (error != BASS_OK) {
        stream->shutdown();
        return nullptr;
    }
    stream->keepHeaders(answer);
    return stream;
}

std::shared_ptr<Stream> Stream::openHls(const OpenRequest &request, const HttpAnswer &answer,
                                        const std::string &url, std::string playlist,
                                        std::chrono::steady_clock::time_point openDeadline,
                                        int &error) {
    using Clock = std::chrono::steady_clock;
    // The variant's playlist and the first segment are requests of their own.
    auto deadline =
        std::min(openDeadline, Clock::now() + std::chrono::milliseconds(request.net.timeoutMs +
                                                                        kFirstAudioTimeoutMs));
    auto stream = std::make_shared<Stream>(request.outputRate);
    Stream *raw = stream.get();
    HlsSource::Options options{url,         std::move(playlist), answer,
                               request.net, request.bufferMs,    request.proc,
                               request.user};
    stream->hls_ =
        std::make_unique<HlsSource>(std::move(options), stream->ring_,
                                    [raw](const std::string &block) { raw->publishMeta(block); });
    stream->hls_->start();
    error = stream->hls_->waitForAnswer(deadline);
    if (error == BASS_OK)
        // Titles come from the playlist and the segments' tags only.
        error =
            stream->startDecoder(request, stream->hls_->answer(), std::string(), false, deadline);
    if (error != BASS_OK) {
        stream->shutdown();
        return nullptr;
    }
    stream->keepHeaders(stream->hls_->answer());
    return stream;
}

int Stream::startDecoder(const OpenRequest &request, const HttpAnswer &answer,
                         const std::string &firstBytes, bool withComments,
                         std::chrono::steady_clock::time_point deadline) {
    StreamDecoder::CommentCallback onComment;
    if (withComments)
        onComment = [this](const std::string &block) { publishMeta(block); };
    decoder_ =
        std::make_unique<StreamDecoder>(ring_, voice_.pcm, voice_.playing, request.outputRate,
                                        answer.contentType, firstBytes, std::move(onComment));
    decoder_->start();
    return decoder_->waitForFirstAudio(deadline);
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

bool Stream::filePosition(DWORD mode, QWORD &value) const {
    switch (mode) {
    case BASS_FILEPOS_CURRENT:
        value = ring_.consumed();
        return true;
    case BASS_FILEPOS_DOWNLOAD:
        value = ring_.downloaded();
        return true;
    case BASS_FILEPOS_END:
        value = contentLength_ > 0 ? static_cast<QWORD>(contentLength_) : ring_.capacity();
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
        return metaBlocks_.empty() ? nullptr : metaBlocks_.back()->c_str();
    }
    default:
        return nullptr;
    }
}

DWORD Stream::activity() {
    if (!voice_.playing)
        return BASS_ACTIVE_STOPPED;
    if (voice_.pcm.availableFrames() == 0) {
        if (decoder_ && decoder_->finished()) {
            // Played out everything the server sent.
            voice_.playing = false;
            return BASS_ACTIVE_STOPPED;
        }
        return BASS_ACTIVE_STALLED;
    }
    return BASS_ACTIVE_PLAYING;
}

void Stream::setPlaying(bool playing) {
    voice_.playing = playing;
    if (decoder_)
        decoder_->wake();
}

void Stream::addMetaSync(DWORD sync, SYNCPROC *proc, void *user) {
    std::lock_guard lock(metaMutex_);
    syncs_.push_back({sync, proc, user});
}

void Stream::publishMeta(const std::string &block) {
    std::vector<MetaSync> syncs;
    {
        std::lock_guard lock(metaMutex_);
        if (!metaBlocks_.empty() && *metaBlocks_.back() == block)
            return;
        metaBlocks_.push_back(std::make_unique<std::string>(block));
        if (metaBlocks_.size() > kKeptMetaBlocks)
            metaBlocks_.pop_front();
        syncs = syncs_;
    }
    for (const MetaSync &s : syncs)
        s.proc(s.handle, handle_, 0, s.user);
}

} // namespace quorane::engine
