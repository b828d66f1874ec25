// What reaches the sound device: SDL's "disk" driver writes the exact samples
// the engine hands to the output, in real time, into a file that the test
// then analyses for pitch and level.
#include "EngineTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

double rms(const std::vector<float> &s, size_t from, size_t n) {
    double sum = 0;
    for (size_t i = from; i < from + n; ++i)
        sum += double(s[i]) * s[i];
    return std::sqrt(sum / double(n));
}

// Frequency from the rising zero crossings of a window.
double pitch(const std::vector<float> &s, size_t from, size_t n) {
    int rising = 0;
    for (size_t i = from + 1; i < from + n; ++i)
        if (s[i - 1] < 0 && s[i] >= 0)
            ++rising;
    return rising * double(kRate) / double(n);
}

TEST(OutputCapture, ToneReachesTheOutputAndVolumeScalesIt) {
    IcyServer server;
    server.addStream("/tone", radioMount("tone440.mp3", "audio/mpeg", false));
    DiskOutput disk;
    std::vector<float> samples;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = BASS_StreamCreateURL(server.url("/tone").c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_SetVolume(1.0f));
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(BASS_SetVolume(0.5f));
        std::this_thread::sleep_for(1500ms);
        BASS_StreamFree(ch);
    }
    samples = disk.left();
    ASSERT_GT(samples.size(), size_t(kRate)); // at least a second was written

    // Levels of 50 ms windows: silence until playback started, then the sine
    // at full volume, then at half volume.
    const size_t win = kRate / 20;
    std::vector<double> levels;
    for (size_t at = 0; at + win <= samples.size(); at += win)
        levels.push_back(rms(samples, at, win));
    size_t first = 0;
    while (first < levels.size() && levels[first] < 0.005)
        ++first;
    ASSERT_LT(first + 40, levels.size());
    // Skip the window where the sound starts; the next few are at full volume.
    double full = levels[first + 5];
    // The fixture's sine peaks near 1/8 of full scale (RMS about 0.06).
    EXPECT_GT(full, 0.04);
    EXPECT_LT(full, 0.1);
    size_t stable = 0;
    for (size_t i = first + 1; i < first + 20; ++i)
        stable += std::abs(levels[i] - full) < full * 0.05;
    EXPECT_GE(stable, 18u) << "the level holds while nothing changes";
    EXPECT_NEAR(pitch(samples, (first + 5) * win, win * 4), 440.0, 15.0);

    // The end: a little silence may follow the stream's release.
    size_t last = levels.size() - 1;
    while (last > first && levels[last] < 0.005)
        --last;
    ASSERT_GT(last, first + 40);
    double half = levels[last - 2];
    EXPECT_NEAR(half / full, 0.5, 0.03);
    EXPECT_NEAR(pitch(samples, (last - 6) * win, win * 4), 440.0, 15.0);
}

// A station is joined in the middle of its stream, where the first MP3
// frames decode to silence (their bit reservoir lies before the join) and
// the decoder's filters start empty. That silence is dropped: the tone
// starts with the first callback after the play command, not 40 ms later.
TEST(OutputCapture, StationJoinedMidStreamSoundsAtTheFirstCallback) {
    const std::string path = "/tmp/quorane-join-" + std::to_string(getpid()) + ".mp3";
    std::ofstream(path, std::ios::binary) << fileBytes(fixtureAudio("tone440.mp3")).substr(20001);
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", false);
    m.audioFile = path;
    server.addStream("/join", m);
    DiskOutput disk;
    size_t played = 0;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = BASS_StreamCreateURL(server.url("/join").c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        played = disk.frames();
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        EXPECT_TRUE(waitUntil([&] { return disk.frames() > played + kRate / 2; }, 5s));
        BASS_StreamFree(ch);
    }
    std::remove(path.c_str());
    const std::vector<float> samples = disk.left();
    const size_t onset = firstSound(samples);
    ASSERT_LT(onset, samples.size());
    ASSERT_GE(onset, played);
    // The callback after the play command, at most 1024 frames on, plus the
    // few hundred frames the tone takes to rise above the threshold.
    EXPECT_LT(onset - played, 1024u + 512u);
}

// Without a usable sound device the engine still starts, on its silent
// output, and streams run at real-time pace: the decoder keeps consuming.
class SilentFallback : public ::testing::TestWithParam<const char *> {};

TEST_P(SilentFallback, StreamsStillPlayWithoutASoundDevice) {
    IcyServer server;
    server.addStream("/tone", radioMount("tone440.mp3", "audio/mpeg", false));
    const char *old = std::getenv("SDL_AUDIODRIVER");
    std::string saved = old ? old : "";
    setenv("SDL_AUDIODRIVER", GetParam(), 1);
    // The disk driver cannot open a file in a folder that does not exist.
    setenv("SDL_DISKAUDIOFILE", "/nonexistent-quorane-dir/out.raw", 1);
    {
        EngineSession engine;
        EXPECT_TRUE(engine.ok()) << BASS_ErrorGetCode();
        if (engine.ok()) {
            DWORD ch = BASS_StreamCreateURL(server.url("/tone").c_str(), 0, 0, nullptr, nullptr);
            ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
            ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
            // 64 KiB of burst is 4 s of audio; playing 1 s of it needs the
            // output to pull the decoded audio away.
            QWORD consumed = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
            EXPECT_TRUE(waitUntil(
                [&] {
                    return BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT) >= consumed + 16000;
                },
                10s));
            EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        }
    }
    unsetenv("SDL_DISKAUDIOFILE");
    if (saved.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
}

INSTANTIATE_TEST_SUITE_P(Drivers, SilentFallback,
                         ::testing::Values("quorane-no-such-driver", "disk"));

} // namespace
