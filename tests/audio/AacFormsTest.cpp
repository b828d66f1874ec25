// AAC as stations send it: ADTS, LOAS/LATM (also when labelled plain AAC),
// MP4 with its index first and fragmented MP4, each served by the fixture ICY
// server; the tone must reach the output (SDL's disk driver).
#include "DiskCapture.h"
#include "EngineTestSupport.h"
#include "HeAacLatm.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

// Plays the stream at `url` for 2.5 s into the output set up by the caller.
void playBriefly(const std::string &url) {
    EngineSession engine(-1, kRate);
    ASSERT_TRUE(engine.ok());
    DWORD ch = BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    BASS_StreamFree(ch);
}

// Windows of 50 ms in `s` that carry the 440 Hz tone.
size_t toneWindows(const std::vector<float> &s) {
    const size_t win = kRate / 20;
    size_t tone = 0;
    for (size_t at = 0; at + win <= s.size(); at += win)
        tone += rms(s, at, win) > 0.03 && toneShare(s, at, win, 440, kRate) > 0.6;
    return tone;
}

struct Form {
    const char *sample;
    const char *contentType;
};
void PrintTo(const Form &f, std::ostream *os) {
    *os << f.sample << " as " << f.contentType;
}
class AacForms : public ::testing::TestWithParam<Form> {};

TEST_P(AacForms, PlaysAndItsToneReachesTheOutput) {
    IcyServer server;
    server.addStream("/aac", radioMount(GetParam().sample, GetParam().contentType, false));
    DiskOutput disk;
    playBriefly(server.url("/aac"));
    EXPECT_GE(toneWindows(disk.left()), 30u) << "at least 1.5 s of the tone";
}

INSTANTIATE_TEST_SUITE_P(Aac, AacForms,
                         ::testing::Values(Form{"tone440.aac", "audio/aac"},
                                           Form{"tone440.latm", "audio/aacp"},
                                           Form{"tone440.latm", "audio/aac"},
                                           Form{"tone440.m4a", "audio/mp4"},
                                           Form{"tone440-frag.m4a", "audio/mp4"},
                                           Form{"tone440-frag.m4a", "application/octet-stream"}));

// HE-AAC v1 and v2 in LOAS/LATM (made by HeAacLatm from LC cores at
// 22.05 kHz): the decoder's SBR path doubles the rate, PS makes a mono core
// stereo, and the engine must follow both, so that the tone reaches both
// sides of the output at its own pitch.
struct HeAac {
    const char *core;
    HeAacLatm::Kind kind;
    const char *name;
};
void PrintTo(const HeAac &h, std::ostream *os) {
    *os << h.name;
}
class HeAacForms : public ::testing::TestWithParam<HeAac> {};

TEST_P(HeAacForms, PlaysAtTheRightPitchOnBothSides) {
    std::string latm =
        HeAacLatm::fromAdts(fileBytes(fixtureAudio(GetParam().core)), GetParam().kind);
    char path[] = "/tmp/quorane-heaac-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, latm.data(), latm.size()), static_cast<ssize_t>(latm.size()));
    close(fd);
    IcyServer server;
    StreamMount m = radioMount("tone440.aac", "audio/aacp", false);
    m.audioFile = path;
    server.addStream("/he", m);
    DiskOutput disk;
    playBriefly(server.url("/he"));
    std::remove(path);
    EXPECT_GE(toneWindows(disk.left()), 30u) << "at least 1.5 s of the tone on the left";
    EXPECT_GE(toneWindows(disk.right()), 30u) << "and on the right";
}

INSTANTIATE_TEST_SUITE_P(
    Aac, HeAacForms,
    ::testing::Values(HeAac{"tone440-22k.aac", HeAacLatm::Kind::Sbr, "HeAacV1Sbr"},
                      HeAac{"tone440-22k-mono.aac", HeAacLatm::Kind::SbrPs, "HeAacV2Ps"}),
    [](const ::testing::TestParamInfo<HeAac> &i) { return std::string(i.param.name); });

} // namespace
