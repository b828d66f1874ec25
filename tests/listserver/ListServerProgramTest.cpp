// The quorane-listserver program itself, as a household starts it: from the
// application folder, on a folder of lists, stopped by SIGTERM.
#include "BuildPaths.h"
#include "RawHttp.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const std::string Program =
    std::string(quorane::test::BuildPath("QUORANE_APPDIR")) + "/quorane-listserver";

// The program as a child with its standard error on a pipe.
struct Child {
    pid_t pid = -1;
    int err = -1;
    std::string output;

    explicit Child(std::vector<std::string> args) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], 2);
            ::close(fds[0]);
            // Under timeout, so that it stops by itself even when this test
            // program is killed first; timeout hands SIGTERM on to it.
            std::vector<std::string> bounded{"timeout", "--foreground", "-k", "5", "120", Program};
            bounded.insert(bounded.end(), args.begin(), args.end());
            std::vector<char *> argv;
            for (auto &a : bounded)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execvp("timeout", argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        err = fds[0];
    }
    ~Child() {
        if (pid > 0) {
            // SIGTERM, which timeout hands on (and follows with SIGKILL 5 s
            // later): a SIGKILL would end timeout alone.
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        ::close(err);
    }
    // Reads standard error until `pattern` turns up or 20 s passed.
    std::smatch WaitFor(const std::regex &pattern) {
        std::smatch m;
        const auto until = std::chrono::steady_clock::now() + 20s;
        char buffer[4096];
        while (!std::regex_search(output, m, pattern) && std::chrono::steady_clock::now() < until) {
            pollfd p{err, POLLIN, 0};
            if (::poll(&p, 1, 100) > 0) {
                const ssize_t n = ::read(err, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                output.append(buffer, size_t(n));
            }
        }
        std::regex_search(output, m, pattern);
        return m;
    }
    // The exit status, waiting at most 10 s; -1 when it did not end.
    int Exit() {
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(100ms);
        }
        return -1;
    }
};

} // namespace

TEST(ListServerProgram, ServesAFolderLogsEachRequestAndStopsOnSigterm) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("quorane-program-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "ver.txt") << "1.02";
    {
        Child child({"--root", folder.string(), "--listen", "127.0.0.1:0"});
        const std::smatch m = child.WaitFor(std::regex("http://127\\.0\\.0\\.1:([0-9]+)/quorane/"));
        ASSERT_FALSE(m.empty()) << child.output;
        const auto port = uint16_t(std::stoi(m[1].str()));
        RawHttp client(port);
        client.Send(RawHttp::Get("/quorane/ver.txt"));
        EXPECT_EQ(client.Receive().body, "1.02");
        EXPECT_FALSE(child.WaitFor(std::regex("\"GET /quorane/ver.txt HTTP/1.1\" 200 4")).empty())
            << child.output;
        ::kill(child.pid, SIGTERM);
        EXPECT_EQ(child.Exit(), 0);
    }
    if (RawHttp::HasIpv6Loopback()) {
        // Several addresses, IPv4 and IPv6, on one free port.
        Child child({"--root", folder.string(), "--listen", "127.0.0.1:0,[::1]:0"});
        const std::smatch m = child.WaitFor(
            std::regex("http://127\\.0\\.0\\.1:([0-9]+)/quorane/ and http://\\[::1\\]:([0-9]+)/"));
        ASSERT_FALSE(m.empty()) << child.output;
        EXPECT_EQ(m[1].str(), m[2].str());
        for (const char *to : {"127.0.0.1", "::1"}) {
            RawHttp client(uint16_t(std::stoi(m[1].str())), "", to);
            client.Send(RawHttp::Get("/quorane/ver.txt"));
            EXPECT_EQ(client.Receive().body, "1.02") << to;
        }
        ::kill(child.pid, SIGINT);
        EXPECT_EQ(child.Exit(), 0);
    }
    {
        // A folder that is not there, and a bad address: a message, no server.
        Child child({"--root", (folder / "missing").string()});
        EXPECT_EQ(child.Exit(), 2);
        EXPECT_FALSE(child.WaitFor(std::regex("No such file or directory")).empty());
        for (const char *address : {"127.0.0.1", "::1:8080", "127.0.0.1:8080,"}) {
            Child bad({"--root", folder.string(), "--listen", address});
            EXPECT_EQ(bad.Exit(), 2) << address;
        }
    }
    std::filesystem::remove_all(folder);
}
