// Servers and URLs that go wrong: each open fails with an error code or the
// stream ends cleanly, and nothing hangs. The time limits here are generous
// hang guards, not speed requirements.
#include "EngineTestSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

DWORD open(const std::string &url) {
    return BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
}

TEST(StreamFailure, BadUrlsAndAnswersFailWithAnErrorCode) {
    IcyServer server;
    server.addGarbage("/garbage");
    server.addRedirect("/loop-a", "/loop-b");
    server.addRedirect("/loop-b", "/loop-a");
    server.addFile("/text", "text/html", "<html><body>Not a radio</body></html>");
    // Labelled as audio, so the demuxer is chosen by type, but it is noise.
    std::string noise(40000, '\0');
    uint32_t x = 12345;
    for (char &c : noise)
        c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    for (const char *type : {"audio/mpeg", "audio/aac", "audio/ogg", "audio/flac"})
        server.addFile(std::string("/noise/") + type, type, noise);
    EngineSession engine;

    EXPECT_EQ(open(server.url("/missing")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(open(server.url("/loop-a")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_LE(server.connections("/loop-a") + server.connections("/loop-b"), 6);

    EXPECT_EQ(open(server.url("/garbage")), 0u);
    int garbage = BASS_ErrorGetCode();
    EXPECT_TRUE(garbage == BASS_ERROR_FILEOPEN || garbage == BASS_ERROR_FORMAT) << garbage;
    EXPECT_EQ(open(server.url("/text")), 0u);
    int text = BASS_ErrorGetCode();
    EXPECT_TRUE(text == BASS_ERROR_FORMAT || text == BASS_ERROR_ENDED) << text;

    for (const char *type : {"audio/mpeg", "audio/aac", "audio/ogg", "audio/flac"}) {
        EXPECT_EQ(open(server.url(std::string("/noise/") + type)), 0u) << type;
        int e = BASS_ErrorGetCode();
        EXPECT_TRUE(e == BASS_ERROR_FORMAT || e == BASS_ERROR_ENDED) << type << " " << e;
    }

    for (const char *url : {"ftp://127.0.0.1/radio.mp3", "/tmp/radio.mp3", "file:///tmp/a.mp3", "",
                            "127.0.0.1:8000/live"}) {
        EXPECT_EQ(open(url), 0u) << url;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << url;
    }
    EXPECT_EQ(BASS_StreamCreateURL(nullptr, 0, 0, nullptr, nullptr), 0u);

    // TLS spoken to a plain HTTP server: the handshake fails, nothing hangs.
    std::string https = server.url("/missing");
    https.replace(0, 4, "https");
    EXPECT_EQ(open(https), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_TLS);

    EXPECT_EQ(open("http://127.0.0.1:" + std::to_string(closedPort()) + "/live"), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NONET);
}

TEST(StreamFailure, ServerThatNeverAnswersTimesOut) {
    IcyServer server;
    server.addSilent("/silent");
    EngineSession engine;
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 700));
    auto result = std::make_shared<std::pair<DWORD, int>>(1, BASS_OK);
    std::string url = server.url("/silent");
    EXPECT_TRUE(finishesWithin(
        [result, url] {
            result->first = open(url);
            result->second = BASS_ErrorGetCode();
        },
        20s));
    BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 8000);
    EXPECT_EQ(result->first, 0u);
    EXPECT_EQ(result->second, BASS_ERROR_TIMEOUT);
    EXPECT_EQ(server.connections("/silent"), 1);
}

TEST(StreamFailure, AnswerWithoutAudioFailsFiveSecondsAfterTheAnswer) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.stallAfterBytes = 0; // the headers, then nothing
    server.addStream("/mute", m);
    EngineSession engine;
    auto result = std::make_shared<std::pair<DWORD, int>>(1, BASS_OK);
    std::string url = server.url("/mute");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(finishesWithin(
        [result, url] {
            result->first = open(url);
            result->second = BASS_ErrorGetCode();
        },
        20s));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 4500ms);
    EXPECT_LT(took, 8s);
    EXPECT_EQ(result->first, 0u);
    EXPECT_EQ(result->second, BASS_ERROR_TIMEOUT);
}

