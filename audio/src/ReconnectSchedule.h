// When a stream that lost its connection tries again, and when it gives up:
// the pauses of kReconnectDelaysMs one after another (the last repeating),
// for at most `limit` from the start of the outage. The pauses start over
// only once sound has played for kReconnectResetAfterMs, so a station that
// keeps dropping backs off. Pure arithmetic on the times it is given; used by
// the stream's control thread only.
#pragma once

#include <chrono>
#include <cstddef>

namespace quorane::engine {

class ReconnectSchedule {
public:
    using Clock = std::chrono::steady_clock;

    explicit ReconnectSchedule(std::chrono::milliseconds limit) : limit_(limit) {}

    // The connection was lost at `now`: starts an outage (if none runs) and
    // returns when the first attempt is due.
    Clock::time_point lost(Clock::time_point now);
    // An attempt failed at `now`: when the next is due.
    Clock::time_point failed(Clock::time_point now);
    // True once the outage has lasted longer than the limit.
    bool givenUp(Clock::time_point now) const;
    // Sound is back: the outage is over (the pauses go on where they were).
    void recovered();
    // Sound has played without a break for `played` since it came back.
    void playedFor(std::chrono::milliseconds played);

    size_t attempts() const { return next_; }

private:
    std::chrono::milliseconds nextDelay();

    const std::chrono::milliseconds limit_;
    size_t next_ = 0; // index of the next pause
    bool inOutage_ = false;
    Clock::time_point outageStart_{};
};

} // namespace quorane::engine
