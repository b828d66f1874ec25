// What the recorder's tests share: the engine with its silent output running
// faster than real time, the recorder's notices kept for inspection, and the
// files a recording left.
#pragma once

#include "recording/StreamRecorder.h"

#include "bass.h"

#include <QString>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace quorane::test {

// How many times faster than real time the tests play stations.
inline constexpr DWORD Speed = 20;

// The engine with its silent output at Speed, for one test.
class FastEngine {
public:
    FastEngine();
    ~FastEngine();
    FastEngine(const FastEngine &) = delete;
    FastEngine &operator=(const FastEngine &) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// The recorder's notices, kept for the test (the listener runs on the
// recorder's writer thread).
class Notices {
public:
    SongSplitter::Listener listener();
    std::vector<SongSplitter::Notice> get();
    // One line per notice, for a failure's message.
    std::string text();

private:
    std::mutex mutex_;
    std::vector<SongSplitter::Notice> all_;
};

// Opens `url` in the engine, plays it and records it as station
// StationName, the tap set once the stream plays, as the player does.
// Returns the stream, 0 when it could not be opened.
DWORD recordStation(StreamRecorder &recorder, const std::string &url);
// Removes the tap, ends the recording (waiting for the writer) and frees
// the stream.
void stopRecording(StreamRecorder &recorder, DWORD stream);

// Polls `done` every 20 ms until it holds or `limit` passes.
bool waitFor(const std::function<bool()> &done, std::chrono::seconds limit);
// Every file below `folder`, hidden ones included, relative to it, sorted.
std::vector<std::string> filesUnder(const QString &folder);

} // namespace quorane::test
