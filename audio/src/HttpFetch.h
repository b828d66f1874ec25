// One GET after another on one libcurl handle (kept connections are reused),
// for the many small requests of an HLS stream: playlists, init sections and
// segments. Each request is bounded in size and time and ends within moments
// of wake() once the abort flag it was given is raised.
#pragma once

#include "NetSettings.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorane::engine {

// Owned by one download thread, which alone calls get(); wake() may be
// called from any thread.
class HttpFetch {
public:
    struct Request {
        std::string url;
        size_t maxBytes = 0; // a longer body fails the request
        long timeoutMs = 0;
        // A byte range of the resource (offset, length); length -1: the whole
        // resource. A server that ignores the range is cut to it here.
        int64_t offset = 0;
        int64_t length = -1;
        // If set, receives the body of a successful answer piece by piece as
        // it arrives, and Result::body stays empty (not with a byte range).
        std::function<void(std::string_view)> sink;
    };
    struct Result {
        int error = 0;   // BASS error code; BASS_ERROR_FILEOPEN for a status other than 2xx
        long status = 0; // HTTP status, 0 when no answer came
        std::string body;
        std::string contentType;
        std::string effectiveUrl;       // after redirects
        std::vector<std::string> lines; // status and header lines of the final answer
        std::string why;                // what went wrong, for the log; "" when nothing did
    };

    HttpFetch(NetSettings net, const std::atomic<bool> &aborted);
    ~HttpFetch();
    HttpFetch(const HttpFetch &) = delete;
    HttpFetch &operator=(const HttpFetch &) = delete;

    Result get(const Request &request);
    // Makes a get() in progress look at the abort flag now.
    void wake();

private:
    static size_t onBody(char *data, size_t size, size_t count, void *self);
    static size_t onHeader(char *data, size_t size, size_t count, void *self);

    const NetSettings net_;
    const std::atomic<bool> &aborted_; // raised by the owner's stop()
    void *easy_ = nullptr;             // download thread only
    void *multi_ = nullptr;            // fixed after construction; woken from any thread
    // Download thread only: the request under way, its result, and how much
    // of its body has come.
    const Request *request_ = nullptr;
    Result *current_ = nullptr;
    size_t received_ = 0;
    bool tooLarge_ = false;
};

} // namespace quorane::engine
