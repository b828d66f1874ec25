// The engine's life cycle, settings and the contract of every entry point the
// player looks up, including the ones Quorane's engine does not offer.
#include "EngineTestSupport.h"
#include "ProxySetting.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quorane::test;

namespace {

// Calls an entry point with every argument zero or null.
template <typename R, typename... A> R callWithZeros(R (*fn)(A...)) {
    return fn(A{}...);
}

template <typename R> bool sameValue(R a, R b) {
    if constexpr (std::is_floating_point_v<R>)
        return a == b || (std::isnan(a) && std::isnan(b));
    else
        return a == b;
}

TEST(EngineApi, EntryPointsNotOfferedFailWithNotAvailable) {
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    int checked = 0, offered = 0;
#define QUORANE_CHECK_0(ret, name, fail)                                                           \
    {                                                                                              \
        BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 8000); /* leaves BASS_OK behind */                 \
        ret result = callWithZeros(&name);                                                         \
        EXPECT_TRUE(sameValue<ret>(result, (ret)(fail))) << #name;                                 \
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL) << #name;                              \
        ++checked;                                                                                 \
    }
#define QUORANE_CHECK_1(ret, name, fail) ++offered;
#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented)                                   \
    QUORANE_CHECK_##implemented(ret, name, fail)
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY
    // The player looks up 98 names; 20 of them make up the engine proper
    // (BASS_ChannelSetTap, the recorder's, among them).
    EXPECT_EQ(offered, 20);
    EXPECT_EQ(checked + offered, 98);
}

TEST(EngineApi, VersionAndLifeCycle) {
    EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
    // Nothing plays before BASS_Init.
    EXPECT_EQ(BASS_StreamCreateURL("http://127.0.0.1:9/", 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_TRUE(BASS_Free());
    // The second release, as the player's shutdown does it, is harmless.
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);

    // Device 0 is the silent output; the engine can start again after Free.
    ASSERT_TRUE(BASS_Init(0, 48000, 0, nullptr, nullptr));
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Init(-1, 100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST(EngineApi, ErrorCodesBelongToTheCallingThread) {
    EXPECT_FALSE(BASS_StreamFree(0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    int other = -2;
    std::thread([&] {
        BASS_GetVersion();
        other = BASS_ErrorGetCode();
    }).join();
    EXPECT_EQ(other, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST(EngineApi, UnknownHandlesAreHarmless) {
    EngineSession engine;
    for (DWORD h : {0u, 1u, 0x10001u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(BASS_StreamFree(h));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
        EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
        EXPECT_FALSE(BASS_ChannelStop(h));
        EXPECT_EQ(BASS_ChannelIsActive(h), (DWORD)BASS_ACTIVE_STOPPED);
        EXPECT_EQ(BASS_ChannelGetTags(h, BASS_TAG_META), nullptr);
        EXPECT_EQ(BASS_StreamGetFilePosition(h, BASS_FILEPOS_END), 0xFFFFFFFFFFFFFFFFull);
        EXPECT_EQ(BASS_ChannelSetSync(h, BASS_SYNC_META, 0, nullptr, nullptr), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
}

TEST(EngineApi, SettingsAndVolume) {
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_TIMEOUT), 8000u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_RECONNECT_LIMIT), 300000u);
    EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 2));
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_NET_PLAYLIST), 2u);
    EXPECT_FALSE(BASS_SetConfig(9999, 1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    // The proxy text is a pointer: only the pointer form takes it.
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_NET_PROXY, 1));

    char proxy[] = "user:pw@127.0.0.1:3128";
    EXPECT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, proxy));
    proxy[0] = 'X'; // copied during the call
    auto *kept = static_cast<const char *>(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY));
    ASSERT_NE(kept, nullptr);
    EXPECT_STREQ(kept, "user:pw@127.0.0.1:3128");
    EXPECT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, ""));
    EXPECT_EQ(BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY), nullptr);
    EXPECT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, nullptr));

    EngineSession engine;
    EXPECT_TRUE(BASS_SetVolume(0.5f));
    EXPECT_FLOAT_EQ(BASS_GetVolume(), 0.5f);
    for (float bad : {-0.01f, 1.01f, std::nanf("")}) {
        EXPECT_FALSE(BASS_SetVolume(bad));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    }
    EXPECT_FLOAT_EQ(BASS_GetVolume(), 0.5f);
    EXPECT_TRUE(BASS_SetVolume(1.0f));
}

TEST(EngineApi, PluginsAreRecognisedButNeverLoaded) {
    EXPECT_EQ(BASS_PluginLoad("/nonexistent/plugins/libbassflac.so", 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    char path[] = "/tmp/quorane-plugin-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_EQ(BASS_PluginLoad(path, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    std::remove(path);
}

TEST(ProxySetting, ReadsEveryAcceptedForm) {
    using quorane::engine::ProxySetting;
    auto p = ProxySetting::parse("proxy.lan:8080");
    EXPECT_EQ(p.hostPort, "proxy.lan:8080");
    EXPECT_EQ(p.userPwd, "");
    p = ProxySetting::parse("bob:s3cr@t@proxy.lan:8080");
    EXPECT_EQ(p.hostPort, "proxy.lan:8080");
    EXPECT_EQ(p.userPwd, "bob:s3cr@t");
    p = ProxySetting::parse("[bob:pw]@10.0.0.1:3128");
    EXPECT_EQ(p.hostPort, "10.0.0.1:3128");
    EXPECT_EQ(p.userPwd, "bob:pw");
    EXPECT_FALSE(ProxySetting::parse("").enabled());
    EXPECT_FALSE(ProxySetting::parse("   ").enabled());
    EXPECT_FALSE(ProxySetting::parse(nullptr).enabled());
    EXPECT_FALSE(ProxySetting::parse("bob:pw@").enabled());
}

} // namespace
