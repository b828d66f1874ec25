// One connection of a stream to its server: the download buffer, the download
// thread that fills it and, once started, the decode thread that empties it
// into the stream's PcmRing. A stream that reconnects makes a new Connection
// for each attempt; its numbered `serial` keeps the metadata of one
// connection apart from the next in the stream's PlaybackTimeline. An HLS
// stream's connection reads the playlist and its segments (HlsSource)
// instead of one HTTP answer.
// Created, started and stopped by one thread at a time (the API thread during
// the open, then the stream's control thread).
#pragma once

#include "ByteRing.h"
#include "HlsSource.h"
#include "HttpSource.h"
#include "PlaybackTimeline.h"
#include "StreamDecoder.h"
#include "StreamTap.h"

#include <memory>
#include <string>

namespace quorane::engine {

class Connection {
public:
    Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline);
    // An HLS connection; `playlist` and `answer` are the playlist already
    // downloaded, or empty to fetch it from options.url first.
    struct Hls {
        std::string playlist;
        HttpAnswer answer;
        int64_t resumeAt = -1; // see HlsSource::Options
    };
    Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline, Hls hls);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // The stream's tap, which hears of the audio bytes, blocks and decoded
    // levels of this connection; set before startDownload.
    void setTap(StreamTap &tap);
    // How many times faster than real time the output plays; before startDecoder.
    void setOutputSpeed(int speed) { outputSpeed_ = speed; }
    // Starts the download; ICY blocks go to the timeline tagged with their byte.
    void startDownload();
    // Starts decoding into `out`. With titlesFromComments the stream's own
    // comments are its titles (a stream without ICY metadata).
    void startDecoder(PcmRing &out, const std::atomic<bool> &playing, int outRate,
                      const std::string &firstBytes, bool titlesFromComments);
    // Tells both threads to end and fails the open's waits on them, without
    // joining; from any thread.
    void cancel();
    // Stops both threads and joins them; safe to call twice.
    void stop();

    uint32_t serial() const { return serial_; }
    const std::string &url() const { return url_; }
    ByteRing &ring() { return ring_; }
    const ByteRing &ring() const { return ring_; }
    StreamSource &source() { return *source_; }
    const StreamSource &source() const { return *source_; }
    bool hls() const { return hls_; }
    // HLS: the sequence number of the segment that would have come next.
    int64_t nextSequence() const {
        return hls_ ? static_cast<const HlsSource &>(*source_).nextSequence() : -1;
    }
    // Whether the decoder's own comments are the titles: a stream without
    // ICY metadata, and not HLS (whose source reports the titles).
    bool titlesFromComments() const { return !hls_ && source_->answer().metaint <= 0; }
    StreamDecoder *decoder() { return decoder_.get(); }
    // The decoder ran and has ended (all its audio is in the PcmRing).
    bool decoderFinished() const { return decoder_ && decoder_->finished(); }

private:
    // Download thread: a metadata block after `byte` audio bytes.
    void blockArrived(const std::string &block, uint64_t byte);
    void startTap();

    const uint32_t serial_;
    const std::string url_;
    PlaybackTimeline &timeline_; // the stream's; outlives this
    ByteRing ring_;              // download thread writes, decode thread reads; own lock
    std::unique_ptr<StreamSource> source_;
    bool hls_ = false;
    std::unique_ptr<StreamDecoder> decoder_;
    StreamTap *tap_ = nullptr; // the stream's; outlives this; fixed before startDownload
    bool tapStarted_ = false;  // download thread only: the tap was told of this connection
    int outputSpeed_ = 1;      // fixed before startDecoder
};

} // namespace quorane::engine
