#include "HttpServer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/sockios.h>
#include <memory>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Body bytes handed to the library at a time: what a cut-off answer's log
// line can be short of the bytes that reached the client.
constexpr size_t BlockBytes = 16 * 1024;
// The library's memory per connection: a head of HttpRequest::MaxHeadBytes
// and the buffers to answer it.
constexpr size_t ConnectionMemory = 32 * 1024;

// An answer's body, shared by the library's reader of it and the exchange
// that logs how much of it went out. Both live on the connection's thread.
struct Body {
    std::shared_ptr<const std::string> bytes;
    uint64_t sent = 0; // bytes the library has written to the socket
};

ssize_t ReadBody(void *cls, uint64_t pos, char *buf, size_t max) {
    Body &body = **static_cast<std::shared_ptr<Body> *>(cls);
    // The library asks for the next bytes only once those before have gone out.
    body.sent = pos;
    if (pos >= body.bytes->size())
        return MHD_CONTENT_READER_END_OF_STREAM;
    const size_t n = std::min<size_t>(max, body.bytes->size() - size_t(pos));
    std::memcpy(buf, body.bytes->data() + pos, n);
    return ssize_t(n);
}

void FreeBody(void *cls) {
    delete static_cast<std::shared_ptr<Body> *>(cls);
}

std::string NameOf(const sockaddr *addr, socklen_t length) {
    return ConnectionTable::AddressOf(addr, length, true);
}

const char *Ending(MHD_RequestTerminationCode toe) {
    switch (toe) {
    case MHD_REQUEST_TERMINATED_COMPLETED_OK:
        return "";
    case MHD_REQUEST_TERMINATED_TIMEOUT_REACHED:
        return "idle too long";
    case MHD_REQUEST_TERMINATED_DAEMON_SHUTDOWN:
        return "server stopping";
    case MHD_REQUEST_TERMINATED_CLIENT_ABORT:
    case MHD_REQUEST_TERMINATED_READ_ERROR:
        return "client left";
    default:
        return "connection broke";
    }
}

// One request on a connection, from its request line to the end of its
// answer; made, used and deleted on the connection's thread of the library.
struct Exchange {
    ConnectionTable::Client *client = nullptr;
    std::string target;
    HttpRequest request;
    bool headRead = false;
    bool answered = false;
    int status = 0;
    std::string note;
    std::shared_ptr<Body> body;
};

} // namespace

// The library's callbacks, each with the server as its closure.
struct HttpServer::Callbacks {
    static MHD_Result Admit(void *cls, const sockaddr *addr, socklen_t length) {
        return static_cast<HttpServer *>(cls)->table_.Admit(addr, length) ? MHD_YES : MHD_NO;
    }

