// Live HLS stations from the fixture's live server on 127.0.0.1: segments made
// by ffmpeg's HLS muxer at build time, published in real time in a sliding
// window. What reaches the output is captured by SDL's disk driver.
#include "DiskCapture.h"
#include "EngineTestSupport.h"
#include "HlsServer.h"
#include "common/SanitizerBounds.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRate = 44100;
constexpr size_t kWin = kRate / 20; // 50 ms windows

DWORD open(const std::string &url) {
    return BASS_StreamCreateURL(url.c_str(), 0, 0, nullptr, nullptr);
}

HlsLive live(const std::string &kind, const std::string &type) {
    HlsLive l;
    l.segmentFiles = hlsSegments(kind);
    l.contentType = type;
    if (kind == "fmp4-aac") {
        l.initFile = l.segmentFiles.front();
        l.initFile.replace(l.initFile.rfind('/') + 1, std::string::npos, "init.mp4");
    }
    return l;
}

// The segments the client asked for, by sequence number, in order.
std::vector<long> segmentRequests(const HlsServer &server, const std::string &dir) {
    std::vector<long> out;
    for (const std::string &p : server.requests())
        if (p.rfind(dir + "/seg", 0) == 0)
            out.push_back(std::strtol(p.c_str() + dir.size() + 4, nullptr, 10));
    return out;
}

// Waits until the client has asked for segment `n` under dir.
bool segmentAsked(const HlsServer &server, const std::string &dir, long n,
                  std::chrono::milliseconds limit) {
    return waitUntil(
        [&] {
            std::vector<long> segs = segmentRequests(server, dir);
            return std::find(segs.begin(), segs.end(), n) != segs.end();
        },
        limit);
}

// Windows from the first sound to the last: how many carry the 440 Hz tone
// and how many do not (a gap, a click of silence, another sound).
struct ToneRun {
    size_t toneWindows = 0;
    size_t badWindows = 0;
    size_t firstBad = 0; // index of the first bad window, in windows from the start
};
ToneRun toneRun(const std::vector<float> &s) {
    ToneRun r;
    size_t first = 0, last = s.size() / kWin;
    while (first < last && rms(s, first * kWin, kWin) < 0.01)
        ++first;
    while (last > first && rms(s, (last - 1) * kWin, kWin) < 0.01)
        --last;
    // The window where the sound starts and the one where it stops are partial.
    for (size_t w = first + 1; w + 1 < last; ++w) {
        bool tone = rms(s, w * kWin, kWin) > 0.03 && toneShare(s, w * kWin, kWin, 440, kRate) > 0.6;
        if (tone) {
            ++r.toneWindows;
        } else if (r.badWindows++ == 0) {
            r.firstBad = w;
        }
    }
    return r;
}

TEST(HlsLive, PlaysAMinuteWithoutAGapAndShowsItsTitles) {
    // The longest test of the sanitizer runs, and nothing in it runs there
    // that the ten-second live test below and the title tests do not: the
    // same reloads of a sliding window, TS segments, AAC and #EXTINF titles.
    // What only this minute adds is a claim about time (no gap for a whole
    // minute), which the sanitizers' slower code cannot judge any better.
    if (UnderSanitizer)
        GTEST_SKIP() << "a minute of what the shorter live tests run; not again under a sanitizer";
    HlsServer server;
    HlsLive l = live("ts-aac", "video/mp2t");
    // A song is five segments (10 s) long; #EXTINF carries the titles.
    for (const char *song : {"Artist One - Song One", "Artist Two - Song Two"})
        for (int i = 0; i < 5; ++i)
            l.extinfTitles.push_back(song);
    server.addLive("/live", l);
    DiskOutput disk;
    MetaRecorder meta;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = open(server.url("/live/index.m3u8"));
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        meta.attach(ch);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        std::this_thread::sleep_for(61s);
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        BASS_StreamFree(ch);
    }
    ToneRun run = toneRun(disk.left());
    EXPECT_GT(run.toneWindows, 60u * 20 - 20) << "a minute of tone";
    EXPECT_EQ(run.badWindows, 0u) << "first gap at " << run.firstBad * 0.05 << " s";

    // Five or six song changes in a minute, alternating, none twice in a row.
    std::vector<std::string> blocks = meta.blocks();
    EXPECT_GE(blocks.size(), 5u);
    for (size_t i = 1; i < blocks.size(); ++i)
        EXPECT_NE(titleOf(blocks[i]), titleOf(blocks[i - 1])) << i;
    for (const std::string &b : blocks)
        EXPECT_TRUE(titleOf(b) == "Artist One - Song One" || titleOf(b) == "Artist Two - Song Two")
            << b;
    // The client kept to the live window: never a segment twice, none left out.
    std::vector<long> segs = segmentRequests(server, "/live");
    ASSERT_FALSE(segs.empty());
    EXPECT_EQ(segs.front(), 2) << "three segments before the live edge (0..4)";
    for (size_t i = 1; i < segs.size(); ++i)
        EXPECT_EQ(segs[i], segs[i - 1] + 1);
}

