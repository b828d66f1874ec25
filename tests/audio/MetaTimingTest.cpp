// Metadata is announced when the listener hears it: the title current at
// tune-in reaches a sync registered after the open and the buffer wait, and a
// change placed at a known byte of the stream is announced when that byte is
// played, not when it is downloaded.
#include "EngineTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// The player's buffer wait: until the download buffer is more than three
// quarters full, or 5 s.
void waitForBuffer(DWORD ch) {
    waitUntil(
        [&] {
            QWORD end = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END);
            QWORD got = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD);
            return end == 0 || end == ~QWORD(0) || got * 100 / end > 75;
        },
        5s);
}

struct TuneIn {
    const char *name;
    const char *sample;
    const char *contentType;
    const char *title; // the title announced first
};

class TuneInTitle : public ::testing::TestWithParam<TuneIn> {};

TEST_P(TuneInTitle, ReachesASyncRegisteredAfterTheBufferWait) {
    const TuneIn &p = GetParam();
    IcyServer server;
    StreamMount m = radioMount(p.sample, p.contentType, false);
    if (std::string(p.contentType) == "audio/mpeg") {
        // Icecast's habit: the title set before the listener came is in the
        // first block, 16000 bytes in, well inside the 64 KiB burst.
        m.metaint = 16000;
        m.titles = {p.title};
    } else {
        m.bytesPerSecond = static_cast<int>(std::filesystem::file_size(m.audioFile) / 6);
    }
    server.addStream("/live", m);
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    waitForBuffer(ch);
    // The player sets its texts and repaints before it registers.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(BASS_ChannelGetTags(ch, BASS_TAG_META), nullptr) << "announced before it was heard";
    MetaRecorder rec;
    ASSERT_NE(rec.attach(ch), 0u);
    auto play = Clock::now();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::vector<std::string> blocks = rec.waitFor(1, 10s);
    auto latency = Clock::now() - play;
    ASSERT_FALSE(blocks.empty());
    EXPECT_EQ(titleOf(blocks[0]), p.title);
    // The first sound follows the play command, so this is within 2 s of it.
    EXPECT_LT(latency, 2s);
    EXPECT_STREQ(BASS_ChannelGetTags(ch, BASS_TAG_META), blocks[0].c_str());
    EXPECT_TRUE(BASS_StreamFree(ch));
}

INSTANTIATE_TEST_SUITE_P(Kinds, TuneInTitle,
                         ::testing::Values(TuneIn{"Mp3", "tone440.mp3", "audio/mpeg",
                                                  "Before You Came"},
                                           TuneIn{"Vorbis", "chained.ogg", "audio/ogg", "A - One"},
                                           TuneIn{"Opus", "chained.opus", "audio/ogg", "A - One"}),
                         [](const auto &info) { return std::string(info.param.name); });

// Where the output was when each block was announced.
struct PlacedLog {
    DiskOutput *disk = nullptr;
    std::mutex mutex;
    std::vector<std::pair<std::string, size_t>> blocks; // title, frames output by then
    static void onSync(DWORD, DWORD channel, DWORD, void *user) {
        auto *self = static_cast<PlacedLog *>(user);
        const char *block = BASS_ChannelGetTags(channel, BASS_TAG_META);
        size_t frames = self->disk->frames();
        std::lock_guard lock(self->mutex);
        self->blocks.emplace_back(titleOf(block ? block : ""), frames);
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return blocks.size();
    }
};

TEST(MetaTiming, ChangeIsAnnouncedWhenItsBytePlays) {
    constexpr int kRate = 44100;
    IcyServer server;
    // 128 kbit/s: 16000 bytes are one second of sound. "Second" follows byte
    // 80000, so it sounds 5 s in, though it is downloaded within about 1 s.
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.metaint = 8000;
    m.titles = {"First", "Second"};
    m.titleEveryBytes = 80000;
    server.addStream("/live", m);
    DiskOutput disk;
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    PlacedLog log;
    log.disk = &disk;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_META, 0, &PlacedLog::onSync, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.size() >= 2; }, 15s));
    EXPECT_TRUE(BASS_StreamFree(ch));

    size_t start = firstSound(disk.left());
    ASSERT_LT(start, disk.frames());
    std::lock_guard lock(log.mutex);
    ASSERT_EQ(log.blocks[0].first, "First");
    ASSERT_EQ(log.blocks[1].first, "Second");
    auto heardAt = [&](size_t i) { return (double(log.blocks[i].second) - double(start)) / kRate; };
    EXPECT_NEAR(heardAt(0), 0.5, 0.5);
    EXPECT_NEAR(heardAt(1), 5.0, 0.5);
}

// Every block once, in order, none skipped, none after the free; inside the
// sync the tags are the block being announced.
struct SequenceLog {
    std::mutex mutex;
    std::vector<std::string> titles;
    static void onSync(DWORD, DWORD channel, DWORD data, void *user) {
        auto *self = static_cast<SequenceLog *>(user);
        const char *block = BASS_ChannelGetTags(channel, BASS_TAG_META);
        std::lock_guard lock(self->mutex);
        self->titles.push_back(data == 0 && block ? titleOf(block) : "<bad>");
    }
    std::vector<std::string> get() {
        std::lock_guard lock(mutex);
        return titles;
    }
};

TEST(MetaTiming, EveryBlockOnceInOrderAndNoneAfterFree) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.metaint = 2000;
    for (int i = 0; i < 40; ++i)
        m.titles.push_back("T" + std::to_string(i));
    m.titleEveryBytes = 2000; // a new title in every block, 8 a second of sound
    m.bytesPerSecond = 64000; // downloaded four times faster than played
    server.addStream("/live", m);
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    SequenceLog log;
    ASSERT_NE(BASS_ChannelSetSync(ch, BASS_SYNC_META, 0, &SequenceLog::onSync, &log), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(waitUntil([&] { return log.get().size() >= 16; }, 15s));
    EXPECT_TRUE(BASS_StreamFree(ch));
    std::vector<std::string> seen = log.get();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(log.get().size(), seen.size()) << "announced after BASS_StreamFree";
    ASSERT_FALSE(seen.empty());
    ASSERT_EQ(seen[0].rfind("T", 0), 0u) << seen[0];
    int first = std::stoi(seen[0].substr(1));
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i], "T" + std::to_string(first + static_cast<int>(i)))
            << "announcement " << i;
}

} // namespace
