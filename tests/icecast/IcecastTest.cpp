// The audio engine against a genuine Icecast server: the station name from the
// headers and a live title change must reach the player's notification.
#include "BuildPaths.h"
#include "icecast/ScriptProcess.h"

#include "bass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

// Metadata blocks seen by the engine's notification, which arrives on an
// engine thread; the test thread waits on the condition variable.
struct MetaLog {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> blocks;
};

void onMeta(DWORD, DWORD channel, DWORD, void *user) {
    auto *log = static_cast<MetaLog *>(user);
    const char *meta = BASS_ChannelGetTags(channel, BASS_TAG_META);
    std::lock_guard lock(log->mutex);
    log->blocks.emplace_back(meta ? meta : "");
    log->changed.notify_all();
}

// The header lines of a tag list: NUL-ended texts ended by an empty one.
std::vector<std::string> tagLines(const char *tags) {
    std::vector<std::string> lines;
    for (const char *p = tags; p && *p; p += lines.back().size() + 1)
        lines.emplace_back(p);
    return lines;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

} // namespace

TEST(Icecast, EngineGetsTheStationNameAndALiveTitleChange) {
    ScriptProcess icecast(std::string(BuildPath("QUORANE_SOURCE_DIR")) +
                              "/tests/icecast/run-icecast.sh",
                          {"--seconds", "50", "--control-stdin", "--name", "Quorane Icecast Test",
                           "--title", "Before"},
                          90s);
    auto info = icecast.readUntil("READY", 30s);
    if (info.count("ERROR") && icecast.wait(5s) == 77)
        GTEST_SKIP() << info["ERROR"];
    ASSERT_EQ(info["READY"], "1") << "run-icecast.sh: " << info["ERROR"];

    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    const DWORD stream = BASS_StreamCreateURL(info["URL"].c_str(), 0, 0, nullptr, nullptr);
    if (stream == 0 && BASS_ErrorGetCode() == BASS_ERROR_NOTAVAIL) {
        BASS_Free();
        GTEST_SKIP() << "the audio engine cannot open streams yet";
    }
    ASSERT_NE(stream, 0u) << "engine error " << BASS_ErrorGetCode();

    // Icecast answers "HTTP/1.0 200 OK", so its headers are the HTTP kind.
    std::vector<std::string> headers = tagLines(BASS_ChannelGetTags(stream, BASS_TAG_HTTP));
    const auto icy = tagLines(BASS_ChannelGetTags(stream, BASS_TAG_ICY));
    headers.insert(headers.end(), icy.begin(), icy.end());
    EXPECT_NE(std::find(headers.begin(), headers.end(), "icy-name:Quorane Icecast Test"),
              headers.end())
        << "headers: " << ::testing::PrintToString(headers);
    EXPECT_TRUE(std::any_of(headers.begin(), headers.end(),
                            [](const std::string &h) { return lower(h) == "icy-br:128"; }));

    // The title set before we came sits in Icecast's first block, inside its
    // burst: a sync registered after the open still hears it, once it sounds.
    std::this_thread::sleep_for(300ms);
    MetaLog log;
    ASSERT_NE(BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, &onMeta, &log), 0u);
    const auto play = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    {
        std::unique_lock lock(log.mutex);
        ASSERT_TRUE(log.changed.wait_for(lock, 10s, [&] { return !log.blocks.empty(); }));
        EXPECT_LT(std::chrono::steady_clock::now() - play, 2s);
        EXPECT_NE(log.blocks[0].find("StreamTitle='Before';"), std::string::npos) << log.blocks[0];
    }

    // A title with non-ASCII letters: Icecast passes the UTF-8 bytes through.
    const std::string title = "Quorane Title \xc3\x84\xc3\x9f";
    icecast.writeLine("title " + title);
    EXPECT_EQ(icecast.readUntil("TITLE_SET", 10s)["TITLE_SET"], title);

    const std::string expected = "StreamTitle='" + title + "';";
    bool arrived = false;
    {
        std::unique_lock lock(log.mutex);
        arrived = log.changed.wait_for(lock, 20s, [&] {
            return std::any_of(log.blocks.begin(), log.blocks.end(), [&](const std::string &b) {
                return b.find(expected) != std::string::npos;
            });
        });
    }
    EXPECT_TRUE(arrived) << "blocks: " << ::testing::PrintToString(log.blocks);
    EXPECT_EQ(BASS_ChannelIsActive(stream), static_cast<DWORD>(BASS_ACTIVE_PLAYING));

    BASS_StreamFree(stream);
    BASS_Free();
    icecast.writeLine("stop");
    EXPECT_EQ(icecast.wait(15s), 0);
}
