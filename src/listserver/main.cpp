// quorane-listserver: the list server a household or a club runs to share
// its station list with Quorane (see README.md). Stops on SIGTERM or SIGINT.
#include "HttpServer.h"
#include "ListServerOptions.h"
#include "ListService.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char **argv) {
    ListServerOptions options;
    std::string error;
    if (!options.Parse(argc, argv, error)) {
        std::fprintf(stderr, "quorane-listserver: %s\n", error.c_str());
        return 2;
    }
    // Blocked before any thread starts, so that every thread of the server
    // leaves them to the wait below.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ListService service(options.root);
    ServerLimits limits;
    limits.requestTimeoutMs = options.timeoutSeconds * 1000;
    HttpServer server(service, limits, stderr);
    for (const auto &[host, port] : options.listen) {
        if (!server.Listen(host, port, error)) {
            std::fprintf(stderr, "quorane-listserver: cannot listen on %s\n", error.c_str());
            return 1;
        }
    }
    if (!server.Start(error)) {
        std::fprintf(stderr, "quorane-listserver: %s\n", error.c_str());
        return 1;
    }
    std::string where;
    for (const std::string &address : server.Addresses())
        where += (where.empty() ? "" : " and ") + ("http://" + address + "/quorane/");
    std::fprintf(stderr, "quorane-listserver: serving %s on %s\n", options.root.c_str(),
                 where.c_str());
    std::fflush(stderr);
    int signal = 0;
    while (::sigwait(&stop, &signal) != 0) {
    }
    server.Stop();
    std::fprintf(stderr, "quorane-listserver: stopped\n");
    return 0;
}
