// Every kind of radio stream Quorane meets plays from a real server over a
// real socket, with its headers and titles reported the way the player reads
// them.
#include "EngineTestSupport.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

struct Kind {
    const char *name;
    const char *sample;
    const char *contentType;
    bool shoutcast;
};

// Serves a sample at about its own bitrate, as a radio would.
StreamMount pacedMount(const Kind &k) {
    StreamMount m = radioMount(k.sample, k.contentType, k.shoutcast);
    auto bytes = std::filesystem::file_size(fixtureAudio(k.sample));
    m.bytesPerSecond = static_cast<int>(bytes / 10 * 12 / 10); // samples last 10 s
    return m;
}

QWORD filePos(DWORD ch, DWORD mode) {
    return BASS_StreamGetFilePosition(ch, mode);
}

class StreamKinds : public ::testing::TestWithParam<Kind> {};

TEST_P(StreamKinds, PlaysWithHeadersOfTheRightKind) {
    const Kind &k = GetParam();
    IcyServer server;
    server.addStream("/live", pacedMount(k));
    EngineSession engine;
    ASSERT_TRUE(engine.ok());

    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << "error " << BASS_ErrorGetCode();
    EXPECT_NE(server.lastRequestHeaders("/live").find("Icy-MetaData: 1\r\n"), std::string::npos);

    // The header list comes back under the tag kind that matches the status
    // line, starting with that line, byte for byte.
    const char *icy = BASS_ChannelGetTags(ch, BASS_TAG_ICY);
    const char *http = BASS_ChannelGetTags(ch, BASS_TAG_HTTP);
    const char *tags = k.shoutcast ? icy : http;
    EXPECT_EQ(k.shoutcast ? http : icy, nullptr);
    ASSERT_NE(tags, nullptr);
    std::vector<std::string> lines = tagLines(tags);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), k.shoutcast ? "ICY 200 OK" : "HTTP/1.0 200 OK");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-name:Quorane Test FM"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "icy-br:128"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("Content-Type: ") + k.contentType),
              lines.end());

    // 5 s at the announced 128 kbit/s (an Ogg stream's pages tell its real
    // rate, far lower for these tones); the burst fills it beyond the share
    // the player waits for before it starts playing.
    const bool ogg = std::string(k.sample).find(".o") != std::string::npos;
    if (ogg)
        EXPECT_TRUE(waitUntil([&] { return filePos(ch, BASS_FILEPOS_END) < 80000u; }, 5s));
    else
        EXPECT_EQ(filePos(ch, BASS_FILEPOS_END), 80000u);
    EXPECT_TRUE(waitUntil(
        [&] {
            QWORD end = filePos(ch, BASS_FILEPOS_END);
            QWORD down = filePos(ch, BASS_FILEPOS_DOWNLOAD);
            QWORD cur = filePos(ch, BASS_FILEPOS_CURRENT);
            return down >= cur && (down - cur) * 100 / end > 75;
        },
        10s));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
    // Until it plays, the decoder takes no more than its first audio needs
    // (a few frames of MP3 or AAC labelled as such): the rest counts as
    // buffered.
    std::this_thread::sleep_for(200ms);
    const QWORD taken = filePos(ch, BASS_FILEPOS_CURRENT);
    const std::string type = k.contentType;
    if (type == "audio/mpeg" || type.rfind("audio/aac", 0) == 0) {
        EXPECT_LE(taken, 3072u);
    }
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(filePos(ch, BASS_FILEPOS_CURRENT), taken);

    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    // Playing drains decoded audio, so the decoder consumes more of the stream.
    QWORD consumed = filePos(ch, BASS_FILEPOS_CURRENT);
    EXPECT_TRUE(waitUntil([&] { return filePos(ch, BASS_FILEPOS_CURRENT) > consumed; }, 10s));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);

    EXPECT_TRUE(BASS_ChannelStop(ch));
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_STOPPED);
    EXPECT_TRUE(BASS_StreamFree(ch));
    // A freed handle is dead for good.
    EXPECT_EQ(BASS_ChannelGetTags(ch, BASS_TAG_ICY), nullptr);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_StreamFree(ch));
    EXPECT_EQ(filePos(ch, BASS_FILEPOS_END), 0xFFFFFFFFFFFFFFFFull);
}

