#pragma once
// One HTTP request as the list server hands it to its service: the request
// line, the headers and the body, read off the connection by the HTTP
// library. What a client can make the server hold is bounded: the head and
// the body each have a limit, and a request over either is refused before
// more of it is read. Owned by the exchange that reads it, on one of the
// server's threads.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

struct HttpRequest {
    static constexpr size_t MaxHeadBytes = 16 * 1024;
    static constexpr size_t MaxBodyBytes = 64 * 1024;

    std::string method;
    std::string target;   // as the request line has it, with the query
    int minorVersion = 1; // HTTP/1.<minorVersion>
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (any case); nullptr when absent.
    const std::string *Header(const std::string &name) const;
    // The request line, for the log.
    std::string Line() const;
};
