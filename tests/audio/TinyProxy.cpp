#include "TinyProxy.h"

#include "EngineTestSupport.h"

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace quorane::test {

using namespace std::chrono_literals;

bool TinyProxy::installed() {
    return access("/usr/bin/tinyproxy", X_OK) == 0;
}

TinyProxy::TinyProxy() {
    port_ = closedPort();
    std::string stem =
        "/tmp/quorane-tinyproxy-" + std::to_string(getpid()) + "-" + std::to_string(port_);
    conf_ = stem + ".conf";
    log_ = stem + ".log";
    std::ofstream(conf_) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\n"
                         << "MaxClients 8\nAllow 127.0.0.1\nLogLevel Connect\nLogFile \"" << log_
                         << "\"\n";
    // Under timeout, so that it stops by itself even when this test program
    // is killed before the destructor runs; timeout hands the destructor's
    // SIGTERM on to it.
    std::vector<std::string> args{"timeout", "--foreground", "-k", "5", "300", "/usr/bin/tinyproxy",
                                  "-d",      "-c",           conf_};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, "timeout", nullptr, nullptr, argv.data(), environ) != 0)
        pid_ = 0;
}

TinyProxy::~TinyProxy() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    std::remove(conf_.c_str());
    std::remove(log_.c_str());
}

bool TinyProxy::ready() const {
    return pid_ > 0 && waitUntil(
                           [&] {
                               int fd = socket(AF_INET, SOCK_STREAM, 0);
                               sockaddr_in a{};
                               a.sin_family = AF_INET;
                               a.sin_port = htons(port_);
                               a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                               bool ok =
                                   connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
                               close(fd);
                               return ok;
                           },
                           10s);
}

std::string TinyProxy::log() const {
    std::ifstream in(log_);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace quorane::test
