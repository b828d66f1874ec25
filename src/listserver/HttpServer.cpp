#include "HttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// One client connection and where its exchange stands.
struct HttpServer::Client {
    int fd = -1;
    std::string peer;
    std::string in; // received, not yet taken into a request
    RequestReader reader;
    std::string outHead;                        // the answer being sent: its head,
    std::shared_ptr<const std::string> outBody; // then its body
    size_t sent = 0;                            // bytes of head + body sent
    bool closeAfter = false;
    // The last answer is out and our side is shut; what the client still
    // sends is read and dropped for a moment, so that closing does not
    // reset the connection before the client has read the answer.
    bool draining = false;
    bool requestStarted = false;
    Clock::time_point deadline;
    size_t Pending() const { return outHead.size() + (outBody ? outBody->size() : 0) - sent; }
};

namespace {

// The first line of what a client sent, for the log of a request that never
// became whole.
std::string FirstLine(const std::string &in) {
    const std::string line = in.substr(0, in.find('\n'));
    return line.empty() ? std::string("-") : line;
}

// A text as it may stand in the log: no control character (a client's line
// end would forge a log line), bounded; inside quotes (the request line) no
// quote or byte outside ASCII either.
std::string Printable(const std::string &s, bool quoted) {
    std::string out;
    for (const char ch : s.substr(0, 300)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '\\' || (quoted && (c >= 0x80 || c == '"'))) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return s.size() > 300 ? out + "..." : out;
}

std::string PeerName(const sockaddr_storage &addr) {
    char host[NI_MAXHOST] = "?", port[NI_MAXSERV] = "?";
    ::getnameinfo(reinterpret_cast<const sockaddr *>(&addr), sizeof addr, host, sizeof host, port,
                  sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
    return std::string(host) + ":" + port;
}

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

HttpServer::HttpServer(ListService &service, ServerLimits limits, std::FILE *log)
    : service_(service), limits_(limits), log_(log) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        wake_[0] = wake_[1] = -1;
}

HttpServer::~HttpServer() {
    for (Client &c : clients_)
        ::close(c.fd);
    if (listenFd_ >= 0)
        ::close(listenFd_);
    for (int fd : wake_)
        if (fd >= 0)
            ::close(fd);
}

bool HttpServer::Listen(const std::string &host, uint16_t port, std::string &error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    const int rc =
        ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0) {
        error = host + ": " + ::gai_strerror(rc);
        return false;
    }
    for (addrinfo *a = found; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, 128) == 0) {
            listenFd_ = fd;
            break;
        }
        error = std::strerror(errno);
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (listenFd_ < 0) {
        error = host + ":" + service + ": " + (error.empty() ? "cannot listen" : error);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t len = sizeof bound;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&bound), &len);
    address_ = PeerName(bound);
    port_ = uint16_t(std::stoi(address_.substr(address_.rfind(':') + 1)));
    return true;
}

void HttpServer::Stop() {
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a stop.
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
}

void HttpServer::Log(const Client &c, const std::string &request, int status, size_t bytes,
                     const std::string &note) {
    if (!log_)
        return;
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = std::string(when) + ' ' + c.peer + " \"" + Printable(request, true) + "\" " +
                       std::to_string(status) + ' ' + std::to_string(bytes);
    if (!note.empty())
        line += ' ' + Printable(note, false);
    std::fprintf(log_, "%s\n", line.c_str());
    std::fflush(log_);
}

void HttpServer::Accept() {
    for (;;) {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len,
                                 SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        Client c;
        c.fd = fd;
        c.peer = PeerName(addr);
        c.deadline = Clock::now() + std::chrono::milliseconds(limits_.idleTimeoutMs);
        if (int(clients_.size()) >= limits_.maxClients) {
            const std::string busy = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                                     "Connection: close\r\nRetry-After: 5\r\n\r\n";
            [[maybe_unused]] const ssize_t n = ::send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
            Log(c, "-", 503, 0, "too many clients");
            ::close(fd);
            continue;
        }
        SetNonBlocking(fd);
        clients_.push_back(std::move(c));
    }
}

void HttpServer::Queue(Client &c, const HttpResponse &r, bool keep) {
    const size_t length = r.body ? r.body->size() : 0;
    std::string head = "HTTP/1.1 " + std::to_string(r.status) + ' ' + r.reason + "\r\n";
    head += "Server: quorane-listserver\r\n";
    if (!r.contentType.empty())
        head += "Content-Type: " + r.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    for (const std::string &h : r.headers)
        head += h + "\r\n";
    head += keep ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    head += "\r\n";
    c.outHead = std::move(head);
    c.outBody = r.headOnly ? nullptr : r.body;
    c.sent = 0;
    c.closeAfter = !keep;
    c.deadline = Clock::now() + std::chrono::milliseconds(limits_.requestTimeoutMs);
}