INSTANTIATE_TEST_SUITE_P(
    Radio, StreamKinds,
    ::testing::Values(Kind{"Mp3Shoutcast", "tone440.mp3", "audio/mpeg", true},
                      Kind{"Mp3Icecast", "tone440.mp3", "audio/mpeg", false},
                      Kind{"AacShoutcast", "tone440.aac", "audio/aacp", true},
                      Kind{"AacIcecast", "tone440.aac", "audio/aac", false},
                      Kind{"VorbisIcecast", "tone440.ogg", "application/ogg", false},
                      Kind{"OpusIcecast", "tone440.opus", "audio/ogg", false},
                      Kind{"FlacIcecast", "tone440.flac", "audio/flac", false},
                      Kind{"Mp3UnknownType", "tone440.mp3", "application/octet-stream", false}),
    [](const auto &info) { return std::string(info.param.name); });

// An Ogg station only seconds on air: its burst is short, and its codec
// takes far less than the 128 kbit/s the server announces. Sized from the
// rate its pages show, the buffer is past the player's three quarters within
// moments of the open, not after the player's 5 s bound.
TEST(OggStation, OnlySecondsOnAirSizesItsBufferFromItsPages) {
    IcyServer server;
    StreamMount m = radioMount("tone440.ogg", "application/ogg", false);
    const int rate = static_cast<int>(std::filesystem::file_size(fixtureAudio("tone440.ogg")) / 10);
    m.bytesPerSecond = rate;
    m.burstBytes = 4 * static_cast<size_t>(rate); // on air for 4 s
    server.addStream("/ogg", m);
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    const auto start = std::chrono::steady_clock::now();
    DWORD ch = BASS_StreamCreateURL(server.url("/ogg").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    // 5 s of its sound pages, which carry a little less than the file's
    // average (that includes the codec's headers).
    EXPECT_TRUE(waitUntil([&] { return filePos(ch, BASS_FILEPOS_END) < 80000u; }, 3s));
    const QWORD end = filePos(ch, BASS_FILEPOS_END);
    EXPECT_GT(end, 5u * rate * 7 / 10);
    EXPECT_LT(end, 5u * rate * 11 / 10);
    EXPECT_TRUE(waitUntil(
        [&] {
            QWORD down = filePos(ch, BASS_FILEPOS_DOWNLOAD);
            QWORD cur = filePos(ch, BASS_FILEPOS_CURRENT);
            return down >= cur && (down - cur) * 100 / filePos(ch, BASS_FILEPOS_END) > 75;
        },
        5s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

bool libavformatMapped() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("/libavformat.so") != std::string::npos)
            return true;
    return false;
}

// Opens and plays `path` served as `type` until the decoder has moved on in it.
void playFor(const std::string &path, const char *type) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", type, false);
    m.audioFile = path;
    server.addStream("/live", m);
    DWORD ch = BASS_StreamCreateURL(server.url("/live").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << type << ": error " << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    QWORD consumed = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
    EXPECT_TRUE(waitUntil(
        [&] { return BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT) > consumed + 20000; },
        10s))
        << type;
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING) << type;
    BASS_StreamFree(ch);
}

// Bare MP3 and ADTS, what most stations send, are framed by the codec
// library alone; the container library (and what it pulls in, megabytes of
// resident memory) is loaded only for a stream that needs it, here an MP3
// file with an ID3 tag in front, which still plays.
TEST(FormatLibrary, LoadedOnlyForAStreamThatNeedsAContainerDemuxer) {
    if (libavformatMapped())
        GTEST_SKIP() << "libavformat was loaded before this test (run it alone, as ctest does)";
    EngineSession engine;
    ASSERT_TRUE(engine.ok());
    playFor(fixtureAudio("tone440.mp3"), "audio/mpeg");
    playFor(fixtureAudio("tone440.aac"), "audio/aac");
    EXPECT_FALSE(libavformatMapped());

    // ID3v2.3 with one TIT2 frame, then the MP3 itself.
    std::string title = "Tagged";
    std::string frame = "TIT2" + std::string("\0\0\0", 3) + char(title.size() + 1) +
                        std::string("\0\0\0", 3) + title;
    std::string tag = "ID3" + std::string("\x03\0\0\0\0\0", 6) + char(frame.size()) + frame;
    std::ifstream in(fixtureAudio("tone440.mp3"), std::ios::binary);
    std::string mp3((std::istreambuf_iterator<char>(in)), {});
    std::string path = "/tmp/quorane-id3-" + std::to_string(getpid()) + ".mp3";
    std::ofstream(path, std::ios::binary) << tag << mp3;
    playFor(path, "audio/mpeg");
    std::filesystem::remove(path);
    EXPECT_TRUE(libavformatMapped());
}