    static void Connection(void *cls, MHD_Connection *connection, void **socketContext,
                           MHD_ConnectionNotificationCode code) {
        auto &table = static_cast<HttpServer *>(cls)->table_;
        if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
            if (*socketContext)
                table.Closed(static_cast<ConnectionTable::Client *>(*socketContext));
            *socketContext = nullptr;
            return;
        }
        const MHD_ConnectionInfo *socket =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        const MHD_ConnectionInfo *client =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        if (!socket || !client || !client->client_addr)
            return; // not counted, not watched: the library's idle time-out still ends it
        const int fd = socket->connect_fd;
        const sockaddr *addr = client->client_addr;
        const socklen_t length =
            addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        // An answer's head and body may leave in separate writes; with the
        // small-packet delay on, a kept connection would wait for the
        // client's delayed acknowledgement between them.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        *socketContext = table.Opened(fd, addr, length);
    }

    static void *Started(void *cls, const char *uri, MHD_Connection *connection) {
        auto *x = new Exchange;
        x->target = uri ? uri : "";
        if (const MHD_ConnectionInfo *i =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT))
            x->client = static_cast<ConnectionTable::Client *>(i->socket_context);
        if (x->client)
            static_cast<HttpServer *>(cls)->table_.Requested(x->client, x->target);
        return x;
    }

    static MHD_Result AddHeader(void *cls, MHD_ValueKind, const char *key, const char *value) {
        static_cast<HttpRequest *>(cls)->headers.emplace_back(key, value ? value : "");
        return MHD_YES;
    }

    static MHD_Result Answer(HttpServer &server, MHD_Connection *connection, Exchange &x,
                             const HttpResponse &r) {
        if (!x.client || !server.table_.Answering(x.client))
            return MHD_NO; // the watchdog has ended the connection
        x.answered = true;
        x.status = r.status;
        x.note = r.note;
        MHD_Response *response;
        if (r.body && !r.body->empty()) {
            x.body = std::make_shared<Body>();
            x.body->bytes = r.body;
            response =
                MHD_create_response_from_callback(r.body->size(), BlockBytes, &ReadBody,
                                                  new std::shared_ptr<Body>(x.body), &FreeBody);
        } else {
            response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        }
        if (!response)
            return MHD_NO;
        MHD_add_response_header(response, "Server", "quorane-listserver");
        if (!r.contentType.empty())
            MHD_add_response_header(response, "Content-Type", r.contentType.c_str());
        for (const std::string &h : r.headers) {
            const size_t colon = h.find(':');
            const std::string value = h.substr(h.find_first_not_of(' ', colon + 1));
            MHD_add_response_header(response, h.substr(0, colon).c_str(), value.c_str());
        }
        const MHD_Result queued = MHD_queue_response(connection, unsigned(r.status), response);
        MHD_destroy_response(response);
        return queued;
    }

    static HttpResponse Refusal(int status, const std::string &reason) {
        HttpResponse r;
        r.status = status;
        r.reason = reason;
        r.body = std::make_shared<const std::string>(reason + "\n");
        r.note = "refused";
        return r;
    }

    // What the head of a request alone decides: the limits on a request's size.
    static std::optional<HttpResponse> Oversized(MHD_Connection *connection,
                                                 const HttpRequest &request) {
        const MHD_ConnectionInfo *head =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_REQUEST_HEADER_SIZE);
        if (head && head->header_size > HttpRequest::MaxHeadBytes)
            return Refusal(431, "Request Header Fields Too Large");
        // Only a body of known length is taken, so its limit holds up front.
        if (request.Header("Transfer-Encoding"))
            return Refusal(411, "Length Required");
        if (const std::string *length = request.Header("Content-Length")) {
            if (length->size() > 12 ||
                length->find_first_not_of("0123456789") != std::string::npos || length->empty())
                return Refusal(400, "Bad Request");
            if (std::stoull(*length) > HttpRequest::MaxBodyBytes)
                return Refusal(413, "Content Too Large");
        }
        return std::nullopt;
    }

    static MHD_Result Request(void *cls, MHD_Connection *connection, const char *,
                              const char *method, const char *version, const char *upload,
                              size_t *uploadSize, void **requestContext) {
        HttpServer &server = *static_cast<HttpServer *>(cls);
        auto *x = static_cast<Exchange *>(*requestContext);
        if (!x)
            return MHD_NO;
        if (x->answered) {
            // An early answer is queued: what more of the body comes is dropped.
            *uploadSize = 0;
            return MHD_YES;
        }
        if (!x->headRead) {
            x->headRead = true;
            HttpRequest &r = x->request;
            r.method = method;
            r.target = x->target;
            r.minorVersion = std::strcmp(version, MHD_HTTP_VERSION_1_0) == 0 ? 0 : 1;
            MHD_get_connection_values(connection, MHD_HEADER_KIND, &AddHeader, &r);
            std::optional<HttpResponse> early = Oversized(connection, r);
            if (!early)
                early = server.service_.Screen(r, x->client ? x->client->address : "");
            if (early)
                return Answer(server, connection, *x, *early);
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            if (x->request.body.size() + *uploadSize > HttpRequest::MaxBodyBytes)
                return Answer(server, connection, *x, Refusal(413, "Content Too Large"));
            x->request.body.append(upload, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        return Answer(server, connection, *x, server.service_.Handle(x->request));
    }

    static void Completed(void *cls, MHD_Connection *connection, void **requestContext,
                          MHD_RequestTerminationCode toe) {
        HttpServer &server = *static_cast<HttpServer *>(cls);
        std::unique_ptr<Exchange> x(static_cast<Exchange *>(*requestContext));
        *requestContext = nullptr;
        if (!x)
            return;
        const bool cut = x->client && server.table_.Cut(x->client);
        // A request cut off before its answer was logged by the watchdog.
        if (!(cut && !x->answered)) {
            int status = x->status;
            if (status == 0) {
                // The library's own answer to a request it could not take.
                if (const MHD_ConnectionInfo *i =
                        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_HTTP_STATUS))
                    status = int(i->http_status);
            }
            const bool head = x->request.method == "HEAD";
            uint64_t bytes = 0;
            if (x->body && !head && toe == MHD_REQUEST_TERMINATED_COMPLETED_OK) {
                bytes = x->body->bytes->size();
            } else if (x->body && !head) {
                // Of what the library wrote, what the system still holds
                // unacknowledged never reached the client: it is dropped with
                // the connection below.
                int unsent = 0;
                if (!x->client || ::ioctl(x->client->fd, SIOCOUTQ, &unsent) != 0)
                    unsent = 0;
                bytes = x->body->sent - std::min<uint64_t>(x->body->sent, uint64_t(unsent));
            }
            std::string note = x->note;
            const bool stalled = x->answered && toe == MHD_REQUEST_TERMINATED_TIMEOUT_REACHED;
            const std::string ending = cut       ? "slow reader cut off"
                                       : stalled ? "reader stopped reading"
                                                 : Ending(toe);
            if (!ending.empty())
                note += (note.empty() ? "" : "; ") + ending;
            const std::string line = x->request.method.empty() ? x->target : x->request.Line();
            server.log_.Request(x->client ? x->client->peer : "?", line, status, bytes, note);
        }
        if (!x->client)
            return;
        // An answer that did not go out whole (the watchdog cut it off, its
        // reader read nothing for the idle time, or left) is dropped with the
        // connection.
        if (x->answered && toe != MHD_REQUEST_TERMINATED_COMPLETED_OK)
            ConnectionTable::DropOnClose(x->client->fd);
        server.table_.Answered(x->client);
        // A client that shut its side after its request has all it asked
        // for. The library read that end while it answered and would now
        // wait out the idle time for a next request that cannot come; the
        // connection ends at once instead (nothing is left unread, so
        // closing loses the client nothing).
        char next;
        if (toe == MHD_REQUEST_TERMINATED_COMPLETED_OK &&
            ::recv(x->client->fd, &next, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
            ::shutdown(x->client->fd, SHUT_RDWR);
    }
};

HttpServer::HttpServer(ListService &service, ServerLimits limits, std::FILE *log)
    : service_(service), limits_(limits), log_(log), table_(limits, log_) {}

HttpServer::~HttpServer() {
    Stop();
}

bool HttpServer::Listen(const std::string &host, uint16_t port, std::string &error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string wanted = std::to_string(port);
    const int rc =
        ::getaddrinfo(host.empty() ? nullptr : host.c_str(), wanted.c_str(), &hints, &found);
    if (rc != 0) {
        error = host + ": " + ::gai_strerror(rc);
        return false;
    }
    std::vector<int> bound;
    std::vector<std::string> names;
    for (addrinfo *a = found; a && error.empty(); a = a->ai_next) {
        sockaddr_storage addr{};
        std::memcpy(&addr, a->ai_addr, a->ai_addrlen);
        if (port == 0 && port_ != 0) {
            // Port 0 is the port already chosen, so that every address
            // (of a name, or of several --listen) serves on one free port.
            if (addr.ss_family == AF_INET6)
                reinterpret_cast<sockaddr_in6 &>(addr).sin6_port = htons(port_);
            else
                reinterpret_cast<sockaddr_in &>(addr).sin_port = htons(port_);
        }
        const std::string name = NameOf(reinterpret_cast<sockaddr *>(&addr), a->ai_addrlen);
        if (std::find(names.begin(), names.end(), name) != names.end())
            continue;
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            // A machine without IPv6 still serves a name's IPv4 addresses.
            if (errno != EAFNOSUPPORT)
                error = name + ": " + std::strerror(errno);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        // An IPv6 socket serves IPv6 alone, so that 0.0.0.0 and [::] (or
        // "" for both) can be served on one port side by side.
        if (a->ai_family == AF_INET6)
            ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), a->ai_addrlen) != 0 ||
            ::listen(fd, 128) != 0) {
            error = name + ": " + std::strerror(errno);
            ::close(fd);
            continue;
        }
        sockaddr_storage actual{};
        socklen_t length = sizeof actual;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&actual), &length);
        if (port_ == 0)
            port_ = ntohs(actual.ss_family == AF_INET6
                              ? reinterpret_cast<sockaddr_in6 &>(actual).sin6_port
                              : reinterpret_cast<sockaddr_in &>(actual).sin_port);
        bound.push_back(fd);
        names.push_back(name);
    }
    ::freeaddrinfo(found);
    if (!error.empty() || bound.empty()) {
        for (int fd : bound)
            ::close(fd);
        if (error.empty())
            error = host + ":" + wanted + ": no address to listen on";
        return false;
    }
    listenFds_.insert(listenFds_.end(), bound.begin(), bound.end());
    for (size_t i = 0; i < bound.size(); ++i) {
        sockaddr_storage actual{};
        socklen_t length = sizeof actual;
        ::getsockname(bound[i], reinterpret_cast<sockaddr *>(&actual), &length);
        addresses_.push_back(NameOf(reinterpret_cast<sockaddr *>(&actual), length));
    }
    return true;
}

