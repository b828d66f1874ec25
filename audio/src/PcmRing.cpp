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

size_t PcmRing::mixInto(float *out, size_t count, float gain) {
    size_t tail = tail_.load(std::memory_order_relaxed);
    size_t head = head_.load(std::memory_order_acquire);
    size_t n = std::min(count, head - tail);
    for (size_t done = 0; done < n;) {
        size_t pos = (tail + done) % capacity_;
        size_t chunk = std::min(n - done, capacity_ - pos);
        const float *src = &samples_[pos * kChannels];
        float *dst = out + done * kChannels;
        for (size_t i = 0; i < chunk * kChannels; ++i)
            dst[i] += src[i] * gain;
        done += chunk;
    }
    tail_.store(tail + n, std::memory_order_release);
    return n;
}

size_t PcmRing::availableFrames() const {
    return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_relaxed);
}

} // namespace quorane::engine
