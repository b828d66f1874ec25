#include "HlsSource.h"

#include "EngineLimits.h"
#include "EngineLog.h"
#include "HlsPlaylistReader.h"
#include "Id3Tag.h"
#include "PlaylistParser.h"
#include "TsAudioReader.h"
#include "TsId3Reader.h"

#include <algorithm>
#include <cmath>

namespace quorane::engine {

namespace {

using Clock = std::chrono::steady_clock;

long msSince(Clock::time_point t) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// The Content-Type that makes the decoder pick the segments' demuxer.
std::string formatOf(const std::string &bytes, bool fragmentedMp4) {
    if (fragmentedMp4)
        return "audio/mp4";
    auto b = [&](size_t i) { return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0; };
    if (b(0) == 0x47)
        return "video/mp2t";
    if (b(0) == 0xFF && (b(1) & 0xF6) == 0xF0)
        return "audio/aac"; // ADTS
    if (b(0) == 0xFF && (b(1) & 0xE0) == 0xE0)
        return "audio/mpeg";
    if (b(0) == 0x56 && (b(1) & 0xE0) == 0xE0)
        return "audio/aac-latm"; // LOAS
    return "";
}

} // namespace

HlsSource::HlsSource(Options options, ByteRing &ring, MetaCallback onMeta)
    : options_(std::move(options)), ring_(ring), onMeta_(std::move(onMeta)),
      fetch_(options_.net, aborted_) {}

HlsSource::~HlsSource() {
    stop();
}

void HlsSource::start() {
    thread_ = std::thread(&HlsSource::run, this);
}

int HlsSource::waitForAnswer(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_until(lock, deadline, [&] { return settled_; }))
        return BASS_ERROR_TIMEOUT;
    return error_;
}

void HlsSource::stop() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        cv_.notify_all();
    }
    ring_.abort();
    fetch_.wake();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void HlsSource::settle(int error) {
    std::lock_guard lock(mutex_);
    if (settled_)
        return;
    settled_ = true;
    error_ = error;
    cv_.notify_all();
}

bool HlsSource::answered(int &error) {
    std::lock_guard lock(mutex_);
    error = error_;
    return settled_;
}

bool HlsSource::sleepMs(long ms) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0L)),
                 [&] { return aborted_.load(); });
    return !aborted_;
}

void HlsSource::run() {
    lastGrowth_ = Clock::now();
    std::string url = options_.url;
    HlsPlaylist list;
    playlistAnswer_ = options_.answer;
    if (options_.playlist.empty()) {
        // A reconnect, or a playlist too long to have come whole with the
        // station's first answer: the station's playlist afresh. A reconnect
        // goes on after the last segment heard, so a playlist that has not
        // moved yet gives nothing until it does, and nothing plays twice.
        next_ = options_.resumeAt;
        HttpFetch::Result r;
        if (!fetchPlaylist(url, list, r)) {
            settle(r.error != BASS_OK ? r.error : BASS_ERROR_FORMAT);
            ring_.setEnded();
            return;
        }
        if (!r.effectiveUrl.empty())
            url = r.effectiveUrl;
        playlistAnswer_.lines = std::move(r.lines);
        playlistAnswer_.status = r.status;
        playlistAnswer_.contentType = r.contentType;
        playlistAnswer_.effectiveUrl = url;
    } else {
        list = HlsPlaylist::parse(options_.playlist);
    }
    if (!list.hls || !loadMedia(url, std::move(list))) {
        settle(BASS_ERROR_FORMAT);
        ring_.setEnded();
        return;
    }
    const long target = std::max(1000L, static_cast<long>(media_.targetDuration * 1000));
    auto lastLoad = Clock::now();
    bool changed = true; // the last load brought a new segment
    while (!aborted_ && playNewSegments() && !media_.endList) {
        // Reload a target duration after the last load, half of one after a
        // load that brought nothing new.
        bool more = false;
        while (!aborted_ && !more) {
            if (!sleepMs((changed ? target : target / 2) - msSince(lastLoad)))
                break;
            lastLoad = Clock::now();
            int64_t wanted = next_;
            changed = reload() && media_.segments.back().sequence >= wanted;
            more = changed;
            // Stopped growing: a dropped stream, which the stream reconnects.
            if (!more && msSince(lastGrowth_) > kHlsStallTargets * target)
                break;
        }
        if (!more)
            break;
    }
    if (!begun_)
        settle(aborted_ ? BASS_ERROR_UNKNOWN : BASS_ERROR_FILEOPEN);
    ring_.setEnded();
}

