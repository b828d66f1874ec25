// Splits a Shoutcast/Icecast body into audio bytes and metadata blocks.
// Every `metaint` audio bytes the server sends one length byte L and then
// 16 * L bytes of metadata text padded with NULs; L = 0 means "no change".
// The splitter keeps its state between calls, so any cut of the body into
// chunks gives the same result, and it never reads outside the chunk given.
// Used by the download thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorane::engine {

class IcyDemuxer {
public:
    using AudioSink = std::function<bool(const uint8_t *data, size_t len)>;
    using MetaSink = std::function<void(const std::string &block)>;

    // metaint 0: the body is all audio.
    IcyDemuxer(long metaint, AudioSink audio, MetaSink meta);

    // Feeds the next chunk of the body. Returns false when the audio sink
    // refused data (the stream is being freed).
    bool feed(const uint8_t *data, size_t len);

    // Audio bytes seen so far (metadata excluded).
    uint64_t audioBytes() const { return audioBytes_; }

private:
    void finishBlock();

    enum class State { Audio, Length, Meta };
    const long metaint_;
    AudioSink audio_;
    MetaSink meta_;
    State state_ = State::Audio;
    long audioLeft_;        // audio bytes before the next length byte
    size_t metaLeft_ = 0;   // metadata bytes still to come in this block
    std::string block_;     // the block being collected (at most 16 * 255 bytes)
    std::string lastBlock_; // the last block passed on, to drop repeats
    uint64_t audioBytes_ = 0;
};

} // namespace quorane::engine
