// The proxy that new streams connect through, from the player's 8-bit text
// "[login:password@]host:port" (the login part optional).
#pragma once

#include <string>

namespace quorane::engine {

struct ProxySetting {
    std::string hostPort; // "host:port"; empty = connect directly
    std::string userPwd;  // "login:password"; empty = no proxy login

    bool enabled() const { return !hostPort.empty(); }
    // Accepts "host:port", "login:password@host:port" and the same with the
    // login part in square brackets; null or empty text means no proxy.
    static ProxySetting parse(const char *text);
};

} // namespace quorane::engine
