// One stream opened from a URL: its download thread (HttpSource), its
// download buffer, its decode thread (StreamDecoder) and the decoded audio
// the output plays (Voice), plus the answer's header lines, the metadata
// blocks received and the notifications registered for them.
#pragma once

#include "AudioOutput.h"
#include "ByteRing.h"
#include "HlsSource.h"
#include "HttpSource.h"
#include "NetSettings.h"
#include "StreamDecoder.h"

#include "bass.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorane::engine {

// Everything an open needs, copied from the engine's settings at the call.
struct OpenRequest {
    std::string url;
    NetSettings net;
    uint32_t bufferMs = 0;
    bool followPlaylists = false;
    int outputRate = 44100;
    DOWNLOADPROC *proc = nullptr;
    void *user = nullptr;
};

class Stream {
public:
    explicit Stream(int outputRate);
    ~Stream();
    Stream(const Stream &) = delete;
    Stream &operator=(const Stream &) = delete;

    // Connects, follows playlists and waits for the first decoded audio.
    // Returns the stream, or null with error set to a BASS error code.
    static std::shared_ptr<Stream> open(const OpenRequest &request, int &error);

    // Stops both threads; no notification runs once this returned.
    void shutdown();

    void setHandle(DWORD handle) { handle_ = handle; }
    Voice &voice() { return voice_; }

    // BASS_StreamGetFilePosition; false for an unknown mode.
    bool filePosition(DWORD mode, QWORD &value) const;
    // BASS_ChannelGetTags; null when the stream has no such tags.
    const char *tags(DWORD kind);
    // BASS_ChannelPlay / BASS_ChannelStop.
    void setPlaying(bool playing);
    // BASS_ChannelIsActive.
    DWORD activity();
    // Registers a notification for every new metadata block.
    void addMetaSync(DWORD sync, SYNCPROC *proc, void *user);

private:
    static std::shared_ptr<Stream> openAt(const OpenRequest &request, const std::string &url,
                                          int depth,
                                          std::chrono::steady_clock::time_point openDeadline,
                                          int &error);
    static std::shared_ptr<Stream> openHls(const OpenRequest &request, const HttpAnswer &answer,
                                           const std::string &url, std::string playlist,
                                           std::chrono::steady_clock::time_point openDeadline,
                                           int &error);
    // Starts the decode thread on the ring and waits for its first audio.
    int startDecoder(const OpenRequest &request, const HttpAnswer &answer,
                     const std::string &firstBytes, bool withComments,
                     std::chrono::steady_clock::time_point deadline);
    void publishMeta(const std::string &block);
    void keepHeaders(const HttpAnswer &answer);

    struct MetaSync {
        DWORD handle;
        SYNCPROC *proc;
        void *user;
    };

    DWORD handle_ = 0; // set once by the API thread before any sync can exist
    ByteRing ring_;    // download thread writes, decode thread reads; its own lock
    Voice voice_;      // decode thread writes, output callback reads; lock-free
    // Created and stopped by the API thread during open and shutdown only;
    // fixed in between.
    std::unique_ptr<HttpSource> source_;
    std::unique_ptr<HlsSource> hls_; // instead of source_ for an HLS stream
    std::unique_ptr<StreamDecoder> decoder_;
    long long contentLength_ = -1; // fixed after open

    // Header lines as one block ("line\0line\0\0"), fixed after open.
    std::string headerTags_;
    bool icyStatus_ = false;

    std::mutex metaMutex_; // guards the two fields below; never held during a notification
    // The latest blocks, newest last. A few older ones stay alive so that a
    // pointer handed out just before a new block arrived remains readable.
    std::deque<std::unique_ptr<std::string>> metaBlocks_;
    std::vector<MetaSync> syncs_;
};

} // namespace quorane::engine
