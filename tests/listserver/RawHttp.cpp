#include "RawHttp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

namespace {

// A numeric address and port as a socket address; false when not numeric.
bool Address(const std::string &host, uint16_t port, sockaddr_storage &out, socklen_t &length) {
    out = {};
    auto &four = reinterpret_cast<sockaddr_in &>(out);
    auto &six = reinterpret_cast<sockaddr_in6 &>(out);
    if (::inet_pton(AF_INET, host.c_str(), &four.sin_addr) == 1) {
        four.sin_family = AF_INET;
        four.sin_port = htons(port);
        length = sizeof four;
        return true;
    }
    if (::inet_pton(AF_INET6, host.c_str(), &six.sin6_addr) == 1) {
        six.sin6_family = AF_INET6;
        six.sin6_port = htons(port);
        length = sizeof six;
        return true;
    }
    return false;
}

} // namespace

RawHttp::RawHttp(uint16_t port, const std::string &from, const std::string &to, int receiveBuffer) {
    sockaddr_storage addr{}, source{};
    socklen_t length = 0, sourceLength = 0;
    if (!Address(to, port, addr, length))
        throw std::runtime_error("not a numeric address: " + to);
    fd_ = ::socket(addr.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (!from.empty() && (!Address(from, 0, source, sourceLength) ||
                          ::bind(fd_, reinterpret_cast<sockaddr *>(&source), sourceLength) != 0)) {
        ::close(fd_);
        throw std::runtime_error("cannot connect from " + from);
    }
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&addr), length) != 0) {
        ::close(fd_);
        throw std::runtime_error("connect to the list server failed");
    }
}

RawHttp::~RawHttp() {
    ::close(fd_);
}

bool RawHttp::Send(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

void RawHttp::Finish() {
    ::shutdown(fd_, SHUT_WR);
}

bool RawHttp::Fill(Clock::time_point until, size_t most) {
    if (closed_)
        return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0)
        return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, most), 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    in_.append(buffer, size_t(n));
    received_ += size_t(n);
    return true;
}

std::string RawHttp::Answer::Header(const std::string &name) const {
    size_t at = head.find("\r\n");
    while (at != std::string::npos && at + 2 < head.size()) {
        const size_t end = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, end - at - 2);
        const size_t colon = line.find(':');
        if (colon != std::string::npos &&
            ::strcasecmp(line.substr(0, colon).c_str(), name.c_str()) == 0)
            return line.substr(line.find_first_not_of(' ', colon + 1));
        at = end;
    }
    return std::string();
}

RawHttp::Answer RawHttp::Receive(bool headOnly, std::chrono::milliseconds guard) {
    const auto until = Clock::now() + guard;
    Answer a;
    size_t end;
    while ((end = in_.find("\r\n\r\n")) == std::string::npos)
        if (!Fill(until))
            return a;
    a.head = in_.substr(0, end + 4);
    in_.erase(0, end + 4);
    a.status = std::stoi(a.head.substr(9, 3));
    const size_t length = headOnly ? 0 : std::stoul("0" + a.Header("Content-Length"));
    while (in_.size() < length)
        if (!Fill(until))
            break;
    a.body = in_.substr(0, length);
    in_.erase(0, a.body.size());
    return a;
}

bool RawHttp::ClosedWithin(std::chrono::milliseconds guard) {
    const auto until = Clock::now() + guard;
    while (!closed_ && Clock::now() < until)
        Fill(until);
    return closed_;
}

size_t RawHttp::Read(size_t bytes, std::chrono::milliseconds guard) {
    const auto until = Clock::now() + guard;
    while (in_.size() < bytes && Fill(until, bytes - in_.size())) {
    }
    const size_t got = std::min(bytes, in_.size());
    in_.erase(0, got);
    return got;
}

bool RawHttp::HasIpv6Loopback() {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 addr{};
    addr.sin6_family = AF_INET6;
    addr.sin6_addr = in6addr_loopback;
    const bool ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok;
}

std::string RawHttp::Get(const std::string &path, const std::string &extra) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

std::string RawHttp::Post(const std::string &path, const std::string &body,
                          const std::string &type) {
    return "POST " + path + " HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nHost: 127.0.0.1\r\n\r\n" +
           body;
}
