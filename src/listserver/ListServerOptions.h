#pragma once
// The command line of quorane-listserver:
//   quorane-listserver --root DIR [--listen ADDR:PORT[,ADDR:PORT...]]... [--timeout SECONDS]
// DIR holds stations.txt, ver.txt and pending.txt. The server listens on
// 127.0.0.1:8080 unless told otherwise, so that nothing is shared beyond the
// machine by accident; "--listen 0.0.0.0:8080" serves the household's or the
// club's network over IPv4, "--listen :8080" over IPv4 and IPv6, and a name
// serves every address it has ("localhost:8080": 127.0.0.1 and ::1).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ListServerOptions {
    std::string root;
    // Host (without brackets; "" for every address) and port, each to be served.
    std::vector<std::pair<std::string, uint16_t>> listen;
    // How long a client may take to send one request, and to read one answer.
    int timeoutSeconds = 30;

    // False, with the message for the user, on a command line it cannot use.
    bool Parse(int argc, char **argv, std::string &error);
    static const char Usage[];

private:
    bool AddListen(const std::string &value, std::string &error);
};
