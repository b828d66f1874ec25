// The engine's bookkeeping on its own: where each announcement belongs in
// the output, when a lost stream tries again, how fast an Ogg stream really
// goes, the download buffer sized again to it, and the output's mixing.
#include "ByteRing.h"
#include "EngineLimits.h"
#include "IcyServer.h"
#include "OggRateMeter.h"
#include "PcmRing.h"
#include "PlaybackTimeline.h"
#include "ReconnectSchedule.h"

#include <gtest/gtest.h>

using namespace quorane::engine;
using namespace std::chrono_literals;
using Kind = PlaybackTimeline::Kind;

namespace {

std::vector<std::string> blocksOf(const std::vector<PlaybackTimeline::Event> &events) {
    std::vector<std::string> out;
    for (const auto &e : events)
        out.push_back(e.kind == Kind::Resumed ? "<resumed>" : e.block);
    return out;
}

TEST(PlaybackTimeline, BlocksWaitForTheFrameTheirByteBecomes) {
    PlaybackTimeline t(16);
    t.addAtByte(1, 1000, "a");
    t.addAtByte(1, 3000, "b");
    // Nothing decoded yet: nothing can be due, however far the output is.
    EXPECT_TRUE(t.takePlayed(1u << 30).empty());
    // The packet holding bytes up to 1500 starts at frame 100: "a" sounds there.
    t.reachedByte(1, 1500, 100);
    EXPECT_TRUE(t.takePlayed(100).empty()); // frame 100 itself not yet played
    EXPECT_EQ(blocksOf(t.takePlayed(101)), std::vector<std::string>{"a"});
    t.reachedByte(1, 2999, 200); // byte 3000 is not in it
    EXPECT_TRUE(t.takePlayed(1000).empty());
    t.reachedByte(1, 3001, 300);
    EXPECT_EQ(blocksOf(t.takePlayed(1000)), std::vector<std::string>{"b"});
    EXPECT_TRUE(t.takePlayed(1000).empty()); // once each
}

TEST(PlaybackTimeline, ConnectionsStayApartAndResumeComesFirst) {
    PlaybackTimeline t(16);
    t.addAtByte(1, 500, "old, never decoded");
    t.dropConnection(1);
    t.addAtByte(2, 100, "new");
    t.reachedByte(1, 1000, 50); // a late word from the old decoder changes nothing
    EXPECT_TRUE(t.takePlayed(1000).empty());
    t.reachedByte(2, 200, 400);
    t.addAtFrame(Kind::Resumed, 400, {}, 7);
    t.addAtFrame(Kind::Meta, 390, "comment");
    auto due = t.takePlayed(1000);
    EXPECT_EQ(blocksOf(due), (std::vector<std::string>{"comment", "<resumed>", "new"}));
    ASSERT_EQ(due.size(), 3u);
    EXPECT_EQ(due[1].tag, 7u);
}

TEST(PlaybackTimeline, AFloodKeepsOnlyTheNewest) {
    PlaybackTimeline t(4);
    for (int i = 0; i < 10; ++i)
        t.addAtByte(1, static_cast<uint64_t>(i), std::to_string(i));
    t.reachedByte(1, 100, 5);
    EXPECT_EQ(blocksOf(t.takePlayed(6)), (std::vector<std::string>{"6", "7", "8", "9"}));
}

TEST(ReconnectSchedule, PausesGrowThenRepeatWithinTheLimit) {
    ReconnectSchedule s(300s);
    auto t0 = ReconnectSchedule::Clock::time_point{} + 1000s;
    auto at = s.lost(t0);
    std::vector<long long> pauses;
    auto now = t0;
    for (int i = 0; i < 8; ++i) {
        pauses.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(at - now).count());
        now = at;
        at = s.failed(now);
    }
    EXPECT_EQ(pauses, (std::vector<long long>{500, 1000, 2000, 4000, 8000, 15000, 15000, 15000}));
    EXPECT_FALSE(s.givenUp(t0 + 299s));
    EXPECT_TRUE(s.givenUp(t0 + 300s));
}

