// The HLS playlist reader and the ID3 tag reader on their own: the forms
// servers write, and input that is cut off or malformed.
#include "HlsPlaylist.h"
#include "HlsPlaylistReader.h"
#include "HlsServer.h"
#include "Id3Tag.h"

#include <gtest/gtest.h>

using quorane::engine::HlsPlaylist;
using quorane::engine::HlsPlaylistReader;
using quorane::engine::Id3Tag;

namespace {

std::string title(const std::string &tag) {
    return Id3Tag::titleBlock(reinterpret_cast<const uint8_t *>(tag.data()), tag.size());
}

TEST(HlsPlaylist, TellsHlsFromAPlainStationList) {
    EXPECT_TRUE(HlsPlaylist::isHls("#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\na.ts\n"));
    EXPECT_TRUE(
        HlsPlaylist::isHls("\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-STREAM-INF:BANDWIDTH=1\r\nx\r\n"));
    EXPECT_FALSE(HlsPlaylist::isHls("#EXTM3U\n#EXTINF:-1,Radio\nhttp://h/stream\n"));
    EXPECT_FALSE(HlsPlaylist::isHls("http://h/stream\n#EXT-X-TARGETDURATION:6\n"));
    EXPECT_FALSE(HlsPlaylist::isHls(""));
}

TEST(HlsPlaylist, MediaPlaylistSegmentsCarryWhatTheirTagsSay) {
    HlsPlaylist p =
        HlsPlaylist::parse("#EXTM3U\r\n#EXT-X-TARGETDURATION:4\r\n"
                           "#EXT-X-MEDIA-SEQUENCE:1000\r\n"
                           "#EXT-X-MAP:URI=\"init.mp4\"\r\n"
                           "#EXTINF:4.0,Plain Artist - Plain Song\r\nA.m4s\r\n"
                           "#EXTINF:3.96,title=\"Song, With Comma\",artist=\"Band\"\r\n"
                           "B.m4s\r\n"
                           "#EXT-X-KEY:METHOD=AES-128,URI=\"k\"\r\n#EXTINF:4,\r\nC.m4s\r\n"
                           "#EXT-X-KEY:METHOD=NONE\r\n#EXTINF:4\r\nD.m4s\r\n");
    EXPECT_FALSE(p.isMaster());
    EXPECT_EQ(p.targetDuration, 4);
    EXPECT_FALSE(p.endList);
    ASSERT_EQ(p.segments.size(), 4u);
    EXPECT_EQ(p.segments[0].uri, "A.m4s");
    EXPECT_EQ(p.segments[0].sequence, 1000);
    EXPECT_EQ(p.segments[3].sequence, 1003);
    EXPECT_EQ(p.segments[0].title, "Plain Artist - Plain Song");
    EXPECT_EQ(p.segments[1].title, "Band - Song, With Comma");
    EXPECT_DOUBLE_EQ(p.segments[1].duration, 3.96);
    EXPECT_EQ(p.segments[2].title, "");
    EXPECT_EQ(p.segments[3].title, "");
    EXPECT_EQ(p.segments[3].map.uri, "init.mp4");
    EXPECT_EQ(p.segments[3].map.length, -1) << "no BYTERANGE: the whole resource";
    EXPECT_FALSE(p.segments[1].encrypted);
    EXPECT_TRUE(p.segments[2].encrypted);
    EXPECT_FALSE(p.segments[3].encrypted);
    EXPECT_TRUE(HlsPlaylist::parse("#EXTM3U\n#EXTINF:2,\na\n#EXT-X-ENDLIST\n").endList);
}

TEST(HlsPlaylist, VariantChoiceWantsAudioOnlyNear128k) {
    auto pick = [](const std::string &body) {
        HlsPlaylist p = HlsPlaylist::parse(body);
        const HlsPlaylist::Variant *v = p.pickVariant();
        return v ? v->uri : std::string("<none>");
    };
    EXPECT_EQ(pick("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=48000,CODECS=\"mp4a.40.29\"\nv1\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=128000,CODECS=\"avc1.4d401f,mp4a.40.2\"\nv2\n"
                   "#EXT-X-STREAM-INF:CODECS=\"mp4a.40.2\",BANDWIDTH=320000\nv3\n"),
              "v1");
    // A tie goes to the smaller stream.
    EXPECT_EQ(pick("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=192000\nhigh\n"
                   "#EXT-X-STREAM-INF:BANDWIDTH=64000\nlow\n"),
              "low");
    EXPECT_EQ(pick("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=oops\nonly\n"), "only");
    EXPECT_EQ(pick("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\n"), "<none>") << "no URI line";
}

TEST(HlsPlaylist, BrokenInputNeverCrashes) {
    for (const char *body :
         {"#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=\"", "#EXTM3U\n#EXTINF:", "#EXTINF:x,title=\"",
          "#EXT-X-KEY:METHOD", "#EXT-X-MAP:URI=\"unterminated",
          "#EXT-X-MEDIA-SEQUENCE:", "#EXTM3U\n#EXT-X-STREAM-INF:CODECS=\",,\"\nx\n"}) {
        HlsPlaylist p = HlsPlaylist::parse(body);
        p.pickVariant();
    }
}

// Everything a segment carries, for comparing two readings.
std::string describe(const HlsPlaylist &p) {
    std::string d = std::to_string(p.hls) + std::to_string(p.endList) + " " +
                    std::to_string(p.targetDuration) + "\n";
    for (const HlsPlaylist::Variant &v : p.variants)
        d += "V " + v.uri + " " + std::to_string(v.bandwidth) + std::to_string(v.audioOnly) + "\n";
    for (const HlsPlaylist::Segment &s : p.segments)
        d += "S " + s.uri + " " + std::to_string(s.sequence) + " " + std::to_string(s.duration) +
             " " + s.title + " " + s.map.uri + "@" + std::to_string(s.map.offset) + "+" +
             std::to_string(s.map.length) + std::to_string(s.encrypted) + "\n";
    return d;
}

TEST(HlsPlaylistReader, PiecesOfAnySizeReadAsTheWhole) {
    const std::string body =
        "\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-TARGETDURATION:6\r\n"
        "#EXT-X-MEDIA-SEQUENCE:41\r\n#EXTINF:6.006,Artist - Song\r\n"
        "a/seg41.ts?token=abcdef\r\n\r\n#EXT-X-MAP:URI=\"i.mp4\",BYTERANGE=\"700@0\"\n"
        "#EXTINF:5.9,\nseg42.m4s\n#EXT-X-ENDLIST";
    HlsPlaylist whole = HlsPlaylist::parse(body);
    ASSERT_TRUE(whole.hls);
    ASSERT_EQ(whole.segments.size(), 2u) << "the byte-order mark is no segment";
    EXPECT_EQ(whole.segments[0].uri, "a/seg41.ts?token=abcdef");
    EXPECT_EQ(whole.segments[1].sequence, 42);
    EXPECT_TRUE(whole.endList) << "the last line counts without its line end";
    const std::string expected = describe(whole);
    for (size_t piece : {1, 2, 3, 7, 64}) {
        HlsPlaylistReader reader;
        for (size_t at = 0; at < body.size(); at += piece)
            reader.feed(std::string_view(body).substr(at, piece));
        EXPECT_EQ(describe(reader.finish()), expected) << "pieces of " << piece;
    }
    for (size_t cut = 0; cut <= body.size(); ++cut) {
        HlsPlaylistReader reader;
        reader.feed(std::string_view(body).substr(0, cut));
        reader.feed(std::string_view(body).substr(cut));
        EXPECT_EQ(describe(reader.finish()), expected) << "cut at " << cut;
    }
}

// Numbers from the edge of what a text can say are held in a range the
// engine counts in, so that nothing counting on from them overflows.
TEST(HlsPlaylistReader, NumbersAtTheEdgesStayCountable) {
    const int64_t top = HlsPlaylistReader::kMaxSequence;
    struct Case {
        const char *sequence;
        int64_t first;
    };
    for (const Case &c :
         {Case{"9223372036854775807", top}, Case{"99999999999999999999999", top},
          Case{"4611686018427387903", top - 1}, Case{"-5", 0}, Case{"x", 0}, Case{" 17 ", 17}}) {
        HlsPlaylist p = HlsPlaylist::parse(std::string("#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:") +
                                           c.sequence + "\n#EXTINF:2,\na\n#EXTINF:2,\nb\nc\n");
        ASSERT_EQ(p.segments.size(), 3u) << c.sequence;
        EXPECT_EQ(p.segments[0].sequence, c.first) << c.sequence;
        EXPECT_EQ(p.segments[2].sequence, c.first + 2) << c.sequence;
    }
    HlsPlaylist p = HlsPlaylist::parse(
        "#EXTM3U\n#EXT-X-TARGETDURATION:1e300\n#EXTINF:nan,\na\n#EXTINF:-inf,\nb\n"
        "#EXTINF:inf,\nc\n#EXT-X-STREAM-INF:BANDWIDTH=-9223372036854775808\nv1\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=99999999999999999999\nv2\n");
    EXPECT_EQ(p.targetDuration, HlsPlaylistReader::kMaxSeconds);
    ASSERT_EQ(p.segments.size(), 3u);
    EXPECT_EQ(p.segments[0].duration, 0);
    EXPECT_EQ(p.segments[1].duration, 0);
    EXPECT_EQ(p.segments[2].duration, 0);
    ASSERT_EQ(p.variants.size(), 2u);
    EXPECT_EQ(p.variants[0].bandwidth, 0);
    EXPECT_EQ(p.variants[1].bandwidth, HlsPlaylistReader::kMaxBandwidth);
    ASSERT_NE(p.pickVariant(), nullptr);
    EXPECT_EQ(p.pickVariant()->uri, "v1");
}

TEST(HlsPlaylistReader, InitSectionsDifferByAddressOrByteRange) {
    HlsPlaylist p = HlsPlaylist::parse(
        "#EXTM3U\n#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:2,\na\n"
        "#EXT-X-DISCONTINUITY\n#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"720@0\"\n#EXTINF:2,\nb\n"
        "#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"720@720\"\n#EXTINF:2,\nc\n"
        "#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"720\"\nd\n"
        "#EXT-X-MAP:URI=\"all.mp4\",BYTERANGE=\"oops\"\ne\n");
    ASSERT_EQ(p.segments.size(), 5u);
    const auto map = [&](size_t i) {
        const HlsPlaylist::Map &m = p.segments[i].map;
        return m.uri + "@" + std::to_string(m.offset) + "+" + std::to_string(m.length);
    };
    EXPECT_EQ(map(0), "init.mp4@0+-1");
    EXPECT_EQ(map(1), "all.mp4@0+720");
    EXPECT_EQ(map(2), "all.mp4@720+720");
    EXPECT_EQ(map(3), "all.mp4@0+720");
    EXPECT_EQ(map(4), "all.mp4@0+-1");
    EXPECT_FALSE(p.segments[1].map == p.segments[2].map);
    EXPECT_TRUE(p.segments[1].map == p.segments[3].map);
}

TEST(Id3Tag, SongFromTit2AndTpe1InEveryTextEncoding) {
    EXPECT_EQ(title(quorane::test::id3Tag("Ärtist", "Sóng")), "StreamTitle='Ärtist - Sóng';");
    // ID3v2.3 with Latin-1 and UTF-16 (byte order mark) frames, then padding.
    std::string frames;
    auto frame = [&](const char *id, const std::string &body) {
        uint32_t n = static_cast<uint32_t>(body.size());
        frames += std::string(id, 4) + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n) +
                  std::string(2, '\0') + body;
    };
    frame("TIT2", std::string("\x00"
                              "Caf\xE9",
                              5));
    frame("TPE1", std::string("\x01\xFF\xFE"
                              "A\0B\0",
                              7));
    frame("PRIV", "com.apple.streaming.transportStreamTimestamp");
    frames += std::string(20, '\0');
    std::string tag = std::string("ID3\x03\x00\x00\x00\x00\x00", 9) + char(frames.size()) + frames;
    EXPECT_EQ(Id3Tag::length(reinterpret_cast<const uint8_t *>(tag.data()), tag.size()),
              tag.size());
    EXPECT_EQ(title(tag), "StreamTitle='AB - Caf\xC3\xA9';");
}

TEST(Id3Tag, CutOffOrForeignBytesAreNoTag) {
    std::string tag = quorane::test::id3Tag("A", "T");
    const auto *p = reinterpret_cast<const uint8_t *>(tag.data());
    EXPECT_EQ(Id3Tag::length(p, tag.size() - 1), 0u);
    EXPECT_EQ(title(tag.substr(0, tag.size() - 1)), "");
    EXPECT_EQ(title("\xFF\xF1\x50\x80"), "");
    // A frame that claims more than the tag holds ends the reading.
    std::string bad = std::string("ID3\x04\x00\x00\x00\x00\x00\x0F", 10) + "TIT2\x00\x00\x7F\x7F" +
                      std::string(7, 'x');
    EXPECT_EQ(title(bad), "");
}

} // namespace
