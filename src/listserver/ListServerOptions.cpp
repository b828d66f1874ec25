#include "ListServerOptions.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

const char ListServerOptions::Usage[] =
    "usage: quorane-listserver --root DIR [--listen ADDR:PORT] [--timeout SECONDS]\n"
    "  Serves DIR/stations.txt and DIR/ver.txt under /quorane/, the page /quorane/,\n"
    "  and keeps stations submitted to /quorane/add.php in DIR/pending.txt.\n"
    "  --listen   address and port to listen on (default 127.0.0.1:8080;\n"
    "             0.0.0.0:8080 for every IPv4 network of the machine, :8080 for\n"
    "             IPv4 and IPv6, [::1]:8080 for an IPv6 address); repeat it, or\n"
    "             separate addresses with commas, to listen on several\n"
    "  --timeout  seconds a client may take to send a request, and to read an\n"
    "             answer (default 30)\n";

namespace {

bool Number(const std::string &text, long min, long max, long &out) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    out = std::strtol(text.c_str(), nullptr, 10);
    return out >= min && out <= max;
}

} // namespace

bool ListServerOptions::AddListen(const std::string &value, std::string &error) {
    size_t at = 0;
    do {
        const size_t comma = value.find(',', at);
        const std::string one = value.substr(at, comma - at);
        at = comma == std::string::npos ? comma : comma + 1;
        const size_t colon = one.rfind(':');
        long port = 0;
        if (colon == std::string::npos || !Number(one.substr(colon + 1), 0, 65535, port)) {
            error = "--listen takes ADDR:PORT, such as 127.0.0.1:8080";
            return false;
        }
        std::string host = one.substr(0, colon);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
            host = host.substr(1, host.size() - 2);
        else if (host.find(':') != std::string::npos) {
            error = "--listen takes an IPv6 address in brackets, such as [::1]:8080";
            return false;
        }
        listen.emplace_back(host, uint16_t(port));
    } while (at != std::string::npos);
    return true;
}

bool ListServerOptions::Parse(int argc, char **argv, std::string &error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            error = Usage;
            return false;
        }
        if (arg != "--root" && arg != "--listen" && arg != "--timeout") {
            error = "unknown option \"" + arg + "\"\n" + Usage;
            return false;
        }
        if (i + 1 >= argc) {
            error = arg + " needs a value\n" + Usage;
            return false;
        }
        const std::string value = argv[++i];
        if (arg == "--root") {
            root = value;
        } else if (arg == "--timeout") {
            long seconds = 0;
            if (!Number(value, 1, 3600, seconds)) {
                error = "--timeout takes whole seconds from 1 to 3600";
                return false;
            }
            timeoutSeconds = int(seconds);
        } else if (!AddListen(value, error)) {
            return false;
        }
    }
    if (listen.empty())
        listen.emplace_back("127.0.0.1", 8080);
    if (root.empty()) {
        error = std::string("--root DIR is required\n") + Usage;
        return false;
    }
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0) {
        error = "the folder \"" + root + "\": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "\"" + root + "\" is not a folder";
        return false;
    }
    return true;
}
