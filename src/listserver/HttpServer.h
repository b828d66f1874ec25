#pragma once
// The list server's HTTP side: one thread that polls the listening socket
// and every client, so that many listeners at once, slow ones included, cost
// a little memory each and never a thread. Each client must send a whole
// request within the request time (a client that drips its request byte by
// byte is cut off with 408), a kept connection waits for its next request at
// most the idle time, and at most `maxClients` are served at once (the
// next get 503). HTTP/1.0 and 1.1, keep-alive as the client asks for it, one
// log line per request. Run() on any one thread; Stop() from any thread or
// from a signal handler (it writes one byte to a pipe).
#include "ListService.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <list>
#include <string>

struct ServerLimits {
    int requestTimeoutMs = 10000;
    int idleTimeoutMs = 15000;
    int maxClients = 256;
};

class HttpServer {
public:
    HttpServer(ListService &service, ServerLimits limits, std::FILE *log);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Binds and listens on host:port (port 0: a free one). False, with the
    // reason, when that fails.
    bool Listen(const std::string &host, uint16_t port, std::string &error);
    // "address:port" that it listens on, once Listen succeeded.
    const std::string &Address() const { return address_; }
    uint16_t Port() const { return port_; }

    // Serves until Stop(); then closes every connection.
    void Run();
    void Stop();
    // The descriptor Stop() writes to, for a signal handler.
    int StopFd() const { return wake_[1]; }

private:
    using Clock = std::chrono::steady_clock;
    struct Client;
    void Accept();
    // Reads what came, answers what is complete; false when it is to close.
    bool OnReadable(Client &c);
    bool OnWritable(Client &c);
    // Takes the next complete request out of the client's bytes, if any.
    bool Advance(Client &c);
    void Queue(Client &c, const HttpResponse &r, bool keep);
    void Log(const Client &c, const std::string &request, int status, size_t bytes,
             const std::string &note);

    ListService &service_;
    ServerLimits limits_;
    std::FILE *log_;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::string address_;
    std::list<Client> clients_;
};