bool HlsSource::fetchPlaylist(const std::string &url, HlsPlaylist &list, HttpFetch::Result &r) {
    HlsPlaylistReader reader;
    HttpFetch::Request request;
    request.url = url;
    request.maxBytes = kMaxHlsPlaylistBytes;
    request.timeoutMs = static_cast<long>(options_.net.timeoutMs);
    request.sink = [&reader](std::string_view bytes) { reader.feed(bytes); };
    r = fetch_.get(request);
    if (r.error != BASS_OK) {
        if (!aborted_)
            QLOG_INFO("HLS playlist %s not read: %s", url.c_str(), r.why.c_str());
        return false;
    }
    list = reader.finish();
    if (!list.hls) {
        QLOG_INFO("HLS playlist %s not read: the answer is no HLS playlist", url.c_str());
        return false;
    }
    return true;
}

bool HlsSource::loadMedia(const std::string &url, HlsPlaylist list) {
    std::string mediaUrl = url;
    bandwidth_ = 0;
    if (list.isMaster()) {
        const HlsPlaylist::Variant *v = list.pickVariant();
        mediaUrl = PlaylistParser::resolve(url, v->uri);
        bandwidth_ = v->bandwidth;
        HttpFetch::Result r;
        if (!fetchPlaylist(mediaUrl, list, r))
            return false;
        if (!r.effectiveUrl.empty())
            mediaUrl = r.effectiveUrl;
        if (list.isMaster())
            return false; // a master pointing at masters: not a stream we know
    }
    if (list.segments.empty())
        return false;
    int64_t last = list.segments.back().sequence;
    // The first load, a stream that went back (its server restarted) or one
    // that ran ahead of us: start near the live edge.
    if (next_ < 0 || last < next_ - 1 || next_ < list.segments.front().sequence) {
        size_t n = list.segments.size();
        size_t from = list.endList ? 0 : n - std::min(n, kHlsLiveEdgeSegments);
        next_ = list.segments[from].sequence;
    }
    if (media_.segments.empty() || last > media_.segments.back().sequence)
        lastGrowth_ = Clock::now();
    mediaUrl_ = mediaUrl;
    media_ = std::move(list);
    return true;
}

bool HlsSource::reload() {
    HlsPlaylist list;
    HttpFetch::Result r;
    return fetchPlaylist(mediaUrl_, list, r) && loadMedia(mediaUrl_, std::move(list));
}

bool HlsSource::playNewSegments() {
    for (const HlsPlaylist::Segment &segment : media_.segments) {
        if (segment.sequence < next_)
            continue;
        if (aborted_)
            return false;
        if (segment.encrypted) {
            settle(BASS_ERROR_ENCRYPTED);
            return false;
        }
        if (!feed(segment))
            return false;
        next_ = segment.sequence + 1;
        nextShared_ = next_;
    }
    return !aborted_;
}

