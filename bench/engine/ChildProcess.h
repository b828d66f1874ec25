// A program the benchmark starts, with its output read line by line, and the
// per-process figures compared: CPU time and memory from /proc.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess {
public:
    // Starts argv[0] (searched in PATH) with stdout and stderr on one pipe.
    // extraEnv entries ("NAME=value") are added to the environment.
    ChildProcess(const std::vector<std::string> &argv, const std::vector<std::string> &extraEnv);
    ~ChildProcess(); // SIGTERM, then reaps it (SIGKILL after 3 s)
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    // The next output line, or false at the end of output or the deadline.
    bool readLine(std::string &line, std::chrono::steady_clock::time_point deadline);
    // Waits for the process to exit; returns its exit status or -1.
    int wait(std::chrono::seconds limit);
    void terminate();

    // User + system CPU time so far, in milliseconds.
    double cpuMs() const;
    // The time its threads alive now have spent on a processor, in ms, to
    // the nanosecond (the scheduler's own count): finer than cpuMs, whose
    // clock ticks every 10 ms, but blind to threads that have ended, so it
    // suits a steady process measured between two points.
    double threadsRunMs() const;
    // Context switches of its live threads so far: how often they woke.
    long switches() const;
    // Peak resident memory (VmHWM) in KiB.
    long peakKb() const;
    // Now, in KiB: the proportional set size (each shared page divided among
    // the processes that map it) and the pages no other process shares
    // (private clean + private dirty).
    long pssKb() const;
    long privateKb() const;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
    bool reaped_ = false;
};
