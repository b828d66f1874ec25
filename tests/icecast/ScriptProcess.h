// Runs a helper script (run-icecast.sh) as a child process in a process group
// of its own, with its stdin and stdout on pipes, so a test can read the
// script's KEY=value lines, send it commands, and be sure that everything it
// started is gone at the end. Owned and used by one test thread.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quorane::test {

class ScriptProcess {
public:
    // Starts "bash script args..." under timeout, so that the script ends
    // by itself after `lifetime` even when this test program is killed
    // before its destructor runs; throws std::runtime_error if it cannot.
    ScriptProcess(const std::string &script, const std::vector<std::string> &args,
                  std::chrono::seconds lifetime);
    // Closes the script's stdin (its signal to stop), waits a bounded time,
    // then ends the process group by force.
    ~ScriptProcess();
    ScriptProcess(const ScriptProcess &) = delete;
    ScriptProcess &operator=(const ScriptProcess &) = delete;

    // The next line of output without its newline; false on EOF or guard.
    bool readLine(std::string &line, std::chrono::milliseconds guard);
    // Reads KEY=value lines until one with the key stopKey (included) comes,
    // or an ERROR= line, EOF or the guard.
    std::map<std::string, std::string> readUntil(const std::string &stopKey,
                                                 std::chrono::milliseconds guard);
    void writeLine(const std::string &line);
    // Waits up to guard for the script to end; its exit code, or -1.
    int wait(std::chrono::milliseconds guard);

private:
    pid_t pid_ = -1;
    int in_ = -1;  // the script's stdin
    int out_ = -1; // the script's stdout (and stderr)
    int exitCode_ = -1;
    std::string buffer_;
};

} // namespace quorane::test