bool HlsSource::feed(const HlsPlaylist::Segment &segment) {
    const long timeout = std::max(static_cast<long>(options_.net.timeoutMs),
                                  static_cast<long>(media_.targetDuration * 3000));
    const bool fmp4 = !segment.map.uri.empty();
    // The init section goes into the stream before the first segment that
    // needs it, and again whenever the playlist names another one (another
    // address or byte range: after a discontinuity the encoder may have
    // started anew).
    const bool newInit = fmp4 && !(segment.map == map_);
    std::string init;
    if (newInit) {
        HttpFetch::Request request;
        request.url = PlaylistParser::resolve(mediaUrl_, segment.map.uri);
        request.maxBytes = kMaxHlsSegmentBytes;
        request.timeoutMs = timeout;
        request.offset = segment.map.offset;
        request.length = segment.map.length;
        HttpFetch::Result r = fetch_.get(request);
        if (r.error != BASS_OK) {
            if (!aborted_)
                QLOG_INFO("HLS init section %s not read: %s", request.url.c_str(), r.why.c_str());
            return !aborted_; // try again with the next segment
        }
        init = std::move(r.body);
    }
    HttpFetch::Request request;
    request.url = PlaylistParser::resolve(mediaUrl_, segment.uri);
    request.maxBytes = kMaxHlsSegmentBytes;
    request.timeoutMs = timeout;
    HttpFetch::Result r = fetch_.get(request);
    if (r.error != BASS_OK) {
        // A missing segment is skipped: a short gap, not the end.
        if (!aborted_)
            QLOG_INFO("HLS segment %s skipped: %s", request.url.c_str(), r.why.c_str());
        return !aborted_;
    }
    std::string bytes = std::move(r.body);

    // Packed audio starts with ID3 tags: the song, and a time stamp the
    // decoder does not need. They are cut out so it sees plain frames.
    std::string block;
    if (!fmp4) {
        size_t off = 0;
        const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
        while (size_t n = Id3Tag::length(p + off, bytes.size() - off)) {
            std::string b = Id3Tag::titleBlock(p + off, bytes.size() - off);
            if (!b.empty())
                block = b;
            off += n;
        }
        bytes.erase(0, off);
    }
    // MPEG-TS carries its songs as timed ID3 on a stream of their own, each
    // at the place in the segment where it starts; once a stream has shown
    // them, they are its titles and #EXTINF no longer counts.
    std::vector<TsId3Reader::Title> timed;
    if (!fmp4 && !bytes.empty() && bytes[0] == '\x47') {
        const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
        timed = TsId3Reader::titles(p, bytes.size());
        timedId3_ = timedId3_ || !timed.empty();
        // AAC or MP3 in TS goes to the decoder as the bare stream it
        // carries, decided on the first segment for the whole stream.
        if (!begun_ || bareTs_) {
            TsAudioReader::Audio audio = TsAudioReader::extract(p, bytes.size());
            if (!begun_)
                bareTs_ = !audio.bytes.empty();
            if (bareTs_) {
                for (TsId3Reader::Title &t : timed)
                    t.offset = audio.at(t.offset);
                bytes = std::move(audio.bytes);
            }
        }
    }
    if (block.empty() && !timedId3_ && !segment.title.empty())
        block = "StreamTitle='" + segment.title + "';";

    if (!begun_ && !begin(bytes, fmp4, segment.duration))
        return false;
    if (newInit) {
        if (!write(init))
            return false;
        map_ = segment.map;
    }
    if (!block.empty())
        announceAt(block, ring_.downloaded());
    for (const TsId3Reader::Title &t : timed)
        announceAt(t.block, ring_.downloaded() + t.offset);
    return write(bytes);
}

void HlsSource::announceAt(const std::string &block, uint64_t byte) {
    if (block == lastTitle_)
        return; // a song's tag is repeated in every segment
    lastTitle_ = block;
    onMeta_(block, byte);
}

bool HlsSource::begin(const std::string &firstBytes, bool fragmentedMp4, double seconds) {
    answer_ = playlistAnswer_;
    answer_.contentType = formatOf(firstBytes, fragmentedMp4);
    // A playlist with its end already listed is a recording: it ends and
    // is not reconnected (0 marks it of known length).
    answer_.contentLength = media_.endList ? 0 : -1;
    answer_.metaint = 0;
    // The bitrate the master playlist gives, else the first segment's own;
    // listed as "icy-br:" so that the player shows it as for any station.
    answer_.bitrateKbps = bandwidth_ / 1000;
    if (answer_.bitrateKbps <= 0 && seconds >= 0.5)
        answer_.bitrateKbps =
            std::lround(static_cast<double>(firstBytes.size()) * 8 / seconds / 1000);
    if (answer_.bitrateKbps > 0)
        answer_.lines.push_back("icy-br:" + std::to_string(answer_.bitrateKbps));
    uint64_t kbps = bandwidth_ > 0 ? static_cast<uint64_t>(bandwidth_) / 1000 : kAssumedKbps;
    kbps = std::min<uint64_t>(kbps, 10000);
    size_t capacity = static_cast<size_t>(kbps * 1000 / 8 * options_.bufferMs / 1000);
    ring_.allocate(std::clamp(capacity, kMinDownloadBuffer, kMaxDownloadBuffer));
    begun_ = true;
    settle(BASS_OK);
    return !aborted_;
}

bool HlsSource::write(const std::string &bytes) {
    if (options_.proc)
        options_.proc(bytes.data(), static_cast<DWORD>(bytes.size()), options_.user);
    return ring_.write(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

} // namespace quorane::engine