// Titles in ICY metadata reach the notification once each, in order, and the
// block read back is the one just announced.
TEST(StreamTitles, IcyTitlesArriveInOrder) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.metaint = 4096;
    m.titles = {"Alpha", "Beta", "Gamma"};
    m.titleEveryMs = 400;
    m.bytesPerSecond = 32000;
    server.addStream("/meta", m);
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(server.url("/meta").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u);
    MetaRecorder rec;
    EXPECT_NE(rec.attach(ch), 0u);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));

    std::vector<std::string> blocks = rec.waitFor(5, 15s);
    ASSERT_GE(blocks.size(), 5u);
    const std::vector<std::string> cycle = {"Alpha", "Beta", "Gamma"};
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].rfind("StreamTitle='", 0), 0u) << blocks[i];
        if (i == 0)
            continue;
        auto prev = std::find(cycle.begin(), cycle.end(), titleOf(blocks[i - 1]));
        ASSERT_NE(prev, cycle.end()) << blocks[i - 1];
        EXPECT_EQ(titleOf(blocks[i]), cycle[(prev - cycle.begin() + 1) % 3]) << "block " << i;
    }
    EXPECT_TRUE(BASS_StreamFree(ch));
    // No notification after the stream was freed.
    size_t seen = rec.blocks().size();
    std::this_thread::sleep_for(600ms);
    EXPECT_EQ(rec.blocks().size(), seen);
}

// Ogg radios send no ICY metadata; each new song is a new logical stream
// whose comments name it. Those titles are reported like ICY ones.
class ChainedTitles : public ::testing::TestWithParam<const char *> {};

TEST_P(ChainedTitles, CommentsBecomeStreamTitles) {
    IcyServer server;
    StreamMount m;
    m.audioFile = fixtureAudio(GetParam());
    m.contentType = "audio/ogg";
    m.icyName = "Chain FM";
    auto bytes = std::filesystem::file_size(m.audioFile);
    m.bytesPerSecond = static_cast<int>(bytes / 6 * 2); // 6 s of sections, twice real time
    m.burstBytes = 8192;
    server.addStream("/chain.ogg", m);
    EngineSession engine;
    DWORD ch = BASS_StreamCreateURL(server.url("/chain.ogg").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    MetaRecorder rec;
    rec.attach(ch);
    // Nothing is announced before it is heard, the header's title included.
    EXPECT_EQ(BASS_ChannelGetTags(ch, BASS_TAG_META), nullptr);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));

    std::vector<std::string> blocks = rec.waitFor(5, 20s);
    ASSERT_GE(blocks.size(), 5u);
    const std::vector<std::string> cycle = {"A - One", "B - Two", "C - Three"};
    for (size_t i = 1; i < blocks.size(); ++i) {
        auto prev = std::find(cycle.begin(), cycle.end(), titleOf(blocks[i - 1]));
        ASSERT_NE(prev, cycle.end()) << blocks[i - 1];
        EXPECT_EQ(titleOf(blocks[i]), cycle[(prev - cycle.begin() + 1) % 3]) << "block " << i;
    }
    // The decoder carried on across every section boundary.
    EXPECT_EQ(BASS_ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    BASS_StreamFree(ch);
}

// The download buffer holds about 5 s at the announced bitrate, never less
// than 64 KiB; a download of known length is measured by that length.
TEST(DownloadBuffer, SizedByBitrateOrLength) {
    IcyServer server;
    const std::vector<std::pair<std::string, QWORD>> rates = {
        {"320", 200000}, {"", 80000}, {"32", 65536}, {"64", 65536}, {"192", 120000}};
    for (size_t i = 0; i < rates.size(); ++i) {
        StreamMount m = radioMount("tone440.mp3", "audio/mpeg", i % 2 == 0);
        m.icyBr = rates[i].first;
        server.addStream("/r" + std::to_string(i), m);
    }
    std::ifstream in(fixtureAudio("tone440.mp3"), std::ios::binary);
    std::string song((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    server.addFile("/song.mp3", "audio/mpeg", song);

    EngineSession engine;
    for (size_t i = 0; i < rates.size(); ++i) {
        DWORD ch = BASS_StreamCreateURL(server.url("/r" + std::to_string(i)).c_str(), 0, 0, nullptr,
                                        nullptr);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END), rates[i].second)
            << "icy-br:" << rates[i].first;
        EXPECT_EQ(BASS_StreamGetFilePosition(ch, 3), 0xFFFFFFFFFFFFFFFFull);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
        BASS_StreamFree(ch);
    }

    // A whole file: downloaded completely, then played to its end.
    DWORD ch = BASS_StreamCreateURL(server.url("/song.mp3").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END), song.size());
    EXPECT_TRUE(waitUntil(
        [&] { return BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD) == song.size(); }, 10s));
    BASS_StreamFree(ch);
}