// The connection limits are the table's, through the library's accept
// policy: the library's own count is per daemon (per address served) and
// refuses without a word, where the table counts across all of them and
// logs what it refuses.
bool HttpServer::Start(std::string &error) {
    const unsigned idleSeconds = unsigned(std::max(1, (limits_.idleTimeoutMs + 999) / 1000));
    for (size_t i = daemons_.size(); i < listenFds_.size(); ++i) {
        MHD_Daemon *daemon = MHD_start_daemon(
            MHD_USE_AUTO_INTERNAL_THREAD, 0, &Callbacks::Admit, this, &Callbacks::Request, this,
            MHD_OPTION_LISTEN_SOCKET, listenFds_[i], MHD_OPTION_CONNECTION_TIMEOUT, idleSeconds,
            MHD_OPTION_CONNECTION_MEMORY_LIMIT, ConnectionMemory, MHD_OPTION_NOTIFY_CONNECTION,
            &Callbacks::Connection, this, MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::Started, this,
            MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::Completed, this, MHD_OPTION_END);
        if (!daemon) {
            error = addresses_[i] + ": the HTTP library would not serve it";
            Stop();
            return false;
        }
        daemons_.push_back(daemon);
    }
    return true;
}

void HttpServer::Stop() {
    for (MHD_Daemon *daemon : daemons_) {
        // Takes the listening socket back from the library, which then
        // closes every connection; the socket is closed below.
        MHD_quiesce_daemon(daemon);
        MHD_stop_daemon(daemon);
    }
    daemons_.clear();
    for (int fd : listenFds_)
        ::close(fd);
    listenFds_.clear();
}
