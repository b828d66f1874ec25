// The recorder's tap (BASS_ChannelSetTap): set once the stream plays, it
// still gets the stream from its first byte, with each title at the byte
// where it came and the level of every decoded frame at the frame's byte;
// once removed it is never called again. And the silent output made faster
// for tests (BASS_CONFIG_SILENT_SPEED) really plays faster.
#include "EngineTestSupport.h"

#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

// Everything a tap was handed, in order.
struct TapLog {
    struct Event {
        DWORD kind, connection;
        QWORD pos;
        std::string data;
        DWORD frames, rate;
        float level;
    };
    std::mutex mutex;
    std::vector<Event> events;
    static void proc(DWORD, const BASS_TAPEVENT *e, void *user) {
        auto *self = static_cast<TapLog *>(user);
        std::lock_guard lock(self->mutex);
        self->events.push_back({e->kind, e->connection, e->pos,
                                std::string(static_cast<const char *>(e->data), e->length),
                                e->frames, e->rate, e->level});
    }
    std::vector<Event> get() {
        std::lock_guard lock(mutex);
        return events;
    }
};

// Where each frame of a CBR MP3 file starts.
std::set<QWORD> frameStarts(const std::string &mp3) {
    std::set<QWORD> starts;
    for (size_t at = 0; at + 4 <= mp3.size();) {
        auto b = [&](size_t i) { return static_cast<uint8_t>(mp3[at + i]); };
        if (b(0) != 0xFF || (b(1) & 0xE0) != 0xE0) {
            ++at;
            continue;
        }
        starts.insert(at);
        at += 144 * 128000 / 44100 + ((b(2) >> 1) & 1);
    }
    return starts;
}

TEST(StreamTap, SetOnAPlayingStreamGetsItFromItsFirstByte) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.metaint = 8000;
    m.titles = {"First", "Second"};
    m.titleEveryBytes = 40000;
    server.addStream("/live", m);
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::this_thread::sleep_for(500ms);
    TapLog log;
    ASSERT_TRUE(BASS_ChannelSetTap(ch, &TapLog::proc, &log));
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const TapLog::Event &e : log.get())
                if (e.kind == BASS_TAP_META && titleOf(e.data) == "Second")
                    return true;
            return false;
        },
        10s));
    ASSERT_TRUE(BASS_ChannelSetTap(ch, nullptr, nullptr));
    const std::vector<TapLog::Event> events = log.get();
    EXPECT_TRUE(BASS_StreamFree(ch));

    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, DWORD(BASS_TAP_CONNECTION));
    EXPECT_EQ(events[0].data, "audio/mpeg");
    const DWORD connection = events[0].connection;
    const std::string file = fileBytes(fixtureAudio("tone440.mp3"));
    const std::set<QWORD> frames = frameStarts(file);
    std::string audio;
    std::vector<std::pair<QWORD, std::string>> titles;
    size_t levels = 0, loud = 0, atFrames = 0;
    QWORD lastLevel = 0;
    for (const TapLog::Event &e : events) {
        EXPECT_EQ(e.connection, connection);
        if (e.kind == BASS_TAP_DATA) {
            // In order, without a gap or a byte twice, from the first byte.
            EXPECT_EQ(e.pos, audio.size());
            audio += e.data;
        } else if (e.kind == BASS_TAP_META) {
            titles.emplace_back(e.pos, titleOf(e.data));
        } else if (e.kind == BASS_TAP_LEVEL) {
            ++levels;
            EXPECT_GE(e.pos, lastLevel);
            lastLevel = e.pos;
            EXPECT_EQ(e.rate, 44100u);
            EXPECT_EQ(e.frames, 1152u);
            // The tone is at -24.5 dB RMS (ffmpeg's astats): a mean square
            // of 0.0035.
            loud += e.level > 0.0030f && e.level < 0.0041f;
            atFrames += frames.count(e.pos % file.size());
        }
    }
    // The audio bytes are the file's, the ICY metadata taken out.
    ASSERT_GE(audio.size(), 40000u);
    for (size_t i = 0; i < audio.size(); ++i)
        ASSERT_EQ(audio[i], file[i % file.size()]) << "byte " << i;
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0], std::make_pair(QWORD(8000), std::string("First")));
    EXPECT_EQ(titles[1], std::make_pair(QWORD(40000), std::string("Second")));
    // Decoded frames, from the first one on (the tap came late, the levels
    // kept from the start are handed over too), each at its frame's start.
    EXPECT_GT(levels, 40u);
    EXPECT_GE(loud, levels - 2);
    EXPECT_EQ(atFrames, levels);
}

TEST(StreamTap, RemovedTapIsNeverCalledAgain) {
    IcyServer server;
    server.addStream("/live", radioMount("tone440.mp3", "audio/mpeg", true));
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_FALSE(BASS_ChannelSetTap(0x1234, &TapLog::proc, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    TapLog log;
    ASSERT_TRUE(BASS_ChannelSetTap(ch, &TapLog::proc, &log));
    ASSERT_TRUE(waitUntil([&] { return log.get().size() > 50; }, 10s));
    ASSERT_TRUE(BASS_ChannelSetTap(ch, nullptr, nullptr));
    const size_t seen = log.get().size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(log.get().size(), seen);
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST(SilentSpeed, PlaysThatManyTimesFasterThanRealTime) {
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, 0));
    EXPECT_FALSE(BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, 65));
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.bytesPerSecond = 0;
    server.addStream("/live", m);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, 8));
    EngineSession engine(0);
    ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_SILENT_SPEED, 1));
    ASSERT_TRUE(engine.ok());
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    TapLog log;
    ASSERT_TRUE(BASS_ChannelSetTap(ch, &TapLog::proc, &log));
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(BASS_ChannelSetTap(ch, nullptr, nullptr));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double decoded = 0;
    for (const TapLog::Event &e : log.get())
        if (e.kind == BASS_TAP_LEVEL)
            decoded += double(e.frames) / e.rate;
    EXPECT_TRUE(BASS_StreamFree(ch));
    // Decoding keeps less than a second ahead of the output; a loaded
    // machine may lose some pace, but not most of it.
    EXPECT_GT(decoded, 4 * wall) << decoded << " s decoded in " << wall << " s";
}

} // namespace