// Broadcasters with hours of rewind or long tokenised segment addresses
// serve playlists far beyond 64 KiB, reloaded every segment. Over 2,000
// segments here make about 95 KB; play starts three before the live edge.
// Ten seconds by default; QUORANE_HLS_LIVE_SECONDS plays longer.
TEST(HlsLive, APlaylistOf2000SegmentsPlaysAtTheLiveEdge) {
    HlsServer server;
    HlsLive l = live("ts-aac", "video/mp2t");
    // The segment files loop, and the last one is a short tail: play starts
    // on the third file, as in the test above, so a minute never wraps.
    const long files = static_cast<long>(l.segmentFiles.size());
    long window = 2003;
    while ((window - 3) % files != 2)
        ++window;
    l.window = static_cast<int>(window);
    l.segmentQuery = "?token=5f3a9c0e17b2d4c8e6";
    server.addLive("/live", l);
    const auto started = std::chrono::steady_clock::now();
    const char *asked = std::getenv("QUORANE_HLS_LIVE_SECONDS");
    const long seconds = std::max(10L, asked ? std::strtol(asked, nullptr, 10) : 0L);
    const long lastSegment = window - 1 + seconds / 2;
    DiskOutput disk;
    long edge = 0;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = open(server.url("/live/index.m3u8"));
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        // The segment the server publishes `seconds` from now, fetched when
        // it appears: the playlist was reloaded all the while.
        EXPECT_TRUE(segmentAsked(server, "/live", lastSegment, std::chrono::seconds(seconds + 10)));
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        edge =
            window - 1 +
            static_cast<long>(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() /
                2);
        BASS_StreamFree(ch);
    }
    std::vector<long> segs = segmentRequests(server, "/live");
    ASSERT_FALSE(segs.empty());
    EXPECT_EQ(segs.front(), window - 3) << "three segments before the live edge";
    for (size_t i = 1; i < segs.size(); ++i)
        EXPECT_EQ(segs[i], segs[i - 1] + 1);
    EXPECT_GE(segs.back(), edge - 1) << "fell behind the live edge";
    const std::vector<std::string> all = server.requests();
    EXPECT_GE(std::count(all.begin(), all.end(), "/live/index.m3u8"), seconds / 2)
        << "reloads of the playlist";
    ToneRun run = toneRun(disk.left());
    std::printf("%ld segments listed; segments %ld to %ld fetched in order, live edge %ld; %ld "
                "playlist loads; %.2f s of tone, %zu gaps\n",
                window, segs.front(), segs.back(), edge,
                static_cast<long>(std::count(all.begin(), all.end(), "/live/index.m3u8")),
                static_cast<double>(run.toneWindows) * 0.05, run.badWindows);
    EXPECT_GT(run.toneWindows, static_cast<size_t>(seconds) * 15) << "seconds of tone";
    EXPECT_EQ(run.badWindows, 0u) << "first gap at " << run.firstBad * 0.05 << " s";
}

