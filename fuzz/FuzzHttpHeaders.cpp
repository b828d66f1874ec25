// The engine's reading of a stream answer on any bytes a server could send:
// libcurl's status and header parsing, the engine's header lines, the ICY
// interval and bitrate taken from them, and the body split into audio and
// metadata.
//
// Each input is one answer through a real socket on 127.0.0.1, served
// without a server thread: the link wraps curl_multi_add_handle (see
// CMakeLists.txt) to give every transfer the engine starts a callback that
// runs once libcurl has connected and before it sends its request. There the
// connection is accepted from this process's own listening socket and the
// answer and its end of stream put in, so libcurl reads it as it reads any
// server, and nothing waits for a close.
#include "ByteRing.h"
#include "HttpSource.h"
#include "SocketIo.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace quorane::engine;

namespace {
// The listening socket on 127.0.0.1 and its port, made once.
int gListenFd = -1;
uint16_t gPort = 0;
// The answer every connection of the current input gets, and the server
// ends accepted for it, closed once the input is done. The download thread
// uses them while the fuzzing thread waits for it; the fuzzing thread only
// before start() and after stop().
std::string gAnswer;
std::vector<int> gServerEnds;

// libcurl has connected: take the connection and answer it.
int Answer(void *, char *, char *, int, int) {
    pollfd p{gListenFd, POLLIN, 0};
    // Generous: the connection is complete before this runs, so the wait
    // only ever ends early.
    if (::poll(&p, 1, 2000) <= 0)
        return CURL_PREREQFUNC_OK;
    const int fd = ::accept4(gListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return CURL_PREREQFUNC_OK;
    // Whatever fits in the socket's buffer, then the end of the stream; the
    // server end stays open so that the request can still be written.
    for (size_t at = 0; at < gAnswer.size();) {
        const ssize_t n = ::send(fd, gAnswer.data() + at, gAnswer.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        at += size_t(n);
    }
    ::shutdown(fd, SHUT_WR);
    gServerEnds.push_back(fd);
    return CURL_PREREQFUNC_OK;
}

// Connections left from an input whose transfer never got to its request.
void DropStale() {
    for (int fd; (fd = ::accept4(gListenFd, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;)
        ::close(fd);
}

// The engine follows redirects. Only a redirect to a path on this same
// server is let through (every "Location:" of any case followed by "/" and
// a plain path), so every connection comes back here.
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

// Every transfer the engine starts is answered by Answer().
extern "C" CURLMcode __real_curl_multi_add_handle(CURLM *multi, CURL *easy);
extern "C" CURLMcode __wrap_curl_multi_add_handle(CURLM *multi, CURL *easy) {
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Answer);
    return __real_curl_multi_add_handle(multi, easy);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    gListenFd = quorane::test::net::listenOnLoopback("fuzz answer", 16, &gPort);
    ::fcntl(gListenFd, F_SETFL, O_NONBLOCK);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (!StaysOnThisServer(bytes))
        return 0;
    DropStale();
    gAnswer.assign(bytes);
    HttpSource::Options options;
    options.url = "http://127.0.0.1:" + std::to_string(gPort) + "/live";
    options.net.timeoutMs = 3000;
    options.bufferMs = 5000;
    ByteRing ring;
    size_t metaBytes = 0;
    HttpSource source(options, ring,
                      [&](const std::string &block, uint64_t) { metaBytes += block.size(); });
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
    for (int fd : gServerEnds)
        ::close(fd);
    gServerEnds.clear();
    return 0;
}