bool HttpServer::Advance(Client &c) {
    if (c.Pending() > 0 || c.closeAfter)
        return true;
    const RequestReader::State state = c.reader.Feed(c.in);
    if (state == RequestReader::State::NeedMore) {
        if (c.reader.Started() && !c.requestStarted) {
            c.requestStarted = true;
            c.deadline = Clock::now() + std::chrono::milliseconds(limits_.requestTimeoutMs);
        }
        return true;
    }
    if (state == RequestReader::State::Refused) {
        HttpResponse r;
        r.status = c.reader.RefusedStatus();
        r.reason = c.reader.RefusedReason();
        r.body = std::make_shared<const std::string>(r.reason + "\n");
        Queue(c, r, false);
        Log(c, FirstLine(c.in), r.status, r.body->size(), "refused");
        c.in.clear();
        return true;
    }
    const HttpRequest request = c.reader.Take();
    c.requestStarted = false;
    const HttpResponse r = service_.Handle(request);
    Queue(c, r, request.KeepAlive());
    Log(c, request.Line(), r.status, r.body && !r.headOnly ? r.body->size() : 0, r.note);
    return true;
}

bool HttpServer::OnReadable(Client &c) {
    char buffer[65536];
    while (c.draining) {
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n > 0 || (n < 0 && errno == EINTR))
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    bool ended = false;
    for (;;) {
        // Nothing more is taken in while the bytes in hand already make a
        // whole request and more.
        if (c.in.size() > RequestReader::MaxHeadBytes + RequestReader::MaxBodyBytes)
            break;
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            c.in.append(buffer, size_t(n));
            continue;
        }
        if (n == 0) {
            ended = true;
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        return false;
    }
    if (ended) {
        // A client that shut its side after the request still gets the
        // answer; one that left in the middle of a request gets none.
        Advance(c);
        if (c.Pending() == 0) {
            if (c.reader.Started() || !c.in.empty())
                Log(c, FirstLine(c.in), 400, 0, "client left mid-request");
            return false;
        }
        c.closeAfter = true;
        return true;
    }
    if (c.Pending() == 0 && !c.closeAfter && c.in.empty() && !c.reader.Started())
        c.deadline = Clock::now() + std::chrono::milliseconds(limits_.idleTimeoutMs);
    return Advance(c);
}

bool HttpServer::OnWritable(Client &c) {
    while (c.Pending() > 0) {
        const char *data;
        size_t left;
        if (c.sent < c.outHead.size()) {
            data = c.outHead.data() + c.sent;
            left = c.outHead.size() - c.sent;
        } else {
            const size_t at = c.sent - c.outHead.size();
            data = c.outBody->data() + at;
            left = c.outBody->size() - at;
        }
        const ssize_t n = ::send(c.fd, data, left, MSG_NOSIGNAL);
        if (n > 0) {
            c.sent += size_t(n);
            // A slow reader gets the request time for each piece, not for all.
            c.deadline = Clock::now() + std::chrono::milliseconds(limits_.requestTimeoutMs);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return true;
        return false;
    }
    c.outHead.clear();
    c.outBody.reset();
    c.sent = 0;
    if (c.closeAfter) {
        ::shutdown(c.fd, SHUT_WR);
        c.draining = true;
        c.deadline = Clock::now() + std::chrono::seconds(1);
        return true;
    }
    c.deadline = Clock::now() + std::chrono::milliseconds(limits_.idleTimeoutMs);
    // A request that came while the answer went out (pipelining).
    return Advance(c);
}

void HttpServer::Run() {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        auto wait = Clock::now() + std::chrono::seconds(1);
        for (const Client &c : clients_) {
            short events = POLLIN;
            if (c.Pending() > 0)
                events = POLLOUT;
            fds.push_back({c.fd, events, 0});
            wait = std::min(wait, c.deadline);
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(wait - Clock::now());
        const int ready = ::poll(fds.data(), fds.size(), int(std::max<long long>(0, ms.count())));
        if (ready < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            break;
        size_t i = 2;
        for (auto it = clients_.begin(); it != clients_.end(); ++i) {
            Client &c = *it;
            bool keep = true;
            const short rev = fds[i].revents;
            if (rev & POLLOUT)
                keep = OnWritable(c);
            else if (rev & (POLLIN | POLLHUP | POLLERR))
                keep = OnReadable(c) && (c.Pending() == 0 || OnWritable(c));
            if (keep && Clock::now() >= c.deadline) {
                keep = false;
                if (!c.draining && c.Pending() == 0 && (c.reader.Started() || !c.in.empty())) {
                    // The answer goes out like any other, then the connection closes.
                    HttpResponse r;
                    r.status = 408;
                    r.reason = "Request Timeout";
                    r.body = std::make_shared<const std::string>("Request Timeout\n");
                    Log(c, FirstLine(c.in), 408, 0, "slow client cut off");
                    c.in.clear();
                    c.reader = RequestReader();
                    Queue(c, r, false);
                    keep = true;
                }
            }
            if (!keep) {
                ::close(c.fd);
                it = clients_.erase(it);
            } else {
                ++it;
            }
        }
        if (fds[1].revents & POLLIN)
            Accept();
    }
    for (Client &c : clients_)
        ::close(c.fd);
    clients_.clear();
}
