// A name lookup that never returns (the StallResolver preload, which this
// test program runs under) bounds the open by the answer limit and never
// holds up BASS_StreamFree, also while a reconnect is looking the name up.
#include "EngineTestSupport.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

using StallFn = void(int);

StallFn *stallSwitch() {
    return reinterpret_cast<StallFn *>(dlsym(RTLD_DEFAULT, "quorane_resolver_stall"));
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

} // namespace
