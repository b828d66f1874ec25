// The recorder's tap on one stream (BASS_ChannelSetTap): passes each
// connection's audio bytes, its metadata blocks at their byte and the level of
// every decoded packet at its byte to the TAPPROC set on the stream. It also
// keeps the beginning of the newest connection (its first bytes, its blocks
// and recent levels, each bounded), so that a tap set once the stream already
// plays still gets the stream from its start: an Ogg stream's header pages or
// an MP4 init section are long gone from the download buffer by then.
//
// Called on the download threads (bytes, blocks), the decode threads
// (levels), the control thread and the API thread (connections coming and
// going, setting the tap). One mutex guards everything and is held while the
// proc runs: that is what lets set() promise that a removed proc never runs
// again. The proc only copies what it gets (see bass.h).
#pragma once

#include "bass.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace quorane::engine {

class ByteRing;

class StreamTap {
public:
    // The stream's handle, for the proc's first argument.
    void setHandle(DWORD handle);
    // Download thread, before the connection's first bytes: its content type
    // and the ring its bytes go to (readable until connectionGone).
    void connectionStarted(uint32_t serial, const std::string &contentType, const ByteRing &ring);
    // The connection's threads have stopped: its ring is about to go.
    void connectionGone(uint32_t serial);
    // Download thread, after `data` was written to the ring at `pos`.
    void bytes(uint32_t serial, uint64_t pos, const uint8_t *data, size_t len);
    // Download thread: a block that arrived after `pos` audio bytes.
    void meta(uint32_t serial, uint64_t pos, const std::string &block);
    // Decode thread: a packet read at `pos` decoded into `frames` frames.
    void level(uint32_t serial, uint64_t pos, uint32_t frames, uint32_t rate, float meanSquare);
    // Sets (or with a null proc removes) the tap; see BASS_ChannelSetTap.
    void set(TAPPROC *proc, void *user);

private:
    struct Level {
        uint64_t pos;
        uint32_t frames;
        uint32_t rate;
        float meanSquare;
    };
    void call(const BASS_TAPEVENT &e);
    void callWithBytes(DWORD kind, uint32_t serial, uint64_t pos, const void *data, size_t len);
    void callLevel(uint32_t serial, const Level &l);
    void replay();

    std::mutex mutex_; // guards everything below; held while the proc runs
    DWORD handle_ = 0;
    TAPPROC *proc_ = nullptr;
    void *user_ = nullptr;
    // The newest connection and what is kept of it.
    uint32_t serial_ = 0;
    std::string contentType_;
    const ByteRing *ring_ = nullptr; // null once that connection is gone
    std::string head_;               // its first kHeadBytes bytes
    std::deque<std::pair<uint64_t, std::string>> blocks_;
    std::deque<Level> levels_;
    uint64_t delivered_ = 0; // bytes of that connection the proc has had
};

} // namespace quorane::engine
