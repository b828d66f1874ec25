// The engine's bookkeeping on its own: where each announcement belongs in
// the output, and when a lost stream tries again.
#include "EngineLimits.h"
#include "PlaybackTimeline.h"
#include "ReconnectSchedule.h"

#include <gtest/gtest.h>

using namespace quorane::engine;
using namespace std::chrono_literals;
using Kind = PlaybackTimeline::Kind;

namespace {

std::vector<std::string> blocksOf(const std::vector<PlaybackTimeline::Event> &events) {
    std::vector<std::string> out;
    for (const auto &e : events)
        out.push_back(e.kind == Kind::Resumed ? "<resumed>" : e.block);
    return out;
}

TEST(PlaybackTimeline, BlocksWaitForTheFrameTheirByteBecomes) {
    PlaybackTimeline t(16);
    t.addAtByte(1, 1000, "a");
    t.addAtByte(1, 3000, "b");
    // Nothing decoded yet: nothing can be due, however far the output is.
    EXPECT_TRUE(t.takePlayed(1u << 30).empty());
    // The packet holding bytes up to 1500 starts at frame 100: "a" sounds there.
    t.reachedByte(1, 1500, 100);
    EXPECT_TRUE(t.takePlayed(100).empty()); // frame 100 itself not yet played
    EXPECT_EQ(blocksOf(t.takePlayed(101)), std::vector<std::string>{"a"});
    t.reachedByte(1, 2999, 200); // byte 3000 is not in it
    EXPECT_TRUE(t.takePlayed(1000).empty());
    t.reachedByte(1, 3001, 300);
    EXPECT_EQ(blocksOf(t.takePlayed(1000)), std::vector<std::string>{"b"});
    EXPECT_TRUE(t.takePlayed(1000).empty()); // once each
}

TEST(PlaybackTimeline, ConnectionsStayApartAndResumeComesFirst) {
    PlaybackTimeline t(16);
    t.addAtByte(1, 500, "old, never decoded");
    t.dropConnection(1);
    t.addAtByte(2, 100, "new");
    t.reachedByte(1, 1000, 50); // a late word from the old decoder changes nothing
    EXPECT_TRUE(t.takePlayed(1000).empty());
    t.reachedByte(2, 200, 400);
    t.addAtFrame(Kind::Resumed, 400, {}, 7);
    t.addAtFrame(Kind::Meta, 390, "comment");
    auto due = t.takePlayed(1000);
    EXPECT_EQ(blocksOf(due), (std::vector<std::string>{"comment", "<resumed>", "new"}));
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[1].tag, 7u);
}

TEST(PlaybackTimeline, AFloodKeepsOnlyTheNewest) {
    PlaybackTimeline t(4);
    for (int i = 0; i < 10; ++i)
        t.addAtByte(1, static_cast<uint64_t>(i), std::to_string(i));
    t.reachedByte(1, 100, 5);
    EXPECT_EQ(blocksOf(t.takePlayed(6)), (std::vector<std::string>{"6", "7", "8", "9"}));
}

TEST(ReconnectSchedule, PausesGrowThenRepeatWithinTheLimit) {
    ReconnectSchedule s(300s);
    auto t0 = ReconnectSchedule::Clock::time_point{} + 1000s;
    auto at = s.lost(t0);
    std::vector<long long> pauses;
    auto now = t0;
    for (int i = 0; i < 8; ++i) {
        pauses.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count());
        now = at;
        at = s.failed(now);
    }
    EXPECT_EQ(pauses, (std::vector<long long>{500, 1000, 2000, 4000, 8000, 15000, 15000, 15000}));
    EXPECT_FALSE(s.givenUp(t0 + 299s));
    EXPECT_TRUE(s.givenUp(t0 + 300s));
}

TEST(ReconnectSchedule, StartsOverOnlyAfterThirtySecondsOfSound) {
    ReconnectSchedule s(300s);
    auto now = ReconnectSchedule::Clock::time_point{} + 1000s;
    s.lost(now);
    s.failed(now); // two pauses used
    s.recovered();
    s.playedFor(29s);
    // A station that drops again soon backs off further.
    EXPECT_EQ(s.lost(now) - now, 2000ms);
    EXPECT_FALSE(s.givenUp(now + 10s));
    s.recovered();
    s.playedFor(30s);
    EXPECT_EQ(s.lost(now + 60s) - (now + 60s), 500ms);
    // Each outage has its own limit.
    EXPECT_FALSE(s.givenUp(now + 60s + 299s));
    EXPECT_TRUE(s.givenUp(now + 60s + 300s));
}

} // namespace
