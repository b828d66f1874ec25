// The download buffer of one stream: the download thread writes the stream's
// audio bytes in, the decode thread reads them out. One lock and two condition
// variables; a writer that finds it full waits (so the transfer stops and TCP
// holds the server back), a reader that finds it empty waits.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace quorane::engine {

class ByteRing {
public:
    // Sets the capacity; called once by the download thread when the answer's
    // headers tell how large the buffer must be. Reads wait until then.
    void allocate(size_t capacity);
    bool allocated() const;
    // Changes the capacity of an allocated ring, keeping what it holds (and
    // never getting smaller than that); called by the download thread once
    // the stream's real rate is known.
    void resize(size_t capacity);

    // Writes all of data unless the ring is aborted first. Returns false when
    // aborted. Blocks while the ring is full.
    bool write(const uint8_t *data, size_t len);
    // Reads up to len bytes, waiting for at least one. Returns the count, 0 at
    // the end of the stream, -1 when aborted.
    long read(uint8_t *out, size_t len);
    // Copies up to len bytes from the start of the stream without consuming
    // them, waiting until len bytes are there, the stream ended or the wait
    // timed out. Returns the count copied, -1 when aborted.
    long peek(uint8_t *out, size_t len, int timeoutMs);
    // Waits until the stream ended or `len` bytes are buffered; for reading a
    // small body (a playlist) whole. Returns false on abort or timeout.
    bool waitForEndOrFill(size_t len, int timeoutMs);

    // The writer has no more data (the server closed or failed).
    void setEnded();
    bool ended() const;
    // Wakes every waiting thread for good: the stream is being freed.
    void abort();

    // Called by write() on the writer's thread, without the lock, once bytes
    // at stream position `pos` are in the ring. Set before the first write.
    using Observer = std::function<void(uint64_t pos, const uint8_t *data, size_t len)>;
    void setObserver(Observer observer) { observer_ = std::move(observer); }
    // Copies the bytes written from position `from` on that the ring still
    // holds (consumed or not) into out; returns the position of out's first
    // byte, later than `from` when the ring has overwritten what came before.
    uint64_t copyWritten(uint64_t from, std::string &out) const;

    uint64_t downloaded() const; // audio bytes written in, ever
    uint64_t consumed() const;   // bytes read out by the decoder, ever
    size_t capacity() const;

private:
    size_t usedLocked() const { return static_cast<size_t>(written_.load() - read_.load()); }

    mutable std::mutex mutex_;
    std::condition_variable readable_; // reader waits here; writer signals
    std::condition_variable writable_; // writer waits here; reader signals
    // All fields below are guarded by mutex_. The three counters are also
    // atomic so that the position queries, which the player makes in a tight
    // loop while it waits for the buffer, read them without the lock.
    std::unique_ptr<uint8_t[]> buf_;
    std::atomic<size_t> capacity_{0};
    std::atomic<uint64_t> written_{0}; // total bytes written (position of the write head)
    std::atomic<uint64_t> read_{0};    // total bytes read (position of the read head)
    size_t writerNeeds_ = 0;           // free space the waiting writer waits for, 0 = not waiting
    bool readerWaiting_ = false;
    bool ended_ = false;
    bool aborted_ = false;
    Observer observer_; // set before the first write, then read by the writer only
};

} // namespace quorane::engine