// An encoder that starts anew after a discontinuity writes a new init
// section, under another address or as another byte range of one resource:
// it is fetched once, when the playlist first names it, and put in before
// the segments that need it; the sound goes on. A server that answers a
// byte range with the whole resource has the range cut out of it.
enum class InitForm { Address, ByteRange, ByteRangeIgnored };
class HlsInitChange : public ::testing::TestWithParam<InitForm> {};

TEST_P(HlsInitChange, TheNewInitSectionIsFetchedOnceAndPlayGoesOn) {
    const bool byteRanges = GetParam() != InitForm::Address;
    HlsServer server;
    HlsLive l = live("fmp4-aac", "video/mp4");
    l.initChangeAt = 3; // play starts at 2: the change comes with the next segment
    l.initByteRanges = byteRanges;
    l.ignoreRanges = GetParam() == InitForm::ByteRangeIgnored;
    server.addLive("/live", l);
    const std::string init = fileBytes(l.initFile);
    ASSERT_FALSE(init.empty());
    const std::string n = std::to_string(init.size());
    const std::string first = byteRanges
                                  ? "/live/inits.mp4 bytes=0-" + std::to_string(init.size() - 1)
                                  : "/live/init.mp4";
    const std::string second =
        byteRanges ? "/live/inits.mp4 bytes=" + n + "-" + std::to_string(2 * init.size() - 1)
                   : "/live/init2.mp4";
    // The bytes the decoder is given, as they go in.
    struct Received {
        std::mutex mutex;
        std::string bytes;
        static void add(const void *data, DWORD length, void *user) {
            auto *self = static_cast<Received *>(user);
            std::lock_guard lock(self->mutex);
            self->bytes.append(static_cast<const char *>(data), length);
        }
    } received;
    DiskOutput disk;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = BASS_StreamCreateURL(server.url("/live/index.m3u8").c_str(), 0, 0,
                                        &Received::add, &received);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        EXPECT_TRUE(segmentAsked(server, "/live", 6, 15s));
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        BASS_StreamFree(ch);
    }
    // In order: the first init section, segment 2, the second init section,
    // segments 3, 4, 5; nothing twice.
    std::vector<std::string> fetched;
    for (const std::string &p : server.requests())
        if (p.find("/index.m3u8") == std::string::npos)
            fetched.push_back(p);
    ASSERT_GE(fetched.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(fetched.begin(), fetched.begin() + 6),
              (std::vector<std::string>{first, "/live/seg2", second, "/live/seg3", "/live/seg4",
                                        "/live/seg5"}));
    EXPECT_EQ(std::count(fetched.begin(), fetched.end(), second), 1);
    // Exactly one init section before each run of segments that needs it
    // (the playlist's own bytes come first).
    const std::string seg2 = fileBytes(l.segmentFiles[2]), seg3 = fileBytes(l.segmentFiles[3]);
    const std::string sent = init + seg2 + init + seg3;
    const size_t start = received.bytes.find(init);
    ASSERT_NE(start, std::string::npos) << "no init section in the stream";
    EXPECT_TRUE(received.bytes.compare(start, sent.size(), sent) == 0)
        << "the stream's first bytes are not as sent";
    ToneRun run = toneRun(disk.left());
    EXPECT_GT(run.toneWindows, 40u) << "seconds of tone";
    EXPECT_EQ(run.badWindows, 0u) << "first gap at " << run.firstBad * 0.05 << " s";
}

INSTANTIATE_TEST_SUITE_P(Hls, HlsInitChange,
                         ::testing::Values(InitForm::Address, InitForm::ByteRange,
                                           InitForm::ByteRangeIgnored),
                         [](const auto &info) {
                             return info.param == InitForm::Address     ? "Address"
                                    : info.param == InitForm::ByteRange ? "ByteRange"
                                                                        : "ByteRangeIgnored";
                         });

