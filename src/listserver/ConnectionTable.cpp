#include "ConnectionTable.h"

#include <algorithm>
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace {

constexpr auto Forever = ConnectionTable::Clock::time_point::max();
// How long a client that was sent 408 has to read it before its connection
// is closed outright (closing at once could reset the answer away).
constexpr auto Grace = std::chrono::seconds(1);

std::chrono::milliseconds Ms(int ms) {
    return std::chrono::milliseconds(ms);
}

} // namespace

ConnectionTable::ConnectionTable(ServerLimits limits, AccessLog &log)
    : limits_(limits), log_(log), watchdog_([this] { Watch(); }) {}

ConnectionTable::~ConnectionTable() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    watchdog_.join();
}

std::string ConnectionTable::AddressOf(const sockaddr *addr, socklen_t length, bool withPort) {
    sockaddr_storage copy{};
    std::copy_n(reinterpret_cast<const char *>(addr), std::min<size_t>(length, sizeof copy),
                reinterpret_cast<char *>(&copy));
    // An IPv4 client of an IPv6 socket is the same machine as over IPv4.
    if (copy.ss_family == AF_INET6) {
        const auto &six = reinterpret_cast<const sockaddr_in6 &>(copy);
        if (IN6_IS_ADDR_V4MAPPED(&six.sin6_addr)) {
            sockaddr_in four{};
            four.sin_family = AF_INET;
            four.sin_port = six.sin6_port;
            std::copy_n(six.sin6_addr.s6_addr + 12, 4, reinterpret_cast<uint8_t *>(&four.sin_addr));
            return AddressOf(reinterpret_cast<const sockaddr *>(&four), sizeof four, withPort);
        }
    }
    char host[NI_MAXHOST] = "?", port[NI_MAXSERV] = "?";
    ::getnameinfo(reinterpret_cast<const sockaddr *>(&copy), length, host, sizeof host, port,
                  sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
    if (!withPort)
        return host;
    return copy.ss_family == AF_INET6 ? "[" + std::string(host) + "]:" + port
                                      : std::string(host) + ":" + port;
}

void ConnectionTable::DropOnClose(int fd) {
    const linger now{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
}

bool ConnectionTable::Admit(const sockaddr *addr, socklen_t length) {
    const std::string address = AddressOf(addr, length, false);
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = perAddress_.find(address);
    const int fromThere = it == perAddress_.end() ? 0 : it->second;
    std::string why;
    if (fromThere >= limits_.maxPerAddress)
        why = std::to_string(fromThere) + " connections at once from this address";
    else if (int(clients_.size()) >= limits_.maxClients)
        why = std::to_string(clients_.size()) + " connections at once in all";
    else
        return true;
    ++refusedUnlogged_;
    const auto now = Clock::now();
    if (now - lastRefusalLine_ >= std::chrono::seconds(1)) {
        if (refusedUnlogged_ > 1)
            why += " (" + std::to_string(refusedUnlogged_) + " refused since the last such line)";
        log_.Request(AddressOf(addr, length, true), "-", 0, 0, "refused: " + why);
        lastRefusalLine_ = now;
        refusedUnlogged_ = 0;
    }
    return false;
}

ConnectionTable::Client *ConnectionTable::Opened(int fd, const sockaddr *addr, socklen_t length) {
    Client c;
    c.fd = fd;
    c.address = AddressOf(addr, length, false);
    c.peer = AddressOf(addr, length, true);
    const std::lock_guard<std::mutex> lock(mutex_);
    ++perAddress_[c.address];
    clients_.push_back(std::move(c));
    Client &added = clients_.back();
    SetDeadline(added, Clock::now() + Ms(limits_.requestTimeoutMs));
    return &added;
}

void ConnectionTable::Closed(Client *client) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto it = perAddress_.find(client->address);
    if (it != perAddress_.end() && --it->second <= 0)
        perAddress_.erase(it);
    clients_.remove_if([client](const Client &c) { return &c == client; });
}

void ConnectionTable::Requested(Client *client, const std::string &target) {
    const std::lock_guard<std::mutex> lock(mutex_);
    client->request = target.empty() ? "-" : target;
}

bool ConnectionTable::Answering(Client *client) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (client->cut)
        return false;
    client->phase = Client::Phase::Answering;
    SetDeadline(*client, Clock::now() + Ms(limits_.requestTimeoutMs));
    return true;
}

void ConnectionTable::Answered(Client *client) {
    const std::lock_guard<std::mutex> lock(mutex_);
    client->request.clear();
    if (client->cut)
        return;
    client->phase = Client::Phase::Waiting;
    SetDeadline(*client, Clock::now() + Ms(limits_.requestTimeoutMs));
}

bool ConnectionTable::Cut(Client *client) {
    const std::lock_guard<std::mutex> lock(mutex_);
    return client->cut;
}

int ConnectionTable::AnswersGoingOut() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return int(std::count_if(clients_.begin(), clients_.end(), [](const Client &c) {
        return c.phase == Client::Phase::Answering && !c.cut;
    }));
}

void ConnectionTable::SetDeadline(Client &client, Clock::time_point deadline) {
    client.deadline = deadline;
    if (deadline < nextWake_) {
        nextWake_ = deadline;
        wake_.notify_one();
    }
}

void ConnectionTable::CutOff(Client &c, Clock::time_point now) {
    // The descriptor stays the library's: it is only shut here, and the
    // library then finds the connection ended and closes it itself.
    if (c.phase == Client::Phase::Answering || c.cut || c.request.empty()) {
        if (!c.cut && c.phase == Client::Phase::Waiting)
            log_.Request(c.peer, "-", 0, 0, "closed: no whole request in time");
        ::shutdown(c.fd, SHUT_RDWR);
        c.cut = true;
        c.deadline = Forever;
        return;
    }
    // A request that has not come whole in time. Nothing of an answer has
    // gone out on this connection since its last one, so the 408 is all the
    // client reads.
    static const std::string body = "Request Timeout\n";
    static const std::string answer =
        "HTTP/1.1 408 Request Timeout\r\nServer: quorane-listserver\r\n"
        "Content-Type: text/plain; charset=utf-8\r\nContent-Length: " +
        std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    const ssize_t n = ::send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(c.fd, SHUT_WR);
    const ssize_t head = ssize_t(answer.size() - body.size());
    log_.Request(c.peer, c.request, 408, uint64_t(std::max<ssize_t>(0, n - head)),
                 "slow client cut off");
    c.cut = true;
    c.deadline = now + Grace;
}

void ConnectionTable::Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const auto now = Clock::now();
        nextWake_ = Forever;
        for (Client &c : clients_) {
            if (c.deadline <= now)
                CutOff(c, now);
            nextWake_ = std::min(nextWake_, c.deadline);
        }
        if (nextWake_ == Forever)
            wake_.wait(lock);
        else
            wake_.wait_until(lock, nextWake_);
    }
}
