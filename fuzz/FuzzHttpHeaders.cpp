// The engine's reading of a stream answer on any bytes a server could send:
// libcurl's status and header parsing, the engine's header lines, the ICY
// interval and bitrate taken from them, and the body split into audio and
// metadata. Each input is one answer through a real socket on 127.0.0.1.
#include "AnswerServer.h"
#include "ByteRing.h"
#include "HttpSource.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <curl/curl.h>
#include <string_view>

using namespace quorane::engine;

namespace {
// The engine follows redirects, so an answer could send it to any address.
// Only a redirect to a path on this same server is let through: every
// "Location:" (any case) must be followed by "/" and a plain path.
bool StaysOnThisServer(std::string_view answer) {
    std::string lower(answer);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (size_t at = lower.find("location"); at != std::string::npos;
         at = lower.find("location", at + 1)) {
        size_t v = lower.find_first_not_of(" \t:", at + 8);
        if (v == std::string::npos || lower[v] != '/' || v + 1 >= lower.size() ||
            lower[v + 1] == '/' || lower[v + 1] == '\\')
            return false;
        for (size_t i = v; i < lower.size() && lower[i] != '\r' && lower[i] != '\n'; ++i)
            if (!std::isalnum(static_cast<unsigned char>(lower[i])) &&
                std::string_view("/._-").find(lower[i]) == std::string_view::npos)
                return false;
    }
    return true;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // Nothing but the answer server on 127.0.0.1 is ever contacted.
    for (const char *name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        unsetenv(name);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (!StaysOnThisServer(bytes))
        return 0;
    static quorane::fuzz::AnswerServer server;
    server.Serve(std::string(bytes));
    HttpSource::Options options;
    options.url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/live";
    options.timeoutMs = 3000;
    options.bufferMs = 5000;
    ByteRing ring;
    size_t metaBytes = 0;
    HttpSource source(options, ring, [&](const std::string &block) { metaBytes += block.size(); });
    source.start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    if (source.waitForAnswer(deadline) == BASS_OK) {
        const HttpAnswer &answer = source.answer();
        if (answer.metaint < 0 || answer.bitrateKbps < 0 || answer.lines.empty())
            std::abort();
        // Drain the body: the audio that reached the ring is never more than
        // the bytes that were sent.
        uint8_t buf[4096];
        uint64_t audio = 0;
        for (long n; (n = ring.read(buf, sizeof buf)) > 0;)
            audio += uint64_t(n);
        if (audio + metaBytes > size)
            std::abort();
    }
    source.stop();
    return 0;
}