// Every kind of segment plays, and its tone reaches the output.
struct Form {
    const char *kind;
    const char *type;
};
void PrintTo(const Form &f, std::ostream *os) {
    *os << f.kind;
}
class HlsForms : public ::testing::TestWithParam<Form> {};

TEST_P(HlsForms, EachPlaysItsTone) {
    HlsServer server;
    server.addLive("/live", live(GetParam().kind, GetParam().type));
    DiskOutput disk;
    {
        EngineSession engine(-1, kRate);
        ASSERT_TRUE(engine.ok());
        DWORD ch = open(server.url("/live/index.m3u8"));
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        // The bitrate shows as for any station: here the segments' own
        // (the fixtures' segments are encoded at 96 or 128 kbit/s).
        std::vector<std::string> lines = tagLines(BASS_ChannelGetTags(ch, BASS_TAG_HTTP));
        auto br = std::find_if(lines.begin(), lines.end(),
                               [](const std::string &l) { return l.rfind("icy-br:", 0) == 0; });
        ASSERT_NE(br, lines.end());
        long kbps = std::strtol(br->c_str() + 7, nullptr, 10);
        EXPECT_GE(kbps, 80);
        EXPECT_LE(kbps, 160);
        // The buffer reads as for any stream: the player's buffer wait works.
        EXPECT_GT(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END), 0u);
        EXPECT_GT(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD),
                  BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT));
        std::this_thread::sleep_for(3s);
        EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
        BASS_StreamFree(ch);
    }
    std::vector<float> s = disk.left();
    ToneRun run = toneRun(s);
    EXPECT_GT(run.toneWindows, 40u);
    EXPECT_EQ(run.badWindows, 0u) << "first gap at " << run.firstBad * 0.05 << " s";
}

INSTANTIATE_TEST_SUITE_P(Segments, HlsForms,
                         ::testing::Values(Form{"ts-aac", "video/mp2t"},
                                           Form{"fmp4-aac", "video/mp4"},
                                           Form{"ts-mp3", "video/mp2t"}, Form{"adts", "audio/aac"}),
                         [](const auto &info) {
                             std::string n = info.param.kind;
                             n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                             return n;
                         });

// A title shown, and when: seconds after the play command.
struct Seen {
    std::string title;
    double at;
};
const std::vector<std::string> kSongOrder = {"Ärtist - First", "Band - Second", "Choir - Third"};
const std::vector<std::pair<std::string, std::string>> kSongs = {
    {"Ärtist", "First"}, {"Band", "Second"}, {"Choir", "Third"}};

// Plays the live stream at `url` for 15 s and returns each title change; the
// titles must follow kSongOrder from wherever they start.
std::vector<Seen> titleChanges(const std::string &url) {
    std::vector<Seen> seen;
    EngineSession engine;
    EXPECT_TRUE(engine.ok());
    DWORD ch = open(url);
    EXPECT_NE(ch, 0u) << BASS_ErrorGetCode();
    if (!ch || !BASS_ChannelPlay(ch, FALSE))
        return seen;
    auto played = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < played + 15s) {
        const char *b = BASS_ChannelGetTags(ch, BASS_TAG_META);
        std::string t = b ? titleOf(b) : "";
        double at =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - played).count();
        if (!t.empty() && (seen.empty() || seen.back().title != t))
            seen.push_back({t, at});
        std::this_thread::sleep_for(20ms);
    }
    BASS_StreamFree(ch);
    if (seen.empty())
        return seen;
    auto pos = std::find(kSongOrder.begin(), kSongOrder.end(), seen[0].title);
    EXPECT_NE(pos, kSongOrder.end()) << seen[0].title;
    size_t k = static_cast<size_t>(pos - kSongOrder.begin());
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_EQ(seen[i].title, kSongOrder[(k + i) % kSongOrder.size()]) << i;
    return seen;
}

