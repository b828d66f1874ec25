// The engine's reading of a stream answer on any bytes a server could send:
// libcurl's status and header parsing, the engine's header lines, the ICY
// interval and bitrate taken from them, and the body split into audio and
// metadata.
//
// Each input is one answer on a connected socket pair: the link wraps
// curl_multi_add_handle (see CMakeLists.txt), so that every connection the
// download opens is handed one end, already connected, with the answer and
// its end of stream waiting in it. libcurl then reads it as it reads a
// server; nothing listens, nothing waits for a close, and no socket other
// than the pair is ever opened.
#include "ByteRing.h"
#include "HttpSource.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <curl/curl.h>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace quorane::engine;

namespace {
// The answer every connection of the current input gets, and the server
// ends of the pairs handed out, closed once the input is done. Fuzzing
// thread only: the download thread calls Open() while the fuzzing thread
// waits for it.
std::string gAnswer;
std::vector<int> gServerEnds;

curl_socket_t Open(void *, curlsocktype, curl_sockaddr *) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return CURL_SOCKET_BAD;
    // Whatever fits in the pair's buffer, then the end of the stream; the
    // server end stays open so that the request can still be written.
    ::fcntl(pair[1], F_SETFL, O_NONBLOCK);
    for (size_t at = 0; at < gAnswer.size();) {
        const ssize_t n = ::send(pair[1], gAnswer.data() + at, gAnswer.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        at += size_t(n);
    }
    ::shutdown(pair[1], SHUT_WR);
    gServerEnds.push_back(pair[1]);
    return pair[0];
}

int AlreadyConnected(void *, curl_socket_t, curlsocktype) {
    return CURL_SOCKOPT_ALREADY_CONNECTED;
}

// The engine follows redirects. Only a redirect to a path on this same
// address is let through (every "Location:" of any case followed by "/" and
// a plain path), so a new connection never needs a name looked up.
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

// Every transfer the engine starts connects through Open() instead of the
// network.
extern "C" CURLMcode __real_curl_multi_add_handle(CURLM *multi, CURL *easy);
extern "C" CURLMcode __wrap_curl_multi_add_handle(CURLM *multi, CURL *easy) {
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Open);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &AlreadyConnected);
    return __real_curl_multi_add_handle(multi, easy);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    if (!StaysOnThisServer(bytes))
        return 0;
    gAnswer.assign(bytes);
    HttpSource::Options options;
    // Never dialled: the address only names the host for the request line.
    options.url = "http://127.0.0.1:9/live";
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