TEST(ReconnectSchedule, StartsOverOnlyAfterThirtySecondsOfSound) {
    ReconnectSchedule s(300s);
    auto now = ReconnectSchedule::Clock::time_point{} + 1000s;
    s.lost(now);
    s.failed(now); // two pauses used
    s.recovered();
    s.playedFor(29s);
    // A station that drops again soon backs off further.
    EXPECT_EQ(s.lost(now) - now, 2000ms);
    EXPECT_FALSE(s.givenUp(now + 10s));
    s.recovered();
    s.playedFor(30s);
    EXPECT_EQ(s.lost(now + 60s) - (now + 60s), 500ms);
    // Each outage has its own limit.
    EXPECT_FALSE(s.givenUp(now + 60s + 299s));
    EXPECT_TRUE(s.givenUp(now + 60s + 300s));
}

} // namespace

namespace {

// Feeds `bytes` cut into pieces of `step`; the rate, or -1 when the meter
// reported a measurement other than exactly once.
double measureOgg(const std::string &bytes, size_t step) {
    OggRateMeter meter;
    int reports = 0;
    for (size_t at = 0; at < bytes.size(); at += step)
        reports += meter.feed(reinterpret_cast<const uint8_t *>(bytes.data()) + at,
                              std::min(step, bytes.size() - at));
    return reports == 1 ? meter.bytesPerSecond() : -1;
}

// Bytes of the pages before the first one that carries sound (a granule
// position past zero): the codec's headers, which the sound's rate leaves
// out. 0 when the bytes are not a chain of whole Ogg pages.
size_t oggHeaderBytes(const std::string &b) {
    size_t at = 0;
    while (at + 27 <= b.size() && b.compare(at, 4, "OggS") == 0) {
        uint64_t granule = 0;
        for (int i = 7; i >= 0; --i)
            granule = granule << 8 | uint8_t(b[at + 6 + size_t(i)]);
        if (granule != 0 && granule != ~uint64_t(0))
            return at;
        const size_t segments = uint8_t(b[at + 26]);
        size_t body = 0;
        for (size_t i = 0; i < segments && at + 27 + i < b.size(); ++i)
            body += uint8_t(b[at + 27 + i]);
        at += 27 + segments + body;
    }
    return 0;
}

} // namespace

// Each codec stations send in Ogg, its granule positions counted at its own
// rate (Opus always at 48 kHz), in whatever cut the bytes arrive: the rate is
// that of the sound pages, without the codec's headers.
TEST(OggRateMeter, MeasuresWhatEachCodecReallyTakes) {
    struct Case {
        const char *sample;
        double seconds;
    };
    for (const Case &c :
         {Case{"tone440.ogg", 10}, Case{"tone440.opus", 10.0065}, Case{"tone440-flac.oga", 10}}) {
        SCOPED_TRACE(c.sample);
        const std::string bytes = quorane::test::fileBytes(quorane::test::fixtureAudio(c.sample));
        ASSERT_FALSE(bytes.empty());
        const size_t headers = oggHeaderBytes(bytes);
        ASSERT_GT(headers, 0u);
        // A steady tone: its sound pages, past the headers, at a near even
        // rate (the meter's first half second of Opus runs about a tenth
        // lean). A clock off by 44.1 against 48 kHz either way misses it.
        const double sound = double(bytes.size() - headers) / c.seconds;
        const double whole = measureOgg(bytes, bytes.size());
        EXPECT_GT(whole, sound * 0.85) << whole << " " << sound;
        EXPECT_LT(whole, sound * 1.06) << whole << " " << sound;
        for (size_t step : {size_t(1), size_t(27), size_t(4096)})
            EXPECT_EQ(measureOgg(bytes, step), whole) << step;
    }
}

