// quorane-listserver, the program users run, under the abuse one machine on
// a network can send it: 256 idle connections, a reader that takes its
// time, a flood of 64 KiB posts. Another machine (another loopback address)
// must still get its list within a second meanwhile, and the server's memory
// and pending.txt must stay bounded. Prints each figure against its bound.
//   build/bench/listserver/bench_listserver      (about a minute: a slow
//   reader may hold its connection up to the server's 30 s limit)
#include "BuildPaths.h"
#include "RawHttp.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string Read(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

long StatusKiB(pid_t pid, const std::string &field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0)
            return std::stol(line.substr(field.size() + 1));
    return 0;
}

// The real program on a folder of its own, its log in the folder.
struct Server {
    std::filesystem::path folder;
    pid_t pid = -1;
    uint16_t port = 0;

    explicit Server(const std::filesystem::path &root) : folder(root) {
        const std::string log = (folder / "server.log").string();
        pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlives the bench
            std::freopen(log.c_str(), "w", stderr);
            const std::string program =
                std::string(quorane::test::BuildPath("QUORANE_APPDIR")) + "/quorane-listserver";
            ::execl(program.c_str(), program.c_str(), "--root", folder.c_str(), "--listen",
                    "127.0.0.1:0", static_cast<char *>(nullptr));
            ::_exit(127);
        }
        const std::regex serving("http://127\\.0\\.0\\.1:([0-9]+)/");
        for (int i = 0; i < 200 && port == 0; ++i) {
            std::smatch m;
            const std::string text = Read(log);
            if (std::regex_search(text, m, serving))
                port = uint16_t(std::stoi(m[1].str()));
            else
                std::this_thread::sleep_for(25ms);
        }
    }
    ~Server() {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    std::string Log() const { return Read(folder / "server.log"); }
};

// The whole list as another machine fetches it, and how long that took.
double ListFor(uint16_t port, const std::string &from, size_t expected, bool &whole) {
    const auto start = Clock::now();
    RawHttp client(port, from);
    client.Send(RawHttp::Get("/quorane/stations.txt"));
    const RawHttp::Answer a = client.Receive(false, 10s);
    whole = a.status == 200 && a.body.size() == expected;
    return Seconds(Clock::now() - start);
}

void Report(const char *what, double value, double bound, const char *unit) {
    std::printf("  %-58s %9.3f %-3s = %6.3f of the bound (%g %s)\n", what, value, unit,
                value / bound, bound, unit);
}

} // namespace

