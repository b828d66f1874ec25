// Decoded audio of one stream on its way to the output: interleaved stereo
// float frames. Single producer (the stream's decode thread), single consumer
// (the output callback); no lock and no allocation after construction, so the
// output callback never waits on the decoder.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

namespace quorane::engine {

class PcmRing {
public:
    explicit PcmRing(size_t frames);

    // Producer side (decode thread).
    size_t write(const float *frames, size_t count);
    size_t freeFrames() const;

    // Consumer side (output callback): takes up to count frames scaled by
    // gain and adds them to out, or with `replace` writes them over out and
    // silence after them. Returns the frames taken.
    size_t mixInto(float *out, size_t count, float gain, bool replace);
    size_t availableFrames() const;

    size_t capacityFrames() const { return capacity_; }

    // Frames ever written (exact on the producer's thread) and ever consumed
    // by the output: the output's progress, read by the stream's control
    // thread to announce what has become audible.
    uint64_t framesWritten() const { return head_.load(std::memory_order_acquire); }
    uint64_t framesPlayed() const { return tail_.load(std::memory_order_acquire); }

private:
    static constexpr int kChannels = 2;
    const size_t capacity_;
    std::unique_ptr<float[]> samples_;
    // Frame counters that only grow: head_ is written by the producer alone,
    // tail_ by the consumer alone; each reads the other's with acquire.
    std::atomic<uint64_t> head_{0};
    std::atomic<uint64_t> tail_{0};
};

} // namespace quorane::engine
