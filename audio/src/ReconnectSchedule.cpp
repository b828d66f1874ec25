#include "ReconnectSchedule.h"

#include "EngineLimits.h"

#include <algorithm>
#include <iterator>

namespace quorane::engine {

std::chrono::milliseconds ReconnectSchedule::nextDelay() {
    constexpr size_t count = std::size(kReconnectDelaysMs);
    auto ms = kReconnectDelaysMs[std::min(next_, count - 1)];
    ++next_;
    return std::chrono::milliseconds(ms);
}

ReconnectSchedule::Clock::time_point ReconnectSchedule::lost(Clock::time_point now) {
    if (!inOutage_) {
        inOutage_ = true;
        outageStart_ = now;
    }
    return now + nextDelay();
}

ReconnectSchedule::Clock::time_point ReconnectSchedule::failed(Clock::time_point now) {
    return now + nextDelay();
}

bool ReconnectSchedule::givenUp(Clock::time_point now) const {
    return inOutage_ && now - outageStart_ >= limit_;
}

void ReconnectSchedule::recovered() {
    inOutage_ = false;
}

void ReconnectSchedule::playedFor(std::chrono::milliseconds played) {
    if (!inOutage_ && played >= std::chrono::milliseconds(kReconnectResetAfterMs))
        next_ = 0;
}

} // namespace quorane::engine
