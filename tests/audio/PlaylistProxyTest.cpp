// Station URLs that lead to the stream indirectly: playlists, redirects and a
// proxy between Quorane and the server.
#include "EngineTestSupport.h"
#include "TinyProxy.h"

#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

DWORD open(const std::string &url) {
    return BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
}

std::vector<std::string> headersOf(DWORD ch) {
    const char *icy = BASS_ChannelGetTags(ch, BASS_TAG_ICY);
    return tagLines(icy ? icy : BASS_ChannelGetTags(ch, BASS_TAG_HTTP));
}

bool has(const std::vector<std::string> &lines, const std::string &line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class Playlists : public ::testing::Test {
protected:
    void SetUp() override {
        server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", true));
        ASSERT_TRUE(engine.ok());
        BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 2);
    }
    void TearDown() override { BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0); }
    IcyServer server;
    EngineSession engine;
};

TEST_F(Playlists, PlsOpensItsFirstEntryThatPlays) {
    server.addFile("/radio.pls", "audio/x-scpls",
                   "[playlist]\r\nNumberOfEntries=3\r\nFile1=" + server.url("/gone") +
                       "\r\nFile2=" + server.url("/live") + "\r\nFile3=" + server.url("/spare") +
                       "\r\nVersion=2\r\n");
    DWORD ch = open(server.url("/radio.pls"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_TRUE(has(headersOf(ch), "icy-name:Quorane Test FM"));
    EXPECT_EQ(server.connections("/live"), 1);
    EXPECT_EQ(server.connections("/spare"), 0);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_F(Playlists, M3uWithRelativeEntryRecognisedByItsBytes) {
    // Served as plain text, as many stations do.
    server.addFile("/dir/radio.m3u", "text/plain", "#EXTM3U\n#EXTINF:-1,Test FM\n../live\n");
    DWORD ch = open(server.url("/dir/radio.m3u"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(server.connections("/live"), 1);
    BASS_StreamFree(ch);
}

TEST_F(Playlists, NestedPlaylistsAreFollowedButNotForever) {
    server.addFile("/outer.m3u", "audio/x-mpegurl", server.url("/inner.pls") + "\n");
    server.addFile("/inner.pls", "audio/x-scpls", "[playlist]\nFile1=" + server.url("/live"));
    DWORD ch = open(server.url("/outer.m3u"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    BASS_StreamFree(ch);

    server.addFile("/self.m3u", "audio/x-mpegurl", server.url("/self.m3u") + "\n");
    EXPECT_EQ(open(server.url("/self.m3u")), 0u);
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_LE(server.connections("/self.m3u"), 6);
}

TEST_F(Playlists, NotFollowedWhenSwitchedOff) {
    server.addFile("/radio.pls", "audio/x-scpls", "[playlist]\nFile1=" + server.url("/live"));
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 0);
    EXPECT_EQ(open(server.url("/radio.pls")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT);
    EXPECT_EQ(server.connections("/live"), 0);
}

TEST(Redirects, FollowedToTheStreamWhoseHeadersAreReported) {
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", false));
    server.addRedirect("/station", "/moved", 301);
    server.addRedirect("/moved", server.url("/live"), 302);
    EngineSession engine;
    DWORD ch = open(server.url("/station"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    std::vector<std::string> lines = headersOf(ch);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "HTTP/1.0 200 OK");
    EXPECT_TRUE(has(lines, "icy-name:Quorane Test FM"));
    EXPECT_FALSE(has(lines, "Location: /moved"));
    BASS_StreamFree(ch);
}

TEST(Proxy, StreamsOpenedAfterTheSettingGoThroughIt) {
    if (!TinyProxy::installed())
        GTEST_SKIP() << "tinyproxy is not installed";
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.metaint = 8192;
    m.titles = {"Via proxy"};
    server.addStream("/live", m);
    TinyProxy proxy;
    ASSERT_TRUE(proxy.ready());
    EngineSession engine;

    std::string setting = "listener:secret@127.0.0.1:" + std::to_string(proxy.port());
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, setting.c_str()));
    DWORD ch = open(server.url("/live"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    // The proxy announces itself in the request it forwards.
    EXPECT_NE(server.lastRequestHeaders("/live").find("tinyproxy"), std::string::npos)
        << server.lastRequestHeaders("/live");
    // The proxy rewrites header lines in its own form; they come back as it sent them.
    EXPECT_TRUE(has(headersOf(ch), "icy-name: Quorane Test FM"));
    // Titles are announced as they are heard, so the stream plays first.
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelGetTags(ch, BASS_TAG_META) != nullptr; }, 10s));

    // Without the proxy the same URL is fetched directly again; the stream
    // already playing keeps its connection.
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, ""));
    DWORD direct = open(server.url("/live"));
    ASSERT_NE(direct, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(server.lastRequestHeaders("/live").find("tinyproxy"), std::string::npos);
    EXPECT_EQ(server.connections("/live"), 2);
    BASS_StreamFree(direct);
    BASS_StreamFree(ch);
}

TEST(Proxy, UnreachableProxyFailsTheOpen) {
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", false));
    EngineSession engine;
    std::string setting = "127.0.0.1:" + std::to_string(closedPort());
    ASSERT_TRUE(BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, setting.c_str()));
    EXPECT_EQ(open(server.url("/live")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NONET);
    EXPECT_EQ(server.connections("/live"), 0);
    BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, "");
}

} // namespace
