// Helpers shared by the engine tests: an initialised engine per test, a
// recorder for metadata notifications, and readers for the engine's tag lists.
#pragma once

#include "IcyServer.h"
#include "bass.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quorane::test {

// BASS_Init on construction, BASS_Free on destruction, so a failing test
// never leaves the engine initialised for the next one.
class EngineSession {
public:
    explicit EngineSession(int device = -1, DWORD freq = 44100);
    ~EngineSession();
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Collects every metadata block a stream reports through BASS_SYNC_META,
// reading the block inside the notification as the player does.
class MetaRecorder {
public:
    // Registers the notification; returns the sync handle.
    DWORD attach(DWORD stream);
    // Waits until `count` blocks arrived or the time is up; returns them.
    std::vector<std::string> waitFor(size_t count, std::chrono::milliseconds limit);
    std::vector<std::string> blocks();

private:
    static void onSync(DWORD sync, DWORD channel, DWORD data, void *user);
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> blocks_;
};

// Switches SDL to the disk driver for one engine session: the exact samples
// the output plays land in a file at real-time pace. Create it before the
// EngineSession.
class DiskOutput {
public:
    DiskOutput();
    ~DiskOutput();
    DiskOutput(const DiskOutput &) = delete;
    DiskOutput &operator=(const DiskOutput &) = delete;
    // The left channel of the interleaved stereo float samples written.
    std::vector<float> left() const;
    std::vector<float> right() const;
    // Frames written so far (readable from any thread).
    size_t frames() const;

private:
    std::vector<float> channel(int which) const;
    std::string path_;
    std::string oldDriver_;
};

// The index of the first sample louder than `level`, or s.size().
size_t firstSound(const std::vector<float> &s, float level = 0.01f);

// Counts the calls of a sync (BASS_SYNC_STALL, BASS_SYNC_END) and keeps
// their data values in order.
class SyncCounter {
public:
    static void onSync(DWORD sync, DWORD channel, DWORD data, void *user);
    int count();
    std::vector<DWORD> values();

private:
    std::mutex mutex_;
    std::vector<DWORD> values_;
};

// Runs fn on a thread of its own and reports whether it finished within
// limit. The thread is left behind when it overruns, so a hanging call is
// reported as a failure instead of hanging the test; fn must therefore own
// (or share) everything it touches.
bool finishesWithin(std::function<void()> fn, std::chrono::milliseconds limit);

// The NUL-separated lines of a BASS_TAG_HTTP/ICY list, without the empty end.
std::vector<std::string> tagLines(const char *tags);
// Polls the predicate every 10 ms until it holds or the limit passes.
bool waitUntil(const std::function<bool()> &pred, std::chrono::milliseconds limit);
// A typical radio mount of the given sample, Shoutcast- or Icecast-style.
StreamMount radioMount(const std::string &sample, const std::string &contentType, bool shoutcast);
// A port on 127.0.0.1 that was free a moment ago: nobody listens there.
uint16_t closedPort();
// The title inside a "StreamTitle='...';" block ("" when there is none).
std::string titleOf(const std::string &block);

} // namespace quorane::test
