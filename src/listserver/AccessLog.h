#pragma once
// The list server's log: one line per request, written whole by whichever
// of the server's threads finished it, in the form
//   2026-12-10T09:15:02Z 192.168.1.7:50412 "GET /quorane/stations.txt HTTP/1.1" 200 6843 note
// (time in UTC, the client, the request line, the status, the body bytes
// that reached the client, and what became of the request when there is
// more to say).
// A status of 0 is written "-": the client got no answer. Texts from the
// client are escaped, so a request cannot forge a line. Thread-safe.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class AccessLog {
public:
    // Writes to `out` (not owned; nullptr logs nothing).
    explicit AccessLog(std::FILE *out) : out_(out) {}

    void Request(const std::string &peer, const std::string &request, int status, uint64_t bytes,
                 const std::string &note);

    // `text` as the log holds a client's text: control characters, and in
    // quotes also quotes and bytes outside ASCII, as \xNN; at most 300 bytes.
    static std::string Printable(const std::string &text, bool quoted);

private:
    std::mutex mutex_;
    std::FILE *out_;
};
