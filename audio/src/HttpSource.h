// The download thread of one stream: fetches the URL with libcurl (redirects,
// proxy, TLS, "ICY 200 OK" answers), keeps the answer's raw header lines,
// splits ICY metadata out of the body and writes the audio bytes into the
// stream's ByteRing. It blocks while the ring is full and stops within
// moments of stop(), even while the server sends nothing.
#pragma once

#include "ByteRing.h"
#include "IcyDemuxer.h"
#include "NetSettings.h"
#include "OggRateMeter.h"
#include "StreamSource.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bass.h"

typedef void CURLM;

namespace quorane::engine {

class HttpSource : public StreamSource {
public:
    struct Options {
        std::string url;
        NetSettings net;
        uint32_t bufferMs = 0;
        DOWNLOADPROC *proc = nullptr;
        void *user = nullptr;
        // Whether the stream plays (its Voice's flag, which outlives the
        // source): only then may the download let packets gather.
        const std::atomic<bool> *playing = nullptr;
    };

    HttpSource(Options options, ByteRing &ring, MetaCallback onMeta);
    ~HttpSource() override;
    HttpSource(const HttpSource &) = delete;
    HttpSource &operator=(const HttpSource &) = delete;

    void start() override;
    // Waits until the body begins (BASS_OK), the request fails (its error
    // code) or the deadline passes (BASS_ERROR_TIMEOUT).
    int waitForAnswer(std::chrono::steady_clock::time_point deadline) override;
    // Without waiting: true once the answer settled, with its error code.
    bool answered(int &error) override;
    // Valid after waitForAnswer returned BASS_OK.
    const HttpAnswer &answer() const override { return answer_; }
    // Aborts the transfer and joins the thread; safe to call twice. Returns
    // at once even while a name lookup hangs (libcurl leaves its resolver
    // thread behind instead of waiting for it).
    void cancel() override;
    void stop() override;
    // Milliseconds since the server last sent body bytes; 0 while the
    // download is held back by a full buffer (that is no stall).
    int64_t idleMs() const override;

private:
    void run();
    static size_t onHeader(char *data, size_t size, size_t count, void *self);
    static size_t onBody(char *data, size_t size, size_t count, void *self);
    bool beginBody(void *easy);
    // Lets the server's packets gather for a moment while the buffer is
    // well filled; returns at once on stop().
    void pauseWhileBuffered();
    // Passes the stream's audio bytes to the rate meter; sizes the buffer
    // again once it measured.
    void measureRate(const uint8_t *data, size_t len);
    void settle(int error);

    const Options options_;            // fixed at construction
    ByteRing &ring_;                   // the stream's download buffer (has its own lock)
    const MetaCallback onMeta_;        // called on the download thread, no lock held
    std::thread thread_;               // started and joined by the API thread
    std::atomic<bool> aborted_{false}; // set by stop() on any thread, read by the download thread
    std::mutex pauseMutex_;            // pairs with pauseCv_; stop() raises aborted_ under it
    std::condition_variable pauseCv_;  // wakes pauseWhileBuffered() on stop()
    // Written by the download thread, read by the stream's control thread.
    std::atomic<int64_t> lastDataMs_{0};  // steady-clock ms of the latest body bytes
    std::atomic<bool> delivering_{false}; // inside the body callback (maybe waiting for room)
    // Set by the download thread before its first curl call, read by stop().
    std::atomic<CURLM *> multi_{nullptr};
    std::mutex multiMutex_; // keeps the multi handle alive while stop() wakes it

    // Download thread only until settled, then read-only for everyone.
    HttpAnswer answer_;
    std::unique_ptr<IcyDemuxer> demuxer_; // download thread only
    // Download thread only: measures an Ogg stream's real rate; gone once
    // it measured or gave up.
    std::unique_ptr<OggRateMeter> oggRate_;
    bool bodyStarted_ = false;    // download thread only
    void *easyForBody_ = nullptr; // download thread only: the transfer's handle

    std::mutex answerMutex_;           // guards the two fields below
    std::condition_variable answerCv_; // signalled when the answer settles
    bool settled_ = false;
    int answerError_ = BASS_OK;
};

} // namespace quorane::engine
