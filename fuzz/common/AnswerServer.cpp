#include "AnswerServer.h"

#include "SocketIo.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorane::fuzz {

namespace {
// Bounds that only matter when a reader misbehaves: a client that neither
// reads nor closes must not stall the fuzzer for long.
constexpr auto kSendLimit = std::chrono::seconds(5);
constexpr auto kCloseWait = std::chrono::seconds(5);
} // namespace

AnswerServer::AnswerServer() {
    listenFd_ = test::net::listenOnLoopback("fuzz answer server", 8, &port_);
    thread_ = std::thread(&AnswerServer::Run, this);
}

AnswerServer::~AnswerServer() {
    stop_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
}

void AnswerServer::Serve(std::string answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
}

void AnswerServer::Run() {
    while (!stop_) {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return; // shut down
        }
        std::string answer;
        {
            std::lock_guard lock(mutex_);
            answer = answer_;
        }
        test::net::sendAll(fd, answer, stop_, test::net::Clock::now() + kSendLimit);
        // Half-close, so the client reads the whole answer and then its end;
        // closing outright while its request sits unread would reset it.
        ::shutdown(fd, SHUT_WR);
        const auto deadline = test::net::Clock::now() + kCloseWait;
        std::string dropped;
        while (!stop_ && test::net::Clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 &&
                test::net::receiveSome(fd, dropped) == test::net::Received::Closed)
                break;
            dropped.clear();
        }
        ::close(fd);
    }
}

} // namespace quorane::fuzz
