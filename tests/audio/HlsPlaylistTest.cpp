// The HLS playlist reader and the ID3 tag reader on their own: the forms
// servers write, and input that is cut off or malformed.
#include "HlsPlaylist.h"
#include "HlsServer.h"
#include "Id3Tag.h"

#include <gtest/gtest.h>

using quorane::engine::HlsPlaylist;
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
    EXPECT_EQ(p.segments[3].mapUri, "init.mp4");
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
