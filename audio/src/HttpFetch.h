// One GET after another on one libcurl handle (kept connections are reused),
// for the many small requests of an HLS stream: playlists, init sections and
// segments. Each request is bounded in size and time and ends within moments
// of wake() once the abort flag it was given is raised.
#pragma once

#include "NetSettings.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace quorane::engine {

// Owned by one download thread, which alone calls get(); wake() may be
// called from any thread.
class HttpFetch {
public:
    struct Result {
        int error = 0;   // BASS error code; BASS_ERROR_FILEOPEN for a status other than 2xx
        long status = 0; // HTTP status, 0 when no answer came
        std::string body;
        std::string contentType;
        std::string effectiveUrl;       // after redirects
        std::vector<std::string> lines; // status and header lines of the final answer
    };

    HttpFetch(NetSettings net, const std::atomic<bool> &aborted);
    ~HttpFetch();
    HttpFetch(const HttpFetch &) = delete;
    HttpFetch &operator=(const HttpFetch &) = delete;

    // Fetches url whole: at most maxBytes of body, within timeoutMs.
    Result get(const std::string &url, size_t maxBytes, long timeoutMs);
    // Makes a get() in progress look at the abort flag now.
    void wake();

private:
    static size_t onBody(char *data, size_t size, size_t count, void *self);
    static size_t onHeader(char *data, size_t size, size_t count, void *self);

    const NetSettings net_;
    const std::atomic<bool> &aborted_; // raised by the owner's stop()
    void *easy_ = nullptr;             // download thread only
    void *multi_ = nullptr;            // fixed after construction; woken from any thread
    Result *current_ = nullptr;        // download thread only: the request under way
    size_t maxBytes_ = 0;              // download thread only
};

} // namespace quorane::engine
