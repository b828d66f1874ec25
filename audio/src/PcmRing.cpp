#include "PcmRing.h"

#include <algorithm>
#include <cstring>

namespace quorane::engine {

PcmRing::PcmRing(size_t frames) : capacity_(frames), samples_(new float[frames * kChannels]()) {}

size_t PcmRing::write(const float *frames, size_t count) {
    size_t head = head_.load(std::memory_order_relaxed);
    size_t tail = tail_.load(std::memory_order_acquire);
    size_t n = std::min(count, capacity_ - (head - tail));
    for (size_t done = 0; done < n;) {
        size_t pos = (head + done) % capacity_;
        size_t chunk = std::min(n - done, capacity_ - pos);
        std::memcpy(&samples_[pos * kChannels], frames + done * kChannels,
                    chunk * kChannels * sizeof(float));
        done += chunk;
    }
    head_.store(head + n, std::memory_order_release);
    return n;
}

size_t PcmRing::freeFrames() const {
    return capacity_ -
           (head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire));
}

namespace {

// The output callback's inner loops, in blocks of a fixed width that the
// compiler turns into vector instructions even without loop vectorisation.
constexpr size_t kBlock = 8;

void addScaled(float *__restrict dst, const float *__restrict src, size_t n, float gain) {
    size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (size_t k = 0; k < kBlock; ++k)
            dst[i + k] += src[i + k] * gain;
    for (; i < n; ++i)
        dst[i] += src[i] * gain;
}

void copyScaled(float *__restrict dst, const float *__restrict src, size_t n, float gain) {
    if (gain == 1.0f) {
        std::memcpy(dst, src, n * sizeof(float));
        return;
    }
    size_t i = 0;
    for (; i + kBlock <= n; i += kBlock)
        for (size_t k = 0; k < kBlock; ++k)
            dst[i + k] = src[i + k] * gain;
    for (; i < n; ++i)
        dst[i] = src[i] * gain;
}

} // namespace

size_t PcmRing::mixInto(float *out, size_t count, float gain, bool replace) {
    size_t tail = tail_.load(std::memory_order_relaxed);
    size_t head = head_.load(std::memory_order_acquire);
    size_t n = std::min(count, head - tail);
    for (size_t done = 0; done < n;) {
        size_t pos = (tail + done) % capacity_;
        size_t chunk = std::min(n - done, capacity_ - pos);
        const float *src = &samples_[pos * kChannels];
        float *dst = out + done * kChannels;
        if (replace)
            copyScaled(dst, src, chunk * kChannels, gain);
        else
            addScaled(dst, src, chunk * kChannels, gain);
        done += chunk;
    }
    if (replace && n < count)
        std::memset(out + n * kChannels, 0, (count - n) * kChannels * sizeof(float));
    tail_.store(tail + n, std::memory_order_release);
    return n;
}

size_t PcmRing::availableFrames() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed);
}

} // namespace quorane::engine
