// One stream opened from a URL: its connection to the server (download and
// decode threads, see Connection), the decoded audio the output plays
// (Voice), the answer's header lines, and the stream's control thread, which
// announces metadata when it becomes audible and reconnects when the
// connection is lost.
#pragma once

#include "AudioOutput.h"
#include "Connection.h"
#include "HttpSource.h"
#include "NetSettings.h"
#include "PlaybackTimeline.h"
#include "ReconnectSchedule.h"

#include "bass.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorane::engine {

// Everything an open needs, copied from the engine's settings at the call.
struct OpenRequest {
    std::string url;
    NetSettings net;
    uint32_t bufferMs = 0;
    uint32_t reconnectLimitMs = 0;
    bool followPlaylists = false;
    int outputRate = 44100;
    DOWNLOADPROC *proc = nullptr;
    void *user = nullptr;
};

class Stream : public std::enable_shared_from_this<Stream> {
public:
    explicit Stream(const OpenRequest &request);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // Connects, follows playlists and waits for the first decoded audio.
    // Returns the stream, or null with error set to a BASS error code.
    static std::shared_ptr<Stream> open(const OpenRequest &request, int &error);

    // Starts the control thread; called once the stream has its handle.
    void startControl();
    // Stops every thread of the stream; no sync runs once this returned.
    void shutdown();

    void setHandle(DWORD handle) { handle_ = handle; }
    Voice &voice() { return voice_; }

    // BASS_StreamGetFilePosition of the current connection; false for an
    // unknown mode.
    bool filePosition(DWORD mode, QWORD &value);
    // BASS_ChannelGetTags; null when the stream has no such tags.
    const char *tags(DWORD kind);
    // BASS_ChannelPlay / BASS_ChannelStop.
    void setPlaying(bool playing);
    // BASS_ChannelIsActive.
    DWORD activity();
    // Registers a sync of type BASS_SYNC_META, _STALL or _END.
    void addSync(DWORD sync, DWORD type, SYNCPROC *proc, void *user);

private:
    using Clock = std::chrono::steady_clock;
    // What the control thread is doing about the connection.
    enum class State {
        Live,       // the connection plays (or is stopped by the user)
        Waiting,    // lost: the next attempt is due at nextAttempt_
        Connecting, // attempt_ waits for its answer, then for the old audio to play out
        Resuming,   // the new connection's decoder waits for its first audio
        Finishing,  // no connection will follow: the last audio plays out
        Ended       // BASS_SYNC_END was called
    };

    static std::shared_ptr<Stream> openAt(const OpenRequest &request, const std::string &url,
                                          int depth, Clock::time_point openDeadline, int &error);
    // Reads what the open found and waits for the first audio.
    static std::shared_ptr<Stream> finishOpen(std::shared_ptr<Stream> stream,
                                              std::shared_ptr<Connection> conn,
                                              const std::string &url, const std::string &first,
                                              Clock::time_point audioDeadline, int &error);
    // A connection of the stream's kind; for HLS the playlist already read.
    std::shared_ptr<Connection> makeConnection(const std::string &url, Connection::Hls hls = {});
    void keepHeaders(const HttpAnswer &answer);

    void controlLoop();
    void announcePlayed();
    void announceMeta(const std::string &block);
    void callSyncs(DWORD type, DWORD data);
    void checkConnection(Clock::time_point now);
    void checkLive(Clock::time_point now);
    void checkAttempt(Clock::time_point now);
    void checkResume(Clock::time_point now);
    void checkFinished();
    void startAttempt(Clock::time_point now);
    void failAttempt(Clock::time_point now, const char *why);
    void abandonAttempts();
    void giveUp();
    void setCurrent(std::shared_ptr<Connection> connection);
    bool stopping();

    struct Sync {
        DWORD handle;
        DWORD type;
        SYNCPROC *proc;
        void *user;
    };

    DWORD handle_ = 0; // set once by the API thread before any sync can exist
    const int outputRate_;
    const HttpSource::Options baseOptions_; // the request's settings, for every connection
    const uint32_t reconnectLimitMs_;
    Voice voice_;                  // decode thread writes, output callback reads; lock-free
    PlaybackTimeline timeline_;    // its own lock
    std::string url_;              // the URL that gave audio; fixed after open
    long long contentLength_ = -1; // fixed after open
    bool finite_ = false;          // of known length: never reconnects; fixed after open
    bool hls_ = false;             // an HLS stream: every connection reads the playlist
    std::string headerTags_;       // header lines "line\0line\0\0", fixed after open
    bool icyStatus_ = false;       // fixed after open

    // The connection whose audio plays now. Written by the API thread during
    // the open and by the control thread after it, under connMutex_; the
    // control thread reads its own writes without the lock.
    std::mutex connMutex_;
    std::shared_ptr<Connection> current_;

    // Control thread only.
    State state_ = State::Live;
    std::shared_ptr<Connection> attempt_; // the reconnect attempt under way
    uint32_t nextSerial_ = 1;
    ReconnectSchedule schedule_;
    Clock::time_point nextAttempt_{}, attemptDeadline_{};
    bool attemptAnswered_ = false;
    uint64_t resumeFrame_ = 0; // output frame where the current connection's sound starts
    uint32_t outage_ = 0;      // numbers the outages, to drop a stale "sound is back"
    bool stallAnnounced_ = false;
    bool lostForGood_ = false; // the end comes from reconnects that ran out, not the stream's end

    // Read by API calls, written by the control thread.
    std::atomic<bool> reconnecting_{false};
    std::atomic<bool> ended_{false};

    std::thread control_;     // started by the API thread, joined by shutdown()
    std::mutex controlMutex_; // guards stopping_; pairs with controlWake_
    std::condition_variable controlWake_;
    bool stopping_ = false;

    std::mutex metaMutex_; // guards the two fields below; never held during a sync
    // The blocks announced, newest last. A few older ones stay alive so that
    // a pointer handed out just before the next announcement stays readable.
    std::deque<std::unique_ptr<std::string>> announced_;
    std::vector<Sync> syncs_;
};

} // namespace quorane::engine
