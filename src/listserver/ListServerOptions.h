#pragma once
// The command line of quorane-listserver:
//   quorane-listserver --root DIR [--listen ADDR:PORT] [--timeout SECONDS]
// DIR holds stations.txt, ver.txt and pending.txt. The server listens on
// 127.0.0.1:8080 unless told otherwise, so that nothing is shared beyond the
// machine by accident; "--listen 0.0.0.0:8080" serves the household's or the
// club's network.
#include <cstdint>
#include <string>

struct ListServerOptions {
    std::string root;
    std::string host = "127.0.0.1";
    uint16_t port = 8080;
    // How long a client may take to send one request.
    int timeoutSeconds = 10;

    // False, with the message for the user, on a command line it cannot use.
    bool Parse(int argc, char **argv, std::string &error);
    static const char Usage[];
};
