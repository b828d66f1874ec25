#include "SubmissionRate.h"

namespace {
constexpr auto Window = std::chrono::seconds(60);
}

void SubmissionRate::Forget(Clock::time_point now) {
    for (auto it = recent_.begin(); it != recent_.end();) {
        if (it->second.empty() || now - it->second.back() >= Window)
            it = recent_.erase(it);
        else
            ++it;
    }
}

bool SubmissionRate::Take(const std::string &address, int &retryAfterSeconds,
                          Clock::time_point now) {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto it = recent_.find(address);
    if (it == recent_.end()) {
        if (recent_.size() >= MaxAddresses)
            Forget(now);
        if (recent_.size() >= MaxAddresses) {
            retryAfterSeconds = 60;
            return false;
        }
        it = recent_.emplace(address, std::deque<Clock::time_point>()).first;
    }
    std::deque<Clock::time_point> &times = it->second;
    while (!times.empty() && now - times.front() >= Window)
        times.pop_front();
    if (int(times.size()) >= perMinute_) {
        const auto wait = Window - (now - times.front());
        retryAfterSeconds = int(std::chrono::ceil<std::chrono::seconds>(wait).count());
        return false;
    }
    times.push_back(now);
    return true;
}
