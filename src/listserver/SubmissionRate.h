#pragma once
// How often one address may submit a station: at most `perMinute` within
// any 60 seconds, so that one machine cannot fill pending.txt for the
// whole network. It remembers only addresses that submitted within the
// last minute, at most MaxAddresses of them; past that a new address waits
// like one over its count, so a flood from many addresses costs bounded
// memory too. Shared by the server's threads; thread-safe.
#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

class SubmissionRate {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t MaxAddresses = 16384;

    explicit SubmissionRate(int perMinute) : perMinute_(perMinute) {}

    // True when `address` may submit at `now`, and the submission counts;
    // false with the whole seconds until it may again.
    bool Take(const std::string &address, int &retryAfterSeconds, Clock::time_point now);
    bool Take(const std::string &address, int &retryAfterSeconds) {
        return Take(address, retryAfterSeconds, Clock::now());
    }

private:
    // Drops every address with nothing in the last minute.
    void Forget(Clock::time_point now);

    std::mutex mutex_;
    const int perMinute_;
    // Per address, the times of its submissions within the last minute, oldest first.
    std::unordered_map<std::string, std::deque<Clock::time_point>> recent_;
};
