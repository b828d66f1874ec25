// The download thread of an HLS stream: reads the master playlist (picking a
// variant) and the media playlist, reloads it as the live stream grows, and
// fetches the segments in order, writing them one after another into the
// stream's ByteRing, so that the decoder sees one continuous stream (MPEG-TS,
// packed ADTS/MP3 with its ID3 tags cut out, or fragmented MP4 after its
// init section). Titles (ID3 in packed audio, else #EXTINF) are reported at
// the place in the byte stream where their segment begins. A playlist that
// stops growing counts as a dropped stream: the source tries to get it back
// for a while, then ends the stream.
#pragma once

#include "ByteRing.h"
#include "HlsPlaylist.h"
#include "HttpFetch.h"
#include "HttpSource.h"
#include "NetSettings.h"

#include "bass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quorane::engine {

class HlsSource {
public:
    using MetaCallback = std::function<void(const std::string &block)>;

    struct Options {
        std::string url;      // the playlist's URL after redirects
        std::string playlist; // the playlist's body, already downloaded
        HttpAnswer answer;    // the playlist's answer (its header lines are the stream's)
        NetSettings net;
        uint32_t bufferMs = 0;
        DOWNLOADPROC *proc = nullptr;
        void *user = nullptr;
    };

    HlsSource(Options options, ByteRing &ring, MetaCallback onMeta);
    ~HlsSource();
    HlsSource(const HlsSource &) = delete;
    HlsSource &operator=(const HlsSource &) = delete;

    void start();
    // Waits until the first segment is in the ring (BASS_OK), the stream
    // cannot be played (its error code) or the deadline passes.
    int waitForAnswer(std::chrono::steady_clock::time_point deadline);
    // Valid after waitForAnswer returned BASS_OK: the playlist's header lines,
    // and as Content-Type the segments' format.
    const HttpAnswer &answer() const { return answer_; }
    // Aborts and joins the thread; safe to call twice.
    void stop();

private:
    void run();
    bool loadMedia(const std::string &url, const std::string &body);
    bool reload();
    bool reconnect();
    bool playNewSegments();
    bool feed(const HlsPlaylist::Segment &segment);
    bool begin(const std::string &firstBytes, bool fragmentedMp4);
    bool write(const std::string &bytes);
    bool sleepMs(long ms);
    void settle(int error);

    const Options options_;            // fixed at construction
    ByteRing &ring_;                   // the stream's download buffer (own lock)
    const MetaCallback onMeta_;        // called on the download thread, no lock held
    std::thread thread_;               // started and joined by the API thread
    std::atomic<bool> aborted_{false}; // set by stop(), read by the download thread
    HttpFetch fetch_;                  // used by the download thread; woken by stop()

    // Download thread only until settled, then read-only for everyone.
    HttpAnswer answer_;

    // Download thread only.
    std::string mediaUrl_;
    HlsPlaylist media_;
    int64_t next_ = -1;     // sequence number of the next segment to play
    std::string mapUri_;    // init section already written ("" none)
    std::string lastTitle_; // last title block reported
    bool begun_ = false;    // the ring is allocated and the first bytes written
    long bandwidth_ = 0;    // of the chosen variant, bits per second
    std::chrono::steady_clock::time_point lastGrowth_; // when the playlist last grew

    std::mutex mutex_;           // guards settled_ and error_; pairs with cv_
    std::condition_variable cv_; // the answer settled, or stop()
    bool settled_ = false;
    int error_ = BASS_OK;
};

} // namespace quorane::engine