TEST(OggRateMeter, GivesUpOnAnythingElse) {
    const std::string mp3 = quorane::test::fileBytes(quorane::test::fixtureAudio("tone440.mp3"));
    const std::string flac = quorane::test::fileBytes(quorane::test::fixtureAudio("tone440.flac"));
    const std::string vorbis = quorane::test::fileBytes(quorane::test::fixtureAudio("tone440.ogg"));
    std::string broken = vorbis;
    broken[0] = 'X'; // a page that is not one
    for (const std::string *bytes :
         std::initializer_list<const std::string *>{&mp3, &flac, &broken}) {
        OggRateMeter meter;
        EXPECT_FALSE(meter.feed(reinterpret_cast<const uint8_t *>(bytes->data()), bytes->size()));
        EXPECT_TRUE(meter.gaveUp());
        EXPECT_EQ(meter.bytesPerSecond(), 0);
    }
    // Headers alone, or a single page of sound, measure nothing yet.
    OggRateMeter meter;
    EXPECT_FALSE(meter.feed(reinterpret_cast<const uint8_t *>(vorbis.data()), 4000));
    EXPECT_FALSE(meter.gaveUp());
    EXPECT_EQ(meter.bytesPerSecond(), 0);
}

// The download buffer sized again while it holds bytes that wrap around its
// end: every byte comes out in order, and it never gets smaller than what it
// holds.
TEST(ByteRing, ResizeKeepsWhatItHoldsInOrder) {
    for (size_t newSize : {size_t(40), size_t(7), size_t(1000)}) {
        SCOPED_TRACE(newSize);
        ByteRing ring;
        ring.allocate(64);
        std::vector<uint8_t> in(100), out(100);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = uint8_t(i * 7 + 1);
        ASSERT_TRUE(ring.write(in.data(), 50));
        ASSERT_EQ(ring.read(out.data(), 40), 40); // the read head at 40
        ASSERT_TRUE(
            ring.write(in.data() + 50, 30)); // wraps: 40 bytes held, 16 of them at the start
        ring.resize(newSize);
        EXPECT_EQ(ring.capacity(), std::max<size_t>(newSize, 40));
        ASSERT_TRUE(ring.write(in.data() + 80, std::min<size_t>(20, ring.capacity() - 40)));
        size_t got = 40;
        while (got < 40 + 40 + std::min<size_t>(20, ring.capacity() - 40)) {
            long n = ring.read(out.data() + got, 100 - got);
            ASSERT_GT(n, 0);
            got += size_t(n);
        }
        EXPECT_TRUE(std::equal(out.begin() + 40, out.begin() + long(got), in.begin() + 40));
        EXPECT_EQ(ring.consumed(), got);
    }
}

// What the output callback takes from a stream's ring: written over the
// buffer (the first stream) or added to it (the others), scaled by the
// volume, across the ring's end, with silence after what the ring held.
TEST(PcmRing, MixWritesOrAddsScaledAcrossTheEnd) {
    PcmRing ring(8);
    std::vector<float> in(40);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = float(i) + 1;
    std::vector<float> out(16, 100.0f);
    ASSERT_EQ(ring.write(in.data(), 6), 6u);
    ASSERT_EQ(ring.mixInto(out.data(), 6, 1.0f, true), 6u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 12, in.begin()));

    // Six more frames wrap around the end of the eight-frame ring.
    ASSERT_EQ(ring.write(in.data() + 12, 6), 6u);
    std::fill(out.begin(), out.end(), 100.0f);
    ASSERT_EQ(ring.mixInto(out.data(), 8, 0.5f, true), 6u);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(out[i], in[12 + i] * 0.5f) << i;
    for (size_t i = 12; i < 16; ++i)
        EXPECT_EQ(out[i], 0.0f) << i;

    ASSERT_EQ(ring.write(in.data() + 24, 4), 4u);
    std::fill(out.begin(), out.end(), 1.0f);
    ASSERT_EQ(ring.mixInto(out.data(), 5, 2.0f, false), 4u);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], 1.0f + in[24 + i] * 2.0f) << i;
    EXPECT_EQ(out[8], 1.0f);
    EXPECT_EQ(out[9], 1.0f);
    EXPECT_EQ(ring.framesPlayed(), 16u);
    EXPECT_EQ(ring.availableFrames(), 0u);
}
