#pragma once
// Follows what SDL's disk driver writes (stereo 32-bit float at real-time
// pace) from a given offset on, on a thread of its own, and notes the moment
// the first non-silent sample appears. Created and read by the main thread;
// the watcher thread only writes `heard_`.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class FirstSoundWatch {
public:
    using Clock = std::chrono::steady_clock;
    // Starts reading `file` at its current end.
    explicit FirstSoundWatch(std::string file);
    ~FirstSoundWatch(); // stops and joins the thread
    FirstSoundWatch(const FirstSoundWatch &) = delete;
    FirstSoundWatch &operator=(const FirstSoundWatch &) = delete;

    // True once a sample louder than the threshold was written.
    bool heard() const { return heard_.load(); }
    // When that happened (valid once heard()).
    Clock::time_point heardAt() const { return heardAt_; }

private:
    void run(long offset);

    std::string file_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> heard_{false};
    Clock::time_point heardAt_{}; // written before heard_ is set
    std::thread thread_;
};
