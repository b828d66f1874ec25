#pragma once
// A bare HTTP client over a raw socket to the loopback, for checking the list
// server byte by byte: it sends exactly the bytes it is given and reads
// answers by their Content-Length. It can come from another loopback address
// (127.0.0.2, ...: another machine as far as the server can tell) and go to
// an IPv6 one. Every wait has a guard, so a server that misbehaves fails the
// test instead of hanging it. One test thread.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

class RawHttp {
public:
    // Connects from `from` ("" for any) to `to`:`port`; with `receiveBuffer`
    // above 0 the socket buffers at most about that much of what comes.
    explicit RawHttp(uint16_t port, const std::string &from = "",
                     const std::string &to = "127.0.0.1", int receiveBuffer = 0);
    ~RawHttp();
    RawHttp(const RawHttp &) = delete;
    RawHttp &operator=(const RawHttp &) = delete;

    // False when the server has closed the connection.
    bool Send(const std::string &bytes);
    // Shuts the sending side: the server sees the end of what comes.
    void Finish();
    struct Answer {
        int status = 0; // 0: no answer came
        std::string head;
        std::string body;
        std::string Header(const std::string &name) const;
    };
    // One answer (not after a HEAD request: pass headOnly).
    Answer Receive(bool headOnly = false,
                   std::chrono::milliseconds guard = std::chrono::seconds(20));
    // True when the server closed the connection within the guard.
    bool ClosedWithin(std::chrono::milliseconds guard);
    // Reads up to `bytes` of what comes within the guard, taking no more
    // than that off the socket (a reader as slow as it likes); what it got.
    size_t Read(size_t bytes, std::chrono::milliseconds guard);
    // Whether the server's end (a close or a reset) has been seen.
    bool Closed() const { return closed_; }
    // Bytes received so far, of answers read or not.
    size_t Received() const { return received_; }

    // Whether this machine has the IPv6 loopback (::1) to test with.
    static bool HasIpv6Loopback();
    // A GET with the usual headers, HTTP/1.1.
    static std::string Get(const std::string &path, const std::string &extra = "");
    // A form POST as Quorane sends it: HTTP/1.0 with keep-alive.
    static std::string Post(const std::string &path, const std::string &body,
                            const std::string &type = "application/x-www-form-urlencoded");

private:
    // Takes what came (at most `most` bytes) off the socket into in_.
    bool Fill(std::chrono::steady_clock::time_point until, size_t most = 65536);
    int fd_ = -1;
    std::string in_;
    bool closed_ = false;
    size_t received_ = 0;
};
