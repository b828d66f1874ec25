#pragma once
// The list server's HTTP side, on GNU libmicrohttpd: one daemon for each
// address it listens on, each serving all its connections from one thread
// of its own (epoll), so that many listeners at once, slow ones included,
// cost a little memory each and never a thread. The library parses the
// requests, keeps connections alive as the client asks, answers HEAD, and
// closes a connection that has been idle for the idle time; the connection
// table adds what it cannot do alone (the limits across all addresses and
// the whole-request and whole-answer time limits). Answers go out without
// the small-packet delay, so a kept connection is as quick as a new one.
// One log line per request, with the body bytes that actually went out.
// Listen() and Start() on one thread, then Stop() (or the destructor) on
// the same one; the callbacks run on the library's threads.
#include "AccessLog.h"
#include "ConnectionTable.h"
#include "ListService.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct MHD_Daemon;

class HttpServer {
public:
    HttpServer(ListService &service, ServerLimits limits, std::FILE *log);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and listens on every address that `host` names (a numeric
    // address, a name, or "" for every address of the machine, IPv4 and
    // IPv6), on `port` (0: the port an earlier address got, else a free
    // one, so that all serve on one port). Called once for each address to
    // serve, before Start(). False, with the reason, when an address cannot
    // be bound.
    bool Listen(const std::string &host, uint16_t port, std::string &error);
    // Serves every address Listen() bound until Stop().
    bool Start(std::string &error);
    // Stops serving and closes every connection.
    void Stop();

    // "address:port" of each bound address, in the order bound.
    const std::vector<std::string> &Addresses() const { return addresses_; }
    uint16_t Port() const { return port_; }
    // Answers going out now; each is logged when it is done.
    int AnswersGoingOut() { return table_.AnswersGoingOut(); }

private:
    struct Callbacks;
    friend struct Callbacks;

    ListService &service_;
    const ServerLimits limits_;
    AccessLog log_;
    ConnectionTable table_;
    uint16_t port_ = 0;
    std::vector<int> listenFds_;
    std::vector<std::string> addresses_;
    std::vector<MHD_Daemon *> daemons_;
};