TEST(HlsTitles, Id3SongsOfPackedAudioChangeOnSchedule) {
    HlsServer server;
    HlsLive l = live("adts", "audio/aac");
    l.id3Songs = kSongs;
    l.songSegments = 2; // a song every 4 s
    server.addLive("/live", l);
    std::vector<Seen> seen = titleChanges(server.url("/live/index.m3u8"));
    ASSERT_GE(seen.size(), 4u);
    // After the start-up burst the songs change every 4 s, as the server says.
    for (size_t i = 3; i < seen.size(); ++i)
        EXPECT_NEAR(seen[i].at - seen[i - 1].at, 4.0, 1.0) << i;
}

// MPEG-TS segments announce their songs as timed ID3 part way into the
// segment where each song starts; the #EXTINF titles beside them are stale.
TEST(HlsTitles, TimedId3InTsChangesOnScheduleAheadOfExtinf) {
    HlsServer server;
    HlsLive l = live("ts-aac", "video/mp2t");
    l.id3Songs = kSongs;
    l.songSegments = 2; // a song every 4 s, starting 1 s into its first segment
    l.id3AtSeconds = 1.0;
    l.extinfTitles = {"Stale - Extinf"};
    server.addLive("/live", l);
    std::vector<Seen> seen = titleChanges(server.url("/live/index.m3u8"));
    ASSERT_GE(seen.size(), 3u);
    // Play starts at segment 2, whose song starts 1 s into it: that title is
    // shown 1 s after the sound starts, the next ones every 4 s after it.
    for (size_t i = 0; i < seen.size(); ++i)
        EXPECT_NEAR(seen[i].at, 1.0 + 4.0 * static_cast<double>(i), 0.7) << seen[i].title;
}

