#include "ChildProcess.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

ChildProcess::ChildProcess(const std::vector<std::string> &argv,
                           const std::vector<std::string> &extraEnv) {
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], 1);
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        setpgid(0, 0); // its own group, so terminate() reaches its children too
        for (const std::string &e : extraEnv)
            putenv(strdup(e.c_str()));
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
}

ChildProcess::~ChildProcess() {
    terminate();
    wait(std::chrono::seconds(3));
    if (!reaped_ && pid_ > 0) {
        kill(-pid_, SIGKILL);
        wait(std::chrono::seconds(3));
    }
    if (out_ >= 0)
        close(out_);
}

bool ChildProcess::readLine(std::string &line, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        size_t nl = pending_.find('\n');
        if (nl != std::string::npos) {
            line = pending_.substr(0, nl);
            pending_.erase(0, nl + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || out_ < 0)
            return false;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        char buf[4096];
        ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0)
            return false;
        pending_.append(buf, static_cast<size_t>(n));
    }
}

int ChildProcess::wait(std::chrono::seconds limit) {
    if (pid_ <= 0 || reaped_)
        return -1;
    auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        // Keep draining output so the child never blocks on a full pipe.
        char buf[4096];
        pollfd p{out_, POLLIN, 0};
        if (out_ >= 0 && poll(&p, 1, 50) > 0) {
            ssize_t n = read(out_, buf, sizeof buf);
            if (n > 0)
                pending_.append(buf, static_cast<size_t>(n));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return -1;
}

void ChildProcess::terminate() {
    if (pid_ > 0 && !reaped_)
        kill(-pid_, SIGTERM);
}

double ChildProcess::cpuMs() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')'); // the command name may hold spaces
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoul(field);
        if (i == 15)
            stime = std::stoul(field);
    }
    return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double ChildProcess::threadsRunMs() const {
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    unsigned long long ns = 0;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream in(tasks + "/" + entry->d_name + "/schedstat");
        unsigned long long onCpu = 0;
        if (in >> onCpu)
            ns += onCpu;
    }
    closedir(dir);
    return double(ns) / 1e6;
}

namespace {

// The KiB figure of `field` ("VmHWM:") in a /proc file, or -1.
long procField(const std::string &path, const std::string &field) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(field.size()));
    return -1;
}

} // namespace

long ChildProcess::switches() const {
    const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
    DIR *dir = opendir(tasks.c_str());
    if (!dir)
        return -1;
    long total = 0;
    while (dirent *e = readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string status = tasks + "/" + e->d_name + "/status";
        total += std::max(0L, procField(status, "voluntary_ctxt_switches:")) +
                 std::max(0L, procField(status, "nonvoluntary_ctxt_switches:"));
    }
    closedir(dir);
    return total;
}

long ChildProcess::peakKb() const {
    return procField("/proc/" + std::to_string(pid_) + "/status", "VmHWM:");
}

long ChildProcess::pssKb() const {
    return procField("/proc/" + std::to_string(pid_) + "/smaps_rollup", "Pss:");
}

long ChildProcess::privateKb() const {
    std::string path = "/proc/" + std::to_string(pid_) + "/smaps_rollup";
    long clean = procField(path, "Private_Clean:"), dirty = procField(path, "Private_Dirty:");
    return clean < 0 || dirty < 0 ? -1 : clean + dirty;
}
