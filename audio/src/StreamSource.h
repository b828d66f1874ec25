// What a connection's download thread offers the stream, whichever way it
// gets the bytes: one HTTP answer whose body is the stream (HttpSource), or
// an HLS playlist and its segments (HlsSource). Both write the audio bytes
// into the connection's ByteRing and report metadata blocks tagged with the
// count of audio bytes before them.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorane::engine {

// What the answer said; complete and unchanging once waitForAnswer() succeeded.
struct HttpAnswer {
    std::vector<std::string> lines; // status line, then header lines, as sent (no CR LF)
    bool icyStatus = false;         // the status line was "ICY ..."
    long status = 0;
    std::string contentType;
    long long contentLength = -1; // -1 when not given
    long metaint = 0;
    long bitrateKbps = 0; // "icy-br:", 0 when not given
    std::string effectiveUrl;
};

class StreamSource {
public:
    // A metadata block and the count of audio bytes that came before it.
    using MetaCallback = std::function<void(const std::string &block, uint64_t audioByte)>;

    virtual ~StreamSource() = default;
    virtual void start() = 0;
    // Waits until the audio begins (BASS_OK), the request fails (its error
    // code) or the deadline passes (BASS_ERROR_TIMEOUT).
    virtual int waitForAnswer(std::chrono::steady_clock::time_point deadline) = 0;
    // Without waiting: true once the answer settled, with its error code.
    virtual bool answered(int &error) = 0;
    // Valid after waitForAnswer returned BASS_OK.
    virtual const HttpAnswer &answer() const = 0;
    // Tells the download to end and fails a wait for the answer, without
    // waiting for anything; from any thread.
    virtual void cancel() = 0;
    // Aborts and joins the thread; safe to call twice.
    virtual void stop() = 0;
    // Milliseconds the source has gone without the data it expects; 0 while
    // the download is held back by a full buffer (that is no stall).
    virtual int64_t idleMs() const = 0;
};

} // namespace quorane::engine
