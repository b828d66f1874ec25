// AAC as stations send it: ADTS, LOAS/LATM (also when labelled plain AAC),
// MP4 with its index first and fragmented MP4, each served by the fixture ICY
// server; the tone must reach the output (SDL's disk driver).
#include "DiskCapture.h"
#include "EngineTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;

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
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = BASS_StreamCreateURL(server.url("/aac").c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        std::this_thread::sleep_for(2500ms);
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        BASS_StreamFree(ch);
    }
    std::vector<float> s = disk.left();
    const size_t win = kRate / 20;
    size_t tone = 0;
    for (size_t at = 0; at + win <= s.size(); at += win)
        tone += rms(s, at, win) > 0.03 && toneShare(s, at, win, 440, kRate) > 0.6;
    EXPECT_GE(tone, 30u) << "at least 1.5 s of the tone";
}

INSTANTIATE_TEST_SUITE_P(Aac, AacForms,
                         ::testing::Values(Form{"tone440.aac", "audio/aac"},
                                           Form{"tone440.latm", "audio/aacp"},
                                           Form{"tone440.latm", "audio/aac"},
                                           Form{"tone440.m4a", "audio/mp4"},
                                           Form{"tone440-frag.m4a", "audio/mp4"},
                                           Form{"tone440-frag.m4a", "application/octet-stream"}));

} // namespace
