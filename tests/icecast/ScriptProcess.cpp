#include "ScriptProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quorane::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

ScriptProcess::ScriptProcess(const std::string &script, const std::vector<std::string> &args,
                             std::chrono::seconds lifetime) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        throw std::runtime_error("ScriptProcess: pipe failed");
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        throw std::runtime_error("ScriptProcess: pipe failed");
    }
    std::vector<std::string> argv{
        "timeout", "--foreground", "-k", "5", std::to_string(lifetime.count()), "bash", script};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        ::dup2(toChild[0], 0);
        ::dup2(fromChild[1], 1);
        ::dup2(fromChild[1], 2);
        ::execvp("timeout", cargv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
    if (pid_ < 0) {
        ::close(in_);
        ::close(out_);
        throw std::runtime_error("ScriptProcess: fork failed");
    }
    // Also from the parent, so the group exists before any kill below.
    ::setpgid(pid_, pid_);
    ::signal(SIGPIPE, SIG_IGN);
}

ScriptProcess::~ScriptProcess() {
    if (in_ >= 0)
        ::close(in_);
    if (wait(15s) < 0 && exitCode_ < 0) {
        ::kill(-pid_, SIGTERM);
        if (wait(5s) < 0) {
            ::kill(-pid_, SIGKILL);
            wait(5s);
        }
    }
    ::close(out_);
}

bool ScriptProcess::readLine(std::string &line, std::chrono::milliseconds guard) {
    const auto deadline = Clock::now() + guard;
    for (;;) {
        const size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{out_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char chunk[1024];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        buffer_.append(chunk, static_cast<size_t>(n));
    }
}

std::map<std::string, std::string> ScriptProcess::readUntil(const std::string &stopKey,
                                                            std::chrono::milliseconds guard) {
    std::map<std::string, std::string> values;
    const auto deadline = Clock::now() + guard;
    std::string line;
    while (readLine(
        line, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()))) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        values[key] = line.substr(eq + 1);
        if (key == stopKey || key == "ERROR")
            break;
    }
    return values;
}

void ScriptProcess::writeLine(const std::string &line) {
    const std::string text = line + "\n";
    if (::write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("ScriptProcess: the script no longer reads its input");
}

int ScriptProcess::wait(std::chrono::milliseconds guard) {
    if (exitCode_ >= 0)
        return exitCode_;
    const auto deadline = Clock::now() + guard;
    while (Clock::now() < deadline) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        if (r < 0)
            return -1;
        std::this_thread::sleep_for(50ms);
    }
    return -1;
}

} // namespace quorane::test
