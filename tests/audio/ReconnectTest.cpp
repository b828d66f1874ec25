// A station that drops comes back by itself: the server closes, stalls, goes
// away for a while, loses its mount (404), or is gone for good. Each is
// checked through the syncs, BASS_ChannelIsActive and the samples that reach
// the output (SDL's disk driver).
#include "EngineTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

StreamMount liveMount() {
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.metaint = 8000;
    m.titles = {"Live"};
    m.burstBytes = 16000;
    return m;
}

// One stream under watch: its stall and end syncs, its titles and the output.
class Reconnect : public ::testing::Test {
protected:
    void SetUp() override {
        session_ = std::make_unique<EngineSession>();
        ASSERT_TRUE(session_->ok());
    }
    void TearDown() override {
        if (ch)
            BASS_StreamFree(ch);
        BASS_SetConfig(BASS_CONFIG_NET_RECONNECT_LIMIT, 300000);
        session_.reset();
    }
    void play(const std::string &path) {
        ch = BASS_StreamCreateURL(server.url(path).c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_STALL, 0, &SyncCounter::onSync, &stalls), 0u);
        ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::onSync, &ends), 0u);
        ASSERT_NE(meta.attach(ch), 0u);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    }
    bool stallsAre(std::vector<DWORD> want, std::chrono::milliseconds limit) {
        return waitUntil([&] { return stalls.values() == want; }, limit);
    }
    // Seconds of sound the output played since `fromFrame`, in 0.1 s steps.
    double soundSince(size_t fromFrame) {
        std::vector<float> s = disk.left();
        size_t loud = 0;
        const size_t step = kRate / 10;
        for (size_t i = fromFrame; i + step <= s.size(); i += step)
            if (firstSound(std::vector<float>(s.begin() + long(i), s.begin() + long(i + step))) <
                step)
                ++loud;
        return double(loud) / 10;
    }

    IcyServer server;
    DiskOutput disk; // before the session: the driver is chosen at BASS_Init
    std::unique_ptr<EngineSession> session_;
    DWORD ch = 0;
    SyncCounter stalls, ends;
    MetaRecorder meta;
};

TEST_F(Reconnect, ServerClosesTheConnection) {
    StreamMount m = liveMount();
    m.closeAfterBytes = 48000; // every connection carries 3 s of sound
    server.addStream("/live", m);
    play("/live");
    ASSERT_TRUE(stallsAre({1}, 10s)) << stalls.count();
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STALLED);
    ASSERT_TRUE(stallsAre({1, 0}, 10s)) << stalls.count();
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    size_t back = disk.frames();
    std::this_thread::sleep_for(1500ms);
    EXPECT_GE(soundSince(back), 1.2);
    EXPECT_GE(server.connections("/live"), 2);
    // The resumed stream's first title is announced like any other.
    EXPECT_GE(meta.blocks().size(), 2u);
    EXPECT_EQ(ends.count(), 0);
}

TEST_F(Reconnect, ServerStallsForFiveSeconds) {
    StreamMount m = liveMount();
    m.stallAfterBytes = 32000; // 2 s, then the socket stays open and silent
    server.addStream("/live", m);
    play("/live");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(stallsAre({1}, 15s));
    // Not before the server has been silent for 5 s.
    EXPECT_GE(std::chrono::steady_clock::now() - start, 5s);
    ASSERT_TRUE(stallsAre({1, 0}, 10s));
    size_t back = disk.frames();
    std::this_thread::sleep_for(1s);
    EXPECT_GE(soundSince(back), 0.8);
    EXPECT_EQ(server.connections("/live"), 2);
}

