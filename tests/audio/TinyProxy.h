// Debian's tinyproxy on 127.0.0.1, on a free port, for one test: a real HTTP
// proxy between the engine and the test servers (plain requests and CONNECT).
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace quorane::test {

class TinyProxy {
public:
    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy &) = delete;
    TinyProxy &operator=(const TinyProxy &) = delete;

    static bool installed();
    // Waits until the proxy accepts connections.
    bool ready() const;
    uint16_t port() const { return port_; }
    // The proxy's log of the requests it handled.
    std::string log() const;

private:
    pid_t pid_ = 0;
    uint16_t port_ = 0;
    std::string conf_;
    std::string log_;
};

} // namespace quorane::test
