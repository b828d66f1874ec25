// The decode thread of one stream: FFmpeg reads the stream's ByteRing (a bare
// MP3 or ADTS stream through libavcodec's parser, anything else through a
// libavformat demuxer on a custom AVIOContext), decodes it and resamples it
// to the output's rate as interleaved stereo float, which it writes into the
// stream's PcmRing. Titles
// carried in the stream itself (Vorbis/Opus/FLAC comments, which is how Ogg
// mounts announce songs) are passed on as metadata blocks.
#pragma once

#include "ByteRing.h"
#include "PcmRing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVCodecParserContext;
struct AVCodecContext;
struct SwrContext;
struct AVFrame;
struct AVPacket;
struct AVDictionary;

namespace quorane::engine {

struct FormatLibrary;

class StreamDecoder {
public:
    // A title from the stream's comments, and the output frame (counted by
    // the PcmRing) where the section it names starts.
    using CommentCallback = std::function<void(const std::string &block, uint64_t frame)>;
    // Before each packet is decoded: the input bytes up to `end` are now
    // being decoded, and their sound starts at output frame `frame`.
    using PositionCallback = std::function<void(uint64_t end, uint64_t frame)>;

    // contentType and firstBytes choose the demuxer; onComment may be empty
    // when the stream's titles come from ICY metadata instead.
    // playing: whether the output plays this stream (decoding runs further
    // ahead once it does).
    StreamDecoder(ByteRing &in, PcmRing &out, const std::atomic<bool> &playing, int outRate,
                  std::string contentType, std::string firstBytes, CommentCallback onComment,
                  PositionCallback onPosition = {});
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder &) = delete;
    StreamDecoder &operator=(const StreamDecoder &) = delete;

    // After each packet: it was read at input byte `pos` and decoded into
    // `frames` output frames whose samples have this mean square. For a
    // recorder's tap; set before start().
    using LevelCallback = std::function<void(uint64_t pos, uint32_t frames, float meanSquare)>;
    void setLevelCallback(LevelCallback onLevel) { onLevel_ = std::move(onLevel); }
    // The output consumes this many times faster than real time (a silent
    // output made faster for tests): the decoder sleeps that much shorter.
    void setOutputSpeed(int speed) { outputSpeed_ = std::max(speed, 1); }

    void start();
    // Waits until the first audio is decoded (BASS_OK), decoding fails (its
    // error code) or the deadline passes (BASS_ERROR_TIMEOUT).
    int waitForFirstAudio(std::chrono::steady_clock::time_point deadline);
    // Without waiting: true once the first audio settled, with its error code.
    bool firstAudio(int &error);
    // Stops the thread and joins it. The ByteRing must be aborted first (or
    // ended) so that a blocked read returns.
    void stop();
    // Playback started or stopped: look at the PcmRing again now.
    void wake();
    // True once the stream ended and every decoded frame is in the PcmRing.
    bool finished() const { return finished_; }

    // The FFmpeg demuxer chosen for a Content-Type and the first bytes of the
    // body, or "" to let FFmpeg probe.
    static std::string demuxerFor(const std::string &contentType, const std::string &firstBytes);
    // A metadata block "StreamTitle='ARTIST - TITLE';" from a stream's tags, or
    // "" when they hold no title.
    static std::string blockFromTags(const AVDictionary *tags);

private:
    void run();
    static bool startsWithId3(const std::string &bytes);
    int open();
    int openElementary(int codecId);
    int openContainer(const std::string &name);
    // The next frame of a bare MP3/ADTS stream, as av_read_frame would give it.
    int parseFrame(AVPacket *pkt);
    void decodeAll();
    bool decodePacket(AVPacket *pkt);
    bool pushFrame(AVFrame *frame);
    bool writePcm(const float *frames, size_t count);
    void checkComments(AVPacket *pkt);
    void settle(int error);
    void close();
    // Takes the next bytes of the stream from the ring, in small steps until
    // the stream plays.
    long readInput(uint8_t *buf, size_t size);
    static int readPacket(void *opaque, uint8_t *buf, int size);
    static int interrupted(void *opaque);

    ByteRing &in_;
    PcmRing &out_;
    const std::atomic<bool> &playing_; // written by API calls, read here
    const int outRate_;
    const std::string contentType_;
    const std::string firstBytes_;
    CommentCallback onComment_;   // called on the decode thread, no lock held
    PositionCallback onPosition_; // same
    LevelCallback onLevel_;       // same
    int outputSpeed_ = 1;         // fixed before start()
    std::thread thread_;
    std::atomic<bool> aborted_{false};
    std::atomic<bool> finished_{false};

    // FFmpeg state, decode thread only. A stream is read either by a
    // container demuxer (format_, through avio_) or, for bare MP3 and ADTS,
    // by libavcodec's parser straight from the ring (parser_).
    const FormatLibrary *formatLib_ = nullptr; // loaded for the container path only
    AVFormatContext *format_ = nullptr;
    AVIOContext *avio_ = nullptr;
    AVCodecParserContext *parser_ = nullptr;
    std::vector<uint8_t> parseBuffer_; // bytes read from the ring, with FFmpeg's padding
    size_t parseAt_ = 0, parseHave_ = 0;
    uint64_t parsed_ = 0;   // bytes the parser has taken in
    size_t sinceFrame_ = 0; // bytes taken in since its last frame
    AVCodecContext *codec_ = nullptr;
    SwrContext *swr_ = nullptr;
    int streamIndex_ = -1;
    int swrInRate_ = 0, swrInFormat_ = -1, swrInChannels_ = 0; // what swr_ was set up for
    AVFrame *frame_ = nullptr;                                 // reused for every decoded frame
    std::vector<float> converted_;
    std::string lastComment_;
    uint64_t levelFrames_ = 0; // decode thread: frames of the packet being decoded...
    double levelSum_ = 0;      // ...and the sum of their squared samples
    bool gotAudio_ = false;
    size_t leadingSilence_ = 0; // frames of silence dropped before the first audio
    bool garbage_ = false;      // gave up on packets that never decoded

    std::mutex mutex_;             // guards settled_ and firstError_; pairs with wake_
    std::condition_variable wake_; // first audio settled, or stop() while waiting for room
    bool settled_ = false;
    int firstError_ = 0;
};

} // namespace quorane::engine
