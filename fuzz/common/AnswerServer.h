// A one-connection-at-a-time server on 127.0.0.1 for the fuzz targets of the
// network readers: every connection it accepts gets the bytes last given to
// Serve(), then the server ends its side and waits for the client to close.
// The readers thus parse the fuzzer's bytes through a real socket, exactly as
// they would a server's answer. Serve() is called by the fuzzing thread; the
// server's own thread does the rest.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace quorane::fuzz {

class AnswerServer {
public:
    AnswerServer();
    ~AnswerServer();
    AnswerServer(const AnswerServer &) = delete;
    AnswerServer &operator=(const AnswerServer &) = delete;

    uint16_t Port() const { return port_; }
    // The answer for the connections from now on.
    void Serve(std::string answer);

private:
    void Run();

    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;   // guards answer_
    std::string answer_; // what the next connection receives
    std::thread thread_; // accepts and answers, one connection at a time
};

} // namespace quorane::fuzz
