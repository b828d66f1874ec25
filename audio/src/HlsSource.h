// The download thread of an HLS stream: reads the master playlist (picking a
// variant) and the media playlist, reloads it as the live stream grows, and
// fetches the segments in order, writing them one after another into the
// stream's ByteRing, so that the decoder sees one continuous stream (MPEG-TS,
// packed ADTS/MP3 with its ID3 tags cut out, or fragmented MP4 after its
// init section). Titles (ID3 in packed audio or timed ID3 in MPEG-TS, else
// #EXTINF) are reported at the place in the byte stream where they begin. A playlist that
// stops growing ends the download like a dropped connection, so the stream
// reconnects as it does for any station. Playlists are read as they arrive,
// up to kMaxHlsPlaylistBytes; what keeps one from being read is logged.
#pragma once

#include "ByteRing.h"
#include "HlsPlaylist.h"
#include "HttpFetch.h"
#include "NetSettings.h"
#include "StreamSource.h"

#include "bass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace quorane::engine {

class HlsSource : public StreamSource {
public:
    struct Options {
        std::string url;      // the playlist's URL (the station's, or after redirects)
        std::string playlist; // its whole body if already downloaded, else "" (fetched first)
        HttpAnswer
            answer; // the playlist's answer, if downloaded (its header lines are the stream's)
        // A reconnect: the sequence number the dropped connection wanted
        // next; the source goes on from there (or from the live edge when the
        // playlist has moved past it), so nothing heard plays again. -1 for a
        // first open.
        int64_t resumeAt = -1;
        NetSettings net;
        uint32_t bufferMs = 0;
        DOWNLOADPROC *proc = nullptr;
        void *user = nullptr;
    };

    HlsSource(Options options, ByteRing &ring, MetaCallback onMeta);
    ~HlsSource() override;
    HlsSource(const HlsSource &) = delete;
    HlsSource &operator=(const HlsSource &) = delete;

    void start() override;
    // Settles when the first segment is in the ring (BASS_OK) or the stream
    // cannot be played (its error code).
    int waitForAnswer(std::chrono::steady_clock::time_point deadline) override;
    bool answered(int &error) override;
    // The playlist's header lines, and as Content-Type the segments' format.
    const HttpAnswer &answer() const override { return answer_; }
    void stop() override;
    // Always 0: segments come in bursts with pauses between them, so the
    // source watches the playlist itself and ends the download when the
    // playlist stops growing.
    int64_t idleMs() const override { return 0; }
    // The sequence number of the next segment to play (-1 before the first).
    int64_t nextSequence() const { return nextShared_.load(); }

private:
    void run();
    // Fetches the playlist at url, reading it as it arrives; false, with the
    // reason logged, when there is no HLS playlist to be had there.
    bool fetchPlaylist(const std::string &url, HlsPlaylist &list, HttpFetch::Result &r);
    bool loadMedia(const std::string &url, HlsPlaylist list);
    bool reload();
    bool playNewSegments();
    bool feed(const HlsPlaylist::Segment &segment);
    bool begin(const std::string &firstBytes, bool fragmentedMp4, double seconds);
    bool write(const std::string &bytes);
    void announceAt(const std::string &block, uint64_t byte);
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
    HttpAnswer playlistAnswer_; // download thread only: the first playlist's answer

    // Download thread only.
    std::string mediaUrl_;
    HlsPlaylist media_;
    int64_t next_ = -1;                   // sequence number of the next segment to play
    std::atomic<int64_t> nextShared_{-1}; // next_ for other threads
    HlsPlaylist::Map map_;                // init section last written (its uri "" for none)
    std::string lastTitle_;               // last title block reported
    bool timedId3_ = false;               // TS segments carry ID3 titles: #EXTINF ignored
    bool bareTs_ = false;                 // TS segments are passed on as their bare audio
    bool begun_ = false;                  // the ring is allocated and the first bytes written
    long bandwidth_ = 0;                  // of the chosen variant, bits per second
    std::chrono::steady_clock::time_point lastGrowth_; // when the playlist last grew

    std::mutex mutex_;           // guards settled_ and error_; pairs with cv_
    std::condition_variable cv_; // the answer settled, or stop()
    bool settled_ = false;
    int error_ = BASS_OK;
};

} // namespace quorane::engine