int main() {
    std::signal(SIGPIPE, SIG_IGN);
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quorane-bench-listserver-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string list;
    for (int i = 0; list.size() < 6'500'000; ++i)
        list += "Station " + std::to_string(i) + "\tA station of the bench\tPop\tDE\tGerman\t" +
                "http://s" + std::to_string(i) + ".example:8000/live.mp3\t\r\n";
    std::ofstream(folder / "stations.txt", std::ios::binary) << list;
    std::ofstream(folder / "ver.txt") << "1.02";
    int status = 0;
    {
        Server server(folder);
        if (server.port == 0) {
            std::fprintf(stderr, "the list server did not start:\n%s", server.Log().c_str());
            return 2;
        }
        bool whole = false;
        std::printf("quorane-listserver (pid %d) on 127.0.0.1:%u, a %.1f MB list\n", server.pid,
                    server.port, list.size() / 1e6);
        ListFor(server.port, "127.0.0.2", list.size(), whole); // reads the file into memory
        const long rssStart = StatusKiB(server.pid, "VmRSS");
        Report("another machine's list, alone",
               ListFor(server.port, "127.0.0.2", list.size(), whole), 1, "s");

        std::printf("256 idle connections from 127.0.0.1\n");
        std::vector<std::unique_ptr<RawHttp>> idle;
        for (int i = 0; i < 256; ++i)
            idle.push_back(std::make_unique<RawHttp>(server.port, "127.0.0.1"));
        int kept = 0;
        for (auto &c : idle)
            kept += !c->ClosedWithin(50ms);
        Report("connections the server kept of them", kept, 8, "");
        const double underIdle = ListFor(server.port, "127.0.0.2", list.size(), whole);
        Report("another machine's list meanwhile", underIdle, 1, "s");
        status |= !whole || underIdle >= 1 || kept > 8;

        // A reader that barely reads: the kernel's buffers fill, nothing moves
        // for the idle time, and the library ends it (a reader that keeps
        // moving but would take longer than the time limit is cut off then).
        std::printf("a slow reader on 127.0.0.3: 37 KB at once, then 1 KB a second\n");
        const auto slowStart = Clock::now();
        RawHttp slow(server.port, "127.0.0.3", "127.0.0.1", 16 * 1024);
        slow.Send(RawHttp::Get("/quorane/stations.txt"));
        slow.Read(37 * 1024, 5s);
        std::atomic<bool> done{false};
        std::thread reader([&] {
            while (!done && !slow.Closed()) {
                slow.Read(1024, 1s);
                std::this_thread::sleep_for(1s);
            }
        });
        // The server has let go of it once its log line is written; the
        // reader itself sees the reset only after reading what its own
        // socket buffer still holds, at its pace.
        const std::regex slowLine("127\\.0\\.0\\.3:[0-9]+ \"GET [^\"]*\" 200 ([0-9]+) ([^\n]*)");
        double worstMeanwhile = 0, serverLetGo = 0;
        auto lastList = Clock::now() - 1h;
        std::smatch cut;
        std::string log;
        while (serverLetGo == 0 && Clock::now() - slowStart < 90s) {
            if (Clock::now() - lastList >= 2s) {
                lastList = Clock::now();
                worstMeanwhile =
                    std::max(worstMeanwhile, ListFor(server.port, "127.0.0.2", list.size(), whole));
                status |= !whole;
            }
            log = server.Log();
            if (std::regex_search(log, cut, slowLine))
                serverLetGo = Seconds(Clock::now() - slowStart);
            else
                std::this_thread::sleep_for(100ms);
        }
        done = true;
        reader.join();
        Report("the server held the slow reader's connection", serverLetGo, 30, "s");
        Report("another machine's list meanwhile, the slowest of them", worstMeanwhile, 1, "s");
        std::printf("  its log line: %s bytes of %zu reached the reader (%s); it had read %zu\n",
                    cut.empty() ? "?" : cut[1].str().c_str(), list.size(),
                    cut.empty() ? "no line" : cut[2].str().c_str(), slow.Received());
        status |= serverLetGo == 0 || serverLetGo > 31 || worstMeanwhile >= 1;
        idle.clear();

        std::printf("a flood of 64 KiB posts: 100 from 127.0.0.10, then 300 from 127.0.0.11 ... "
                    "25\n");
        const std::string desc(64 * 1024 - 120, 'd');
        std::map<int, int> answers;
        double worstFlood = 0;
        std::atomic<bool> flooding{true};
        std::thread watcher([&] {
            while (flooding) {
                bool ok = false;
                worstFlood =
                    std::max(worstFlood, ListFor(server.port, "127.0.0.2", list.size(), ok));
                std::this_thread::sleep_for(200ms);
            }
        });
        const auto floodStart = Clock::now();
        for (int i = 0; i < 400; ++i) {
            const std::string body = "radio=Flood" + std::to_string(i) +
                                     "&url=http%3A%2F%2Fx.example%2F&genre=g&country=c&lang=l"
                                     "&desc=" +
                                     desc;
            // A hundred from one machine, then twenty each from fifteen more.
            const int machine = i < 100 ? 10 : 11 + (i - 100) / 20;
            RawHttp poster(server.port, "127.0.0." + std::to_string(machine));
            poster.Send(RawHttp::Post("/quorane/add.php", body.substr(0, 64 * 1024)));
            ++answers[poster.Receive(false, 10s).status];
        }
        const double floodTime = Seconds(Clock::now() - floodStart);
        flooding = false;
        watcher.join();
        std::printf("  answers:");
        for (const auto &[code, count] : answers)
            std::printf(" %d x %d", count, code);
        std::printf(" in %.1f s\n", floodTime);
        const double pending = double(std::filesystem::file_size(folder / "pending.txt"));
        Report("pending.txt after the flood", pending / (1024 * 1024), 10, "MiB");
        Report("another machine's list meanwhile, the slowest of them", worstFlood, 1, "s");
        status |= pending > 10 * 1024 * 1024 || worstFlood >= 1;

        std::printf("200 answers on one kept connection\n");
        RawHttp kept1(server.port, "127.0.0.4");
        const auto keptStart = Clock::now();
        for (int i = 0; i < 200; ++i) {
            kept1.Send(RawHttp::Get("/quorane/ver.txt"));
            status |= kept1.Receive().status != 200;
        }
        Report("time per answer (the small-packet delay would be 40 ms)",
               Seconds(Clock::now() - keptStart) / 200 * 1000, 40, "ms");

        const long rssEnd = StatusKiB(server.pid, "VmRSS");
        const long peak = StatusKiB(server.pid, "VmHWM");
        std::printf("the server's memory: %.1f MB with the list read, %.1f MB now, %.1f MB at its "
                    "peak\n",
                    rssStart / 1024.0, rssEnd / 1024.0, peak / 1024.0);
        // What the limits allow: every one of 256 connections with a full
        // head and body in hand (32 KiB of the library's, 64 KiB of body, a
        // 16 KiB block going out), on top of the server with its list.
        const double bound = (rssStart + 256 * (32 + 64 + 16)) / 1024.0;
        Report("its peak against what its limits allow", peak / 1024.0, bound, "MB");
        status |= peak / 1024.0 > bound;
    }
    std::filesystem::remove_all(folder);
    std::printf(status ? "a bound was missed\n" : "every bound held\n");
    return status;
}
