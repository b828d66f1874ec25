// A name lookup that never returns (the StallResolver preload, which this
// test program runs under) bounds the open by the answer limit and never
// holds up BASS_StreamFree, also while a reconnect is looking the name up;
// BASS_Free ends an open that waits on one at once.
#include "EngineTestSupport.h"

#include <atomic>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

using StallFn = void(int);
using WaitingFn = int();

StallFn *stallSwitch() {
    return reinterpret_cast<StallFn *>(dlsym(RTLD_DEFAULT, "quorane_resolver_stall"));
}

WaitingFn *waitingCount() {
    return reinterpret_cast<WaitingFn *>(dlsym(RTLD_DEFAULT, "quorane_resolver_waiting"));
}

std::string stalledUrl(const IcyServer &server, const std::string &path) {
    return "http://stall.quorane.test:" + std::to_string(server.port()) + path;
}

class StalledLookup : public ::testing::Test {
protected:
    void SetUp() override {
        stall = stallSwitch();
        ASSERT_NE(stall, nullptr) << "run this program with LD_PRELOAD of the stall resolver";
        stall(0);
    }
    void TearDown() override {
        if (stall)
            stall(0); // lets the lookup threads left behind finish
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 8000);
    }
    StallFn *stall = nullptr;
};

TEST_F(StalledLookup, OpenEndsWithinTheAnswerBound) {
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", false));
    EngineSession engine;
    // The name resolves while the resolver answers...
    DWORD ch = BASS_StreamCreateURL(stalledUrl(server, "/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(BASS_StreamFree(ch));
    // ...and an open whose lookup hangs ends with the answer limit.
    stall(1);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 1500));
    auto result = std::make_shared<std::pair<DWORD, int>>(1, BASS_OK);
    std::string url = stalledUrl(server, "/live");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(finishesWithin(
        [result, url] {
            result->first = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
            result->second = BASS_ErrorGetCode();
        },
        15s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_EQ(result->first, 0u);
    EXPECT_EQ(result->second, BASS_ERROR_TIMEOUT);
    EXPECT_EQ(server.connections("/live"), 1);
}

TEST_F(StalledLookup, FreeDuringAReconnectLookupReturnsAtOnce) {
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", false));
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(stalledUrl(server, "/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    SyncCounter stalls;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_STALL, 0, &SyncCounter::onSync, &stalls), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::this_thread::sleep_for(500ms);
    stall(1);
    server.dropClients();
    ASSERT_TRUE(waitUntil([&] { return stalls.count() == 1; }, 5s));
    std::this_thread::sleep_for(1500ms); // the first attempt is looking the name up
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STALLED);
    EXPECT_TRUE(finishesWithin([ch] { BASS_StreamFree(ch); }, 1s));
    EXPECT_EQ(server.connections("/live"), 1);
}

// A player that exits while a station connects frees the engine; an open
// that waits on a lookup that hangs ends then, not at the answer limit, also
// when the lookup is that of a playlist's entry.
struct OpenAtExit {
    const char *name;
    bool viaPlaylist;
};

class FreeDuringAnOpen : public StalledLookup, public ::testing::WithParamInterface<OpenAtExit> {};

TEST_P(FreeDuringAnOpen, EndsTheOpenAtOnce) {
    WaitingFn *waiting = waitingCount();
    ASSERT_NE(waiting, nullptr);
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", false));
    server.addFile("/radio.pls", "audio/x-scpls",
                   "[playlist]\nFile1=" + stalledUrl(server, "/live") + "\n");
    auto engine = std::make_unique<EngineSession>();
    ASSERT_TRUE(engine->ok());
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 1));
    stall(1);
    const std::string url =
        GetParam().viaPlaylist ? server.url("/radio.pls") : stalledUrl(server, "/live");
    auto result = std::make_shared<std::pair<DWORD, int>>(1, BASS_OK);
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread opener([result, done, url] {
        result->first = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
        result->second = BASS_ErrorGetCode();
        *done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return waiting() == 1; }, 5s));
    EXPECT_FALSE(done->load());
    EXPECT_TRUE(finishesWithin([session = engine.release()] { delete session; }, 1s)); // BASS_Free
    EXPECT_TRUE(waitUntil([&] { return done->load(); }, 1s));
    opener.join(); // at the answer limit (8 s) at worst
    EXPECT_EQ(result->first, 0u);
    EXPECT_EQ(result->second, BASS_ERROR_INIT);
    EXPECT_EQ(server.connections("/live"), 0);
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
}

INSTANTIATE_TEST_SUITE_P(Opens, FreeDuringAnOpen,
                         ::testing::Values(OpenAtExit{"Station", false},
                                           OpenAtExit{"PlaylistEntry", true}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
