#include "HttpSource.h"

#include "EngineLimits.h"
#include "EngineLog.h"

#include <algorithm>
#include <cstring>
#include <curl/curl.h>
#include <strings.h>

namespace quorane::engine {

namespace {

// The value of a header line "name: value", case-insensitively by name.
bool headerValue(const std::string &line, const char *name, std::string &value) {
    size_t n = std::strlen(name);
    if (line.size() <= n || strncasecmp(line.c_str(), name, n) != 0 || line[n] != ':')
        return false;
    size_t start = line.find_first_not_of(" \t", n + 1);
    value = start == std::string::npos ? std::string() : line.substr(start);
    return true;
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

HttpSource::HttpSource(Options options, ByteRing &ring, MetaCallback onMeta)
    : options_(std::move(options)), ring_(ring), onMeta_(std::move(onMeta)) {}

HttpSource::~HttpSource() {
    stop();
}

void HttpSource::start() {
    lastDataMs_ = nowMs();
    thread_ = std::thread(&HttpSource::run, this);
}

int64_t HttpSource::idleMs() const {
    if (delivering_)
        return 0;
    return std::max<int64_t>(0, nowMs() - lastDataMs_.load());
}

int HttpSource::waitForAnswer(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(answerMutex_);
    if (!answerCv_.wait_until(lock, deadline, [&] { return settled_; }))
        return BASS_ERROR_TIMEOUT;
    return answerError_;
}

bool HttpSource::answered(int &error) {
    std::lock_guard lock(answerMutex_);
    error = answerError_;
    return settled_;
}

void HttpSource::cancel() {
    {
        std::lock_guard lock(pauseMutex_);
        aborted_ = true;
        pauseCv_.notify_all();
    }
    ring_.abort();
    {
        std::lock_guard lock(multiMutex_);
        if (CURLM *m = multi_.load())
            curl_multi_wakeup(m);
    }
    // A lookup that hangs keeps libcurl from noticing for a while; whoever
    // waits for the answer hears at once.
    settle(BASS_ERROR_UNKNOWN);
}

void HttpSource::stop() {
    cancel();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void HttpSource::pauseWhileBuffered() {
    // A station sends a small packet every few dozen milliseconds. While it
    // plays and the buffer holds plenty they wait in the socket for a moment
    // and are read together, so that this thread wakes a few times a second,
    // not for each. Before it plays every byte counts for the player's
    // buffer wait, and a file is read as fast as it comes.
    const size_t capacity = ring_.capacity();
    if (!options_.playing || !options_.playing->load() || answer_.contentLength >= 0 ||
        capacity == 0 || ring_.downloaded() - ring_.consumed() < capacity / 4)
        return;
    std::unique_lock lock(pauseMutex_);
    pauseCv_.wait_for(lock, std::chrono::milliseconds(kDownloadBatchMs),
                      [&] { return aborted_.load(); });
}

void HttpSource::settle(int error) {
    std::lock_guard lock(answerMutex_);
    if (settled_)
        return;
    settled_ = true;
    answerError_ = error;
    answerCv_.notify_all();
}

size_t HttpSource::onHeader(char *data, size_t size, size_t count, void *self) {
    auto *s = static_cast<HttpSource *>(self);
    size_t len = size * count;
    if (s->bodyStarted_)
        return s->aborted_ ? 0 : len; // trailers: the answer is fixed by now
    std::string line(data, len);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // Every answer of a redirect chain starts with its status line; only the
    // last answer's headers describe the stream.
    if (line.rfind("HTTP/", 0) == 0 || line.rfind("ICY ", 0) == 0) {
        s->answer_ = HttpAnswer();
        s->answer_.icyStatus = line.rfind("ICY ", 0) == 0;
    }
    if (!line.empty()) {
        s->answer_.lines.push_back(std::move(line));
    } else if (!s->aborted_) {
        // The end of an answer's headers. The final one settles the answer
        // now, not with its first body byte: a server that answers and then
        // sends nothing is held to the first-audio bound, not the answer's.
        long status = 0;
        curl_easy_getinfo(s->easyForBody_, CURLINFO_RESPONSE_CODE, &status);
        if ((status >= 200 && status < 300) || status >= 400) {
            s->bodyStarted_ = true;
            if (!s->beginBody(s->easyForBody_))
                return 0;
        }
    }
    return s->aborted_ ? 0 : len;
}

bool HttpSource::beginBody(void *easy) {
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    answer_.status = status;
    char *type = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
        answer_.contentType = type;
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        answer_.contentLength = length;
    char *url = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url)
        answer_.effectiveUrl = url;
    bool icy = answer_.icyStatus;
    for (const std::string &line : answer_.lines) {
        std::string v;
        if (strncasecmp(line.c_str(), "icy-", 4) == 0)
            icy = true;
        if (headerValue(line, "icy-metaint", v))
            answer_.metaint = std::max(0L, std::strtol(v.c_str(), nullptr, 10));
        else if (headerValue(line, "icy-br", v))
            answer_.bitrateKbps = std::max(0L, std::strtol(v.c_str(), nullptr, 10));
    }
    if (EngineLog::enabled(LogLevel::Info)) {
        // Where the wait for the answer went: to the connection, or to the server.
        curl_off_t connected = 0, firstByte = 0;
        curl_easy_getinfo(easy, CURLINFO_CONNECT_TIME_T, &connected);
        curl_easy_getinfo(easy, CURLINFO_STARTTRANSFER_TIME_T, &firstByte);
        QLOG_INFO("answer %ld from %s after %.1f ms (connected after %.1f ms): type \"%s\", "
                  "length %lld, metaint %ld, bitrate %ld",
                  status, options_.url.c_str(), firstByte / 1000.0, connected / 1000.0,
                  answer_.contentType.c_str(), answer_.contentLength, answer_.metaint,
                  answer_.bitrateKbps);
    }
    if (status < 200 || status >= 300) {
        settle(BASS_ERROR_FILEOPEN);
        return false;
    }

    uint64_t kbps = answer_.bitrateKbps > 0 ? answer_.bitrateKbps : kAssumedKbps;
    // Some servers list several rates ("128,128"); strtol took the first.
    kbps = std::min<uint64_t>(kbps, 10000);
    // Some servers and CDNs give a live stream a length too. A station
    // speaks ICY, and no file a listener plays is longer than an hour: such
    // a length says nothing about the stream, which is live and reconnects.
    if (answer_.contentLength > 0 && (icy || static_cast<uint64_t>(answer_.contentLength) >
                                                 kbps * 1000 / 8 * kLiveLengthLimitSeconds)) {
        QLOG_INFO("length %lld ignored: a live stream", answer_.contentLength);
        answer_.contentLength = -1;
    }

    // About bufferMs of the stream at its announced bitrate; a stream of known
    // length is held whole when it fits.
    size_t capacity = static_cast<size_t>(kbps * 1000 / 8 * options_.bufferMs / 1000);
    if (answer_.contentLength > 0)
        capacity = static_cast<size_t>(
            std::min<long long>(answer_.contentLength, static_cast<long long>(kMaxDownloadBuffer)));
    capacity = std::clamp(capacity, kMinDownloadBuffer, kMaxDownloadBuffer);
    ring_.allocate(capacity);
    QLOG_INFO("download buffer %zu bytes", capacity);

    // A live Ogg stream's announced rate is often far from its real one.
    if (answer_.contentLength < 0)
        oggRate_ = std::make_unique<OggRateMeter>();
    demuxer_ = std::make_unique<IcyDemuxer>(
        answer_.metaint,
        [this](const uint8_t *d, size_t n) {
            if (oggRate_)
                measureRate(d, n);
            return ring_.write(d, n);
        },
        [this](const std::string &block) { onMeta_(block, demuxer_->audioBytes()); });
    settle(BASS_OK);
    return true;
}

void HttpSource::measureRate(const uint8_t *data, size_t len) {
    if (oggRate_->feed(data, len)) {
        const double rate = oggRate_->bytesPerSecond();
        const size_t capacity = std::clamp(static_cast<size_t>(rate * options_.bufferMs / 1000),
                                           kMinMeasuredBuffer, kMaxDownloadBuffer);
        QLOG_INFO("measured %.0f bytes/s of sound: download buffer %zu bytes", rate, capacity);
        ring_.resize(capacity);
    }
    if (oggRate_->gaveUp() || oggRate_->bytesPerSecond() > 0)
        oggRate_.reset();
}

size_t HttpSource::onBody(char *data, size_t size, size_t count, void *self) {
    auto *s = static_cast<HttpSource *>(self);
    size_t len = size * count;
    if (s->aborted_)
        return 0;
    if (!s->bodyStarted_) {
        s->bodyStarted_ = true;
        if (!s->beginBody(s->easyForBody_))
            return 0;
    }
    if (s->ring_.downloaded() == 0)
        QLOG_INFO("first body bytes: %zu", len);
    if (s->options_.proc)
        s->options_.proc(data, static_cast<DWORD>(len), s->options_.user);
    s->lastDataMs_ = nowMs();
    s->delivering_ = true;
    bool fed = s->demuxer_->feed(reinterpret_cast<const uint8_t *>(data), len);
    s->lastDataMs_ = nowMs();
    s->delivering_ = false;
    return fed ? len : 0;
}

void HttpSource::run() {
    CURL *easy = curl_easy_init();
    CURLM *multi = curl_multi_init();
    if (!easy || !multi) {
        curl_easy_cleanup(easy);
        curl_multi_cleanup(multi);
        settle(BASS_ERROR_MEM);
        ring_.setEnded();
        return;
    }
    easyForBody_ = easy;
    curl_slist *headers = curl_slist_append(nullptr, "Icy-MetaData: 1");
    curl_slist *aliases = curl_slist_append(nullptr, "ICY 200 OK");
    curl_easy_setopt(easy, CURLOPT_URL, options_.url.c_str());
    options_.net.apply(easy);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_HTTP200ALIASES, aliases);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HttpSource::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &HttpSource::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(multi, easy);
    {
        std::lock_guard lock(multiMutex_);
        multi_ = multi;
    }

    int running = 1;
    while (running && !aborted_) {
        if (curl_multi_perform(multi, &running) != CURLM_OK)
            break;
        if (running && !aborted_) {
            pauseWhileBuffered();
            curl_multi_poll(multi, nullptr, 0, 1000, nullptr);
        }
    }
    int result = CURLE_OK;
    int left = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &left))
        if (msg->msg == CURLMSG_DONE)
            result = msg->data.result;

    if (aborted_)
        QLOG_DEBUG("download of %s aborted", options_.url.c_str());
    else
        QLOG_INFO("download of %s ended: %s", options_.url.c_str(),
                  curl_easy_strerror(static_cast<CURLcode>(result)));
    if (aborted_)
        settle(BASS_ERROR_UNKNOWN);
    else if (!bodyStarted_ && result == CURLE_OK && beginBody(easy))
        ; // an empty body: the stream ends at once
    else
        settle(errorForCurl(result));
    ring_.setEnded();

    {
        std::lock_guard lock(multiMutex_);
        multi_ = nullptr;
    }
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
    curl_slist_free_all(aliases);
}

} // namespace quorane::engine
