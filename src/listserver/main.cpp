// quorane-listserver: the list server a household or a club runs to share
// its station list with Quorane (see README.md). Stops on SIGTERM or SIGINT.
#include "HttpServer.h"
#include "ListServerOptions.h"
#include "ListService.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// The server's stop pipe, for the signal handler.
volatile sig_atomic_t g_stopFd = -1;

void OnSignal(int) {
    const char byte = 1;
    if (g_stopFd >= 0) [[maybe_unused]]
        const ssize_t n = ::write(g_stopFd, &byte, 1);
}

} // namespace

int main(int argc, char **argv) {
    ListServerOptions options;
    std::string error;
    if (!options.Parse(argc, argv, error)) {
        std::fprintf(stderr, "quorane-listserver: %s\n", error.c_str());
        return 2;
    }
    ListService service(options.root);
    ServerLimits limits;
    limits.requestTimeoutMs = options.timeoutSeconds * 1000;
    HttpServer server(service, limits, stderr);
    if (!server.Listen(options.host, options.port, error)) {
        std::fprintf(stderr, "quorane-listserver: cannot listen on %s\n", error.c_str());
        return 1;
    }
    g_stopFd = server.StopFd();
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::fprintf(stderr, "quorane-listserver: serving %s on http://%s/quorane/\n",
                 options.root.c_str(), server.Address().c_str());
    std::fflush(stderr);
    server.Run();
    std::fprintf(stderr, "quorane-listserver: stopped\n");
    return 0;
}
