#include "BenchIcecast.h"

#include "BuildPaths.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

BenchIcecast startBenchIcecast(int seconds, const std::vector<std::string> &extra) {
    BenchIcecast s;
    std::vector<std::string> argv{"bash",        quorane::test::BuildPath("QUORANE_ICECAST_SCRIPT"),
                                  "--seconds",   std::to_string(seconds),
                                  "--mount",     "/x.mp3",
                                  "--name",      "Quorane Bench",
                                  "--frequency", "1000"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    s.process = std::make_unique<ChildProcess>(argv, std::vector<std::string>{});
    std::string line;
    while (s.process->readLine(line, Clock::now() + 30s)) {
        if (line.rfind("URL=", 0) == 0)
            s.url = line.substr(4);
        if (line.rfind("ADMIN_METADATA_URL=", 0) == 0)
            s.adminMetadataUrl = line.substr(19);
        if (line.rfind("ADMIN_PASSWORD=", 0) == 0)
            s.adminPassword = line.substr(15);
        if (line.rfind("ERROR=", 0) == 0) {
            std::fprintf(stderr, "icecast: %s\n", line.c_str());
            s.failure = line.find("not installed") != std::string::npos ? 77 : 1;
            return s;
        }
        if (line == "READY=1")
            break;
    }
    if (s.url.empty()) {
        std::fprintf(stderr, "icecast did not start\n");
        s.failure = 1;
        return s;
    }
    // Let Icecast collect a full burst, as a station that has been on air.
    std::this_thread::sleep_for(5s);
    return s;
}

double curlFirstByte(const std::string &url) {
    const std::string cmd =
        "curl -s -o /dev/null --max-time 2 -w '%{time_starttransfer}' '" + url + "'";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    char out[64] = {0};
    const size_t n = std::fread(out, 1, sizeof out - 1, p);
    pclose(p);
    return n > 0 ? std::atof(out) * 1000 : -1;
}

double median(std::vector<double> runs) {
    if (runs.empty())
        return -1;
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}
