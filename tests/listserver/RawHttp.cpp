#include "RawHttp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;

RawHttp::RawHttp(uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0)
        throw std::runtime_error("connect to the list server failed");
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

bool RawHttp::Fill(Clock::time_point until) {
    if (closed_)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0)
        return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
        closed_ = true;
        return false;
    }
    in_.append(buffer, size_t(n));
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

std::string RawHttp::Get(const std::string &path, const std::string &extra) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extra + "\r\n";
}

std::string RawHttp::Post(const std::string &path, const std::string &body,
                          const std::string &type) {
    return "POST " + path + " HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nHost: 127.0.0.1\r\n\r\n" +
           body;
}
