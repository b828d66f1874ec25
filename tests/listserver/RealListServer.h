#pragma once
// quorane-listserver's server, serving in-process from a folder of its own
// on 127.0.0.1 on a free port (on the HTTP library's threads), with its log
// kept for the test to read. Stops when destroyed. Shared by the list
// server's own tests and the player's tests against it.
#include "HttpServer.h"
#include "ListService.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

class RealListServer {
public:
    // Serves `root`, or a new temporary folder when it is empty.
    explicit RealListServer(std::string root = std::string(), ServerLimits limits = {},
                            SubmissionLimits submissions = {})
        : ownsRoot_(root.empty()), root_(root.empty() ? MakeFolder() : std::move(root)),
          service_(root_, submissions), log_(std::tmpfile()), server_(service_, limits, log_) {
        std::string error;
        if (!server_.Listen("127.0.0.1", 0, error) || !server_.Start(error))
            throw std::runtime_error("list server: " + error);
    }
    ~RealListServer() {
        server_.Stop();
        std::fclose(log_);
        if (ownsRoot_)
            std::filesystem::remove_all(root_);
    }
    RealListServer(const RealListServer &) = delete;
    RealListServer &operator=(const RealListServer &) = delete;

    uint16_t port() const { return server_.Port(); }
    const std::string &root() const { return root_; }
    std::string Path(const std::string &name) const { return root_ + "/" + name; }

    void Write(const std::string &name, const std::string &bytes) const {
        std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Read(const std::string &name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // What the server logged so far. An answer is logged once it is out,
    // which can be a moment after its client has read it: this waits (up to
    // 5 s) until every answer that started is done.
    std::string Log() {
        for (int i = 0; i < 500 && server_.AnswersGoingOut() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return LogNow();
    }
    // What the server logged so far, without waiting for answers going out.
    std::string LogNow() const {
        std::fflush(log_);
        std::ifstream in("/proc/self/fd/" + std::to_string(::fileno(log_)), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

private:
    static std::string MakeFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quorane-lists-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        return pattern;
    }

    bool ownsRoot_;
    std::string root_;
    ListService service_;
    std::FILE *log_;
    HttpServer server_;
};