// The download callback sees the raw body, metadata included; BASS_Free
// releases every stream, and no notification follows it.
TEST(StreamLifetime, FreeReleasesEveryStreamAndItsNotifications) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.metaint = 2048;
    m.titles = {"One", "Two"};
    m.titleEveryMs = 200;
    m.bytesPerSecond = 64000;
    server.addStream("/a", m);
    server.addStream("/b", m);
    std::atomic<uint64_t> raw{0};
    auto counter = [](const void *, DWORD length, void *user) {
        *static_cast<std::atomic<uint64_t> *>(user) += length;
    };
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    DWORD a = BASS_StreamCreateURL(server.url("/a").c_str(), 0, 0, counter, &raw);
    DWORD b = BASS_StreamCreateURL(server.url("/b").c_str(), 0, 0, nullptr, nullptr);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(a, b);
    MetaRecorder ra, rb;
    ra.attach(a);
    rb.attach(b);
    BASS_ChannelPlay(a, FALSE);
    BASS_ChannelPlay(b, FALSE);
    EXPECT_GE(ra.waitFor(2, 10s).size(), 2u);
    EXPECT_GE(rb.waitFor(2, 10s).size(), 2u);
    EXPECT_TRUE(BASS_Free());
    // Metadata bytes came through the callback too.
    EXPECT_GT(raw.load(), 0u);
    size_t seenA = ra.blocks().size(), seenB = rb.blocks().size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ra.blocks().size(), seenA);
    EXPECT_EQ(rb.blocks().size(), seenB);
    for (DWORD h : {a, b}) {
        EXPECT_EQ(BASS_ChannelIsActive(h), (DWORD)BASS_ACTIVE_STOPPED);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    }
    // Handles are never handed out twice, not even after a restart.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    DWORD c = BASS_StreamCreateURL(server.url("/a").c_str(), 0, 0, nullptr, nullptr);
    EXPECT_NE(c, 0u);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_TRUE(BASS_Free());
}

// Station hopping: streams opened, notified and freed in quick succession,
// with metadata arriving all the while (run under AddressSanitizer too).
TEST(StreamLifetime, RapidStationChangesStayClean) {
    IcyServer server;
    StreamMount m = radioMount("tone440.mp3", "audio/mpeg", true);
    m.metaint = 512;
    m.titles = {"A", "B", "C"};
    m.titleEveryMs = 20;
    m.bytesPerSecond = 0; // as fast as possible: blocks all the time
    server.addStream("/hop", m);
    EngineSession engine;
    MetaRecorder rec; // outlives every stream it is attached to
    DWORD previous = 0;
    for (int i = 0; i < 25; ++i) {
        BASS_StreamFree(previous);
        DWORD ch = BASS_StreamCreateURL(server.url("/hop").c_str(), 0, 0, nullptr, nullptr);
        ASSERT_NE(ch, 0u) << "round " << i << " error " << BASS_ErrorGetCode();
        EXPECT_GT(ch, previous);
        rec.attach(ch);
        BASS_ChannelPlay(ch, FALSE);
        std::this_thread::sleep_for(std::chrono::milliseconds(i % 5 * 10));
        previous = ch;
    }
    // The last one plays on long enough to announce what it hears.
    EXPECT_TRUE(
        waitUntil([&] { return BASS_ChannelGetTags(previous, BASS_TAG_META) != nullptr; }, 10s));
    EXPECT_TRUE(BASS_StreamFree(previous));
    EXPECT_EQ(server.connections("/hop"), 25);
}

INSTANTIATE_TEST_SUITE_P(Ogg, ChainedTitles, ::testing::Values("chained.ogg", "chained.opus"),
                         [](const auto &info) {
                             return std::string(info.param).substr(8); // "ogg" / "opus"
                         });

} // namespace
