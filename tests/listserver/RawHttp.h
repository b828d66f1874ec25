#pragma once
// A bare HTTP client over a raw socket to 127.0.0.1, for checking the list
// server byte by byte: it sends exactly the bytes it is given and reads
// answers by their Content-Length. Every wait has a guard, so a server that
// misbehaves fails the test instead of hanging it. One test thread.
#include <chrono>
#include <cstdint>
#include <string>

class RawHttp {
public:
    explicit RawHttp(uint16_t port);
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

    // A GET with the usual headers, HTTP/1.1.
    static std::string Get(const std::string &path, const std::string &extra = "");
    // A form POST as Quorane sends it: HTTP/1.0 with keep-alive.
    static std::string Post(const std::string &path, const std::string &body,
                            const std::string &type = "application/x-www-form-urlencoded");

private:
    bool Fill(std::chrono::steady_clock::time_point until);
    int fd_ = -1;
    std::string in_;
    bool closed_ = false;
};