// A page of text sent as MP3 or AAC (a login page, an error page) holds no
// frame at all: the open fails as "not audio" once a probe's worth has come,
// instead of waiting out the timeout.
TEST(StreamFailure, TextSentAsMp3OrAacIsNotAudio) {
    std::string path = "/tmp/quorane-notaudio-" + std::to_string(getpid()) + ".html";
    {
        std::ofstream page(path);
        for (int i = 0; i < 2000; ++i)
            page << "<p>This station has moved. Please update your bookmarks.</p>\n";
    }
    for (const char *type : {"audio/mpeg", "audio/aac"}) {
        IcyServer server;
        StreamMount m = radioMount("tone440.mp3", type, false);
        m.audioFile = path;
        server.addStream("/page", m);
        EngineSession engine;
        EXPECT_EQ(open(server.url("/page")), 0u) << type;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT) << type;
    }
    std::filesystem::remove(path);
}

TEST(StreamFailure, StalledStreamPlaysOutThenFreesAtOnce) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.burstBytes = 16384;
    m.stallAfterBytes = 24000; // 1.5 s of audio, then the socket stays open, silent
    server.addStream("/stall", m);
    EngineSession engine;
    DWORD ch = open(server.url("/stall"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelIsActive(ch) == BASS_ACTIVE_STALLED; }, 15s));
    EXPECT_EQ(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD), 24000u);
    auto freed = std::make_shared<std::atomic<bool>>(false);
    EXPECT_TRUE(finishesWithin([ch, freed] { *freed = BASS_StreamFree(ch); }, 5s));
    EXPECT_TRUE(*freed);
}

TEST(StreamFailure, StreamOfKnownLengthEndsOnceItPlayedEverything) {
    IcyServer server;
    std::string song = fileBytes(fixtureAudio("tone440.mp3")).substr(0, 40000); // 2.5 s
    server.addFile("/song.mp3", "audio/mpeg", song);
    EngineSession engine;
    DWORD ch = open(server.url("/song.mp3"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    SyncCounter ends, stalls;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::onSync, &ends), 0u);
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_STALL, 0, &SyncCounter::onSync, &stalls), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_TRUE(waitUntil([&] { return ends.count() == 1; }, 20s));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT), song.size());
    // A file is not a station: its end is no reason to connect again.
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ends.values(), std::vector<DWORD>{0}) << "played to its end: no failure";
    EXPECT_EQ(stalls.count(), 0);
    EXPECT_EQ(server.connections("/song.mp3"), 1);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST(StreamFailure, StreamEndingBeforeItsFirstAudioFails) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.closeAfterBytes = 100;
    server.addStream("/short", m);
    EngineSession engine;
    EXPECT_EQ(open(server.url("/short")), 0u);
    int e = BASS_ErrorGetCode();
    EXPECT_TRUE(e == BASS_ERROR_ENDED || e == BASS_ERROR_FORMAT) << e;
}

// Length bytes that claim more metadata than there is: the splitter takes
// audio for metadata (or meets the end of the stream) but never reads past
// what it received, and the stream either plays or ends cleanly.
class BrokenMetadata : public ::testing::TestWithParam<int> {};

TEST_P(BrokenMetadata, NeverCrashesTheStream) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.metaint = 2048;
    m.titles = {"Song"};
    m.badLengthByte = GetParam();
    m.closeAfterBytes = 30000;
    server.addStream("/bad", m);
    EngineSession engine;
    DWORD ch = open(server.url("/bad"));
    if (ch == 0) {
        EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
        return;
    }
    BASS_ChannelPlay(ch, FALSE);
    // It plays through the broken part to the close, and then connects again.
    EXPECT_TRUE(waitUntil([&] { return server.connections("/bad") >= 2; }, 20s));
    EXPECT_TRUE(BASS_StreamFree(ch));
}

INSTANTIATE_TEST_SUITE_P(LengthBytes, BrokenMetadata, ::testing::Values(1, 40, 255));

} // namespace
