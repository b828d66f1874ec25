// Events of one stream tied to places in its audio, so that each is announced
// when the listener hears that place rather than when it was downloaded.
//
// An ICY block is tagged with the audio byte of its connection where it
// arrived; the decode thread later says which output frame each byte became,
// which turns the block into one waiting for that frame. A comment header or
// the first sound after a reconnect is tagged with its frame directly. The
// control thread takes the events whose frame the output has played.
// Frames count the stream's decoded output from its start, across
// reconnects. One mutex; every method may be called from any stream thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace quorane::engine {

class PlaybackTimeline {
public:
    enum class Kind { Meta, Resumed };
    struct Event {
        Kind kind = Kind::Meta;
        uint64_t frame = 0;
        std::string block; // Meta only
        uint32_t tag = 0;  // the caller's own number (which outage ended, for Resumed)
    };

    explicit PlaybackTimeline(size_t maxWaiting);

    // Download thread: a block arrived after `byte` audio bytes of connection
    // `connection`.
    void addAtByte(uint32_t connection, uint64_t byte, std::string block);
    // Decode thread: the audio of `connection` from byte `end` on has not been
    // decoded yet, and the next frame decoded is `frame`: every block that
    // arrived before `end` belongs to that frame.
    void reachedByte(uint32_t connection, uint64_t end, uint64_t frame);
    // Any thread: a block or the resumed sound that starts at `frame`.
    void addAtFrame(Kind kind, uint64_t frame, std::string block = {}, uint32_t tag = 0);
    // The connection's audio ended: its blocks not decoded never sound.
    void dropConnection(uint32_t connection);

    // Control thread: removes and returns, in order, the events whose frame
    // is below `played` (frames the output has consumed).
    std::vector<Event> takePlayed(uint64_t played);
    // The frame of the next event waiting for its frame, kNone when none is.
    static constexpr uint64_t kNone = ~uint64_t(0);
    uint64_t nextFrame() const;

private:
    struct ByteTagged {
        uint32_t connection;
        uint64_t byte;
        std::string block;
    };
    void insertReady(Event e);

    const size_t max_;
    mutable std::mutex mutex_;
    std::deque<ByteTagged> byTag_; // in arrival order
    std::deque<Event> ready_;      // sorted by frame; Resumed before Meta at equal frames
};

} // namespace quorane::engine