TEST(HlsMaster, PicksTheAudioOnlyVariantClosestTo128k) {
    HlsServer server;
    for (const char *dir : {"/lo", "/vid", "/hi", "/top"})
        server.addLive(dir, live("adts", "audio/aac"));
    server.addFile("/master.m3u8", "application/vnd.apple.mpegurl",
                   "#EXTM3U\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.5\"\nlo/index.m3u8\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=130000,CODECS=\"avc1.42e00a,mp4a.40.2\"\n"
                   "vid/index.m3u8\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=160000,CODECS=\"mp4a.40.2\"\nhi/index.m3u8\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=320000,CODECS=\"mp4a.40.2\"\n" +
                       server.url("/top/index.m3u8") + "\n");
    // Without CODECS every variant counts; the nearest is 140k.
    server.addFile("/plain.m3u8", "audio/mpegurl",
                   "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=96000\nlo/index.m3u8\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=140000\nhi/index.m3u8\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=256000\ntop/index.m3u8\n");
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    auto playlistsAsked = [&] {
        std::vector<std::string> out;
        for (const std::string &p : server.requests())
            if (p.find("/index.m3u8") != std::string::npos)
                out.push_back(p.substr(0, p.find('/', 1)));
        return out;
    };
    DWORD ch = open(server.url("/master.m3u8"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    std::vector<std::string> asked = playlistsAsked();
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "/hi");
    EXPECT_TRUE(std::all_of(asked.begin(), asked.end(), [](auto &p) { return p == "/hi"; }));
    // The variant's bandwidth is the bitrate shown.
    std::vector<std::string> lines = tagLines(BASS_ChannelGetTags(ch, BASS_TAG_HTTP));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-br:160"), lines.end());
    BASS_StreamFree(ch);

    size_t before = playlistsAsked().size();
    ch = open(server.url("/plain.m3u8"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    asked = playlistsAsked();
    ASSERT_GT(asked.size(), before);
    EXPECT_EQ(asked[before], "/hi");
    BASS_StreamFree(ch);
}

TEST(HlsFailures, StalledPlaylistCountsAsDroppedAndComesBackAtTheLiveEdge) {
    HlsServer server;
    HlsLive l = live("ts-aac", "video/mp2t");
    l.stallAfterSeconds = 3;
    l.stallForSeconds = 12; // longer than the buffer: the sound stops meanwhile
    server.addLive("/live", l);
    server.addFile("/station.m3u8", "application/vnd.apple.mpegurl",
                   "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=96000\nlive/index.m3u8\n");
    auto stationAsked = [&] {
        std::vector<std::string> r = server.requests();
        return std::count(r.begin(), r.end(), "/station.m3u8");
    };
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    DWORD ch = open(server.url("/station.m3u8"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelIsActive(ch) == BASS_ACTIVE_STALLED; }, 20s));
    EXPECT_EQ(stationAsked(), 1);
    EXPECT_TRUE(waitUntil([&] { return BASS_ChannelIsActive(ch) == BASS_ACTIVE_PLAYING; }, 20s));
    // It came back the way a dropped station does: from its own address.
    EXPECT_GE(stationAsked(), 2);
    QWORD at = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
    EXPECT_TRUE(waitUntil(
        [&] { return BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT) > at + 24000; }, 10s));
    BASS_StreamFree(ch);
    // Back at the live edge: the segments published during the stall, which
    // have left the window, are not fetched one by one.
    std::vector<long> segs = segmentRequests(server, "/live");
    bool jumped = false;
    for (size_t i = 1; i < segs.size(); ++i) {
        EXPECT_GT(segs[i], segs[i - 1]);
        jumped = jumped || segs[i] > segs[i - 1] + 2;
    }
    EXPECT_TRUE(jumped);
}

TEST(HlsFailures, MissingSegmentIsSkipped) {
    HlsServer server;
    HlsLive l = live("adts", "audio/aac");
    l.missing = {4};
    server.addLive("/live", l);
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    DWORD ch = open(server.url("/live/index.m3u8"));
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_TRUE(segmentAsked(server, "/live", 6, 15s));
    std::vector<long> segs = segmentRequests(server, "/live");
    EXPECT_EQ(std::count(segs.begin(), segs.end(), 4), 1) << "asked once, then skipped";
    EXPECT_NE(std::find(segs.begin(), segs.end(), 5), segs.end());
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    BASS_StreamFree(ch);
}

// Up to the 4 MiB bound a playlist plays (40,000 segments make 3.8 MB);
// past it, it is no stream: the open fails as a format it does not play (not
// by a timeout), and no segment is fetched. Either is read twice: its
// beginning with the station's answer, then whole.
TEST(HlsFailures, APlaylistPlaysUpToTheBoundAndIsRefusedPastIt) {
    struct Case {
        int segments;
        bool plays;
    };
    for (const Case &c : {Case{40000, true}, Case{50000, false}}) {
        HlsServer server;
        HlsLive l = live("adts", "audio/aac");
        l.window = c.segments;
        l.segmentQuery = "?token=" + std::string(64, 'f');
        server.addLive("/live", l);
        EngineSession engine;
        ASSERT_TRUE(engine.ok());
        DWORD ch = open(server.url("/live/index.m3u8"));
        EXPECT_EQ(ch != 0, c.plays) << c.segments;
        if (ch)
            BASS_StreamFree(ch);
        else
            EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FORMAT) << "refused for what it is";
        EXPECT_EQ(segmentRequests(server, "/live").empty(), !c.plays) << c.segments;
        const std::vector<std::string> all = server.requests();
        EXPECT_EQ(std::count(all.begin(), all.end(), "/live/index.m3u8"), 2) << c.segments;
    }
}

TEST(HlsFailures, EncryptedSegmentsAreRefused) {
    HlsServer server;
    HlsLive l = live("ts-aac", "video/mp2t");
    l.encrypted = true;
    server.addLive("/live", l);
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(open(server.url("/live/index.m3u8")), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENCRYPTED);
    EXPECT_TRUE(segmentRequests(server, "/live").empty());
}

} // namespace
