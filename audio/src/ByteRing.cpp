#include "ByteRing.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace quorane::engine {

void ByteRing::allocate(size_t capacity) {
    std::lock_guard lock(mutex_);
    if (buf_)
        return;
    // Left uninitialised on purpose: pages of a large buffer for a short
    // download are never touched and cost no memory.
    buf_.reset(new uint8_t[capacity]);
    capacity_ = capacity;
    readable_.notify_all();
}

bool ByteRing::allocated() const {
    std::lock_guard lock(mutex_);
    return buf_ != nullptr;
}

void ByteRing::resize(size_t capacity) {
    std::lock_guard lock(mutex_);
    if (!buf_)
        return;
    const size_t used = usedLocked();
    capacity = std::max(capacity, used);
    if (capacity == capacity_)
        return;
    std::unique_ptr<uint8_t[]> fresh(new uint8_t[capacity]);
    // The held bytes go to where the counters say they belong in the new ring.
    const uint64_t from = read_.load();
    for (size_t done = 0; done < used;) {
        size_t src = static_cast<size_t>((from + done) % capacity_);
        size_t dst = static_cast<size_t>((from + done) % capacity);
        size_t n = std::min({used - done, capacity_ - src, capacity - dst});
        std::memcpy(fresh.get() + dst, buf_.get() + src, n);
        done += n;
    }
    buf_ = std::move(fresh);
    capacity_ = capacity;
}

bool ByteRing::write(const uint8_t *data, size_t len) {
    const uint8_t *const start = data;
    const size_t total = len;
    const uint64_t pos = written_.load(); // the writer's own counter
    std::unique_lock lock(mutex_);
    while (len > 0) {
        if (aborted_)
            return false;
        size_t free = capacity_ - usedLocked();
        if (free == 0) {
            // Resume only once a good share is free again, so a full buffer
            // does not wake this thread for every small read.
            writerNeeds_ = std::min(len, std::max<size_t>(capacity_ / 4, 1));
            writable_.wait(lock,
                           [&] { return aborted_ || capacity_ - usedLocked() >= writerNeeds_; });
            writerNeeds_ = 0;
            continue;
        }
        size_t n = std::min(free, len);
        size_t pos = static_cast<size_t>(written_.load() % capacity_);
        size_t first = std::min(n, capacity_ - pos);
        std::memcpy(buf_.get() + pos, data, first);
        std::memcpy(buf_.get(), data + first, n - first);
        written_ += n;
        data += n;
        len -= n;
        if (readerWaiting_)
            readable_.notify_all();
    }
    lock.unlock();
    if (observer_ && total > 0)
        observer_(pos, start, total);
    return true;
}

uint64_t ByteRing::copyWritten(uint64_t from, std::string &out) const {
    std::lock_guard lock(mutex_);
    const uint64_t end = written_.load();
    const size_t cap = capacity_.load();
    uint64_t begin = std::max(from, end > cap ? end - cap : 0);
    out.clear();
    if (!buf_ || begin >= end)
        return std::max(from, end);
    const size_t n = static_cast<size_t>(end - begin);
    const size_t at = static_cast<size_t>(begin % cap);
    const size_t first = std::min(n, cap - at);
    out.resize(n);
    std::memcpy(out.data(), buf_.get() + at, first);
    std::memcpy(out.data() + first, buf_.get(), n - first);
    return begin;
}

long ByteRing::read(uint8_t *out, size_t len) {
    std::unique_lock lock(mutex_);
    readerWaiting_ = true;
    readable_.wait(lock, [&] { return aborted_ || ended_ || (buf_ && usedLocked() > 0); });
    readerWaiting_ = false;
    if (aborted_)
        return -1;
    size_t used = buf_ ? usedLocked() : 0;
    if (used == 0)
        return 0; // ended and drained
    size_t n = std::min(used, len);
    size_t pos = static_cast<size_t>(read_.load() % capacity_);
    size_t first = std::min(n, capacity_ - pos);
    std::memcpy(out, buf_.get() + pos, first);
    std::memcpy(out + first, buf_.get(), n - first);
    read_ += n;
    if (writerNeeds_ && capacity_ - usedLocked() >= writerNeeds_)
        writable_.notify_all();
    return static_cast<long>(n);
}

long ByteRing::peek(uint8_t *out, size_t len, int timeoutMs) {
    std::unique_lock lock(mutex_);
    readerWaiting_ = true;
    readable_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return aborted_ || ended_ || (buf_ && usedLocked() >= std::min(len, capacity_.load()));
    });
    readerWaiting_ = false;
    if (aborted_)
        return -1;
    if (!buf_)
        return 0;
    size_t n = std::min(usedLocked(), len);
    for (size_t i = 0; i < n; ++i)
        out[i] = buf_[(read_.load() + i) % capacity_];
    return static_cast<long>(n);
}

bool ByteRing::waitForEndOrFill(size_t len, int timeoutMs) {
    std::unique_lock lock(mutex_);
    readerWaiting_ = true;
    bool ok = readable_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return aborted_ || ended_ || (buf_ && usedLocked() >= std::min(len, capacity_.load()));
    });
    readerWaiting_ = false;
    return ok && !aborted_;
}

void ByteRing::setEnded() {
    std::lock_guard lock(mutex_);
    ended_ = true;
    readable_.notify_all();
}

bool ByteRing::ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

void ByteRing::abort() {
    std::lock_guard lock(mutex_);
    aborted_ = true;
    readable_.notify_all();
    writable_.notify_all();
}

uint64_t ByteRing::downloaded() const {
    return written_.load();
}

uint64_t ByteRing::consumed() const {
    return read_.load();
}

size_t ByteRing::capacity() const {
    return capacity_.load();
}

} // namespace quorane::engine
