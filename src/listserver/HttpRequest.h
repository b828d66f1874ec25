#pragma once
// One HTTP request as the list server reads it off a connection, and the
// reader that takes it in piece by piece as bytes arrive. The reader bounds
// what a client can make the server hold: the head (request line and
// headers) and the body each have a limit, and a request over either is
// refused with its status before more of it is read. Owned by the
// connection that reads it, on the server's one thread.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
    std::string method;
    std::string target;
    int minorVersion = 1; // HTTP/1.<minorVersion>
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (any case); nullptr when absent.
    const std::string *Header(const std::string &name) const;
    // Whether the client wants the connection kept after the answer: by
    // default with HTTP/1.1, only on "Connection: keep-alive" with HTTP/1.0.
    bool KeepAlive() const;
    // The request line, for the log.
    std::string Line() const;
};

class RequestReader {
public:
    static constexpr size_t MaxHeadBytes = 16 * 1024;
    static constexpr size_t MaxBodyBytes = 64 * 1024;

    enum class State { NeedMore, Ready, Refused };

    // Takes in what arrived (`pending` keeps what is not used yet, such as
    // the start of a next request) and says how far the request is.
    State Feed(std::string &pending);
    // With State::Ready: the request; the reader is then ready for the next.
    HttpRequest Take();
    // With State::Refused: the status and the reason to answer with.
    int RefusedStatus() const { return refusedStatus_; }
    const std::string &RefusedReason() const { return refusedReason_; }
    // True once any byte of a request has come.
    bool Started() const { return started_; }

private:
    State Refuse(int status, std::string reason);
    bool ParseHead(const std::string &head);

    HttpRequest request_;
    bool headDone_ = false;
    bool started_ = false;
    size_t bodyLength_ = 0;
    int refusedStatus_ = 0;
    std::string refusedReason_;
};