TEST_F(Reconnect, ServerDownForThreeSecondsComesBack) {
    server.addStream("/live", liveMount());
    play("/live");
    std::this_thread::sleep_for(1500ms);
    server.setDown(true);
    ASSERT_TRUE(stallsAre({1}, 5s));
    std::this_thread::sleep_for(3s);
    int failed = server.connections("/live");
    server.setDown(false);
    // Attempts after 0.5, 1, 2, 4 s: the one after the server is back plays.
    ASSERT_TRUE(stallsAre({1, 0}, 15s));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    EXPECT_GT(server.connections("/live"), failed);
    size_t back = disk.frames();
    std::this_thread::sleep_for(1s);
    EXPECT_GE(soundSince(back), 0.8);
    EXPECT_EQ(ends.count(), 0);
}

TEST_F(Reconnect, MountMissingForThreeSeconds) {
    server.addStream("/live", liveMount());
    play("/live");
    std::this_thread::sleep_for(1500ms);
    // The source went away: the server drops its listeners and knows the
    // mount no longer.
    server.removeRoute("/live");
    server.dropClients();
    ASSERT_TRUE(stallsAre({1}, 5s));
    std::this_thread::sleep_for(3s);
    server.addStream("/live", liveMount());
    ASSERT_TRUE(stallsAre({1, 0}, 15s));
    // The first connection, at least one 404, and the one that plays.
    EXPECT_GE(server.connections("/live"), 3);
    size_t back = disk.frames();
    std::this_thread::sleep_for(1s);
    EXPECT_GE(soundSince(back), 0.8);
}

TEST_F(Reconnect, DownForGoodEndsAfterTheLimit) {
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_RECONNECT_LIMIT, 2500));
    server.addStream("/live", liveMount());
    play("/live");
    std::this_thread::sleep_for(1s);
    auto lost = std::chrono::steady_clock::now();
    server.setDown(true);
    ASSERT_TRUE(waitUntil([&] { return ends.count() == 1; }, 15s));
    EXPECT_GE(std::chrono::steady_clock::now() - lost, 2500ms);
    EXPECT_EQ(stalls.values(), std::vector<DWORD>{1});
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
    int tried = server.connections("/live");
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(server.connections("/live"), tried) << "attempts after the end";
    EXPECT_EQ(ends.values(), std::vector<DWORD>{1}) << "lost for good, not played to its end";
}

TEST_F(Reconnect, StopEndsTheAttempts) {
    server.addStream("/live", liveMount());
    play("/live");
    std::this_thread::sleep_for(1s);
    server.setDown(true);
    ASSERT_TRUE(stallsAre({1}, 5s));
    ASSERT_TRUE(BASS_ChannelStop(ch));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
    int tried = server.connections("/live");
    server.setDown(false);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(server.connections("/live"), tried) << "reconnected after Stop";
    EXPECT_EQ(stalls.values(), std::vector<DWORD>{1});
    EXPECT_EQ(ends.count(), 0);
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
}

// While an attempt waits on a server that never answers, or answers and
// sends no audio, BASS_StreamFree returns at once.
class ReconnectToADeadServer : public Reconnect, public ::testing::WithParamInterface<bool> {};

TEST_P(ReconnectToADeadServer, FreeReturnsAtOnce) {
    server.addStream("/live", liveMount());
    play("/live");
    std::this_thread::sleep_for(1s);
    if (GetParam()) {
        server.addSilent("/live");
    } else {
        StreamMount mute = liveMount();
        mute.stallAfterBytes = 0;
        server.addStream("/live", mute);
    }
    server.dropClients();
    ASSERT_TRUE(stallsAre({1}, 5s));
    ASSERT_TRUE(waitUntil([&] { return server.connections("/live") == 2; }, 5s));
    std::this_thread::sleep_for(300ms);
    DWORD h = ch;
    ch = 0;
    EXPECT_TRUE(finishesWithin([h] { BASS_StreamFree(h); }, 500ms));
}

INSTANTIATE_TEST_SUITE_P(Servers, ReconnectToADeadServer, ::testing::Values(true, false),
                         [](const auto &info) {
                             return std::string(info.param ? "NeverAnswers" : "SendsNoAudio");
                         });

} // namespace
