// Timed ID3 in MPEG-TS segments: real segments from ffmpeg's HLS muxer with a
// tag put in by the fixture's writer, read back by the engine's reader.
#include "TsId3Reader.h"
#include "HlsServer.h"
#include "IcyServer.h"
#include "TsId3Writer.h"

#include <gtest/gtest.h>
#include <random>

using namespace quorane::test;
using quorane::engine::TsId3Reader;

namespace {

std::vector<TsId3Reader::Title> read(const std::string &ts) {
    return TsId3Reader::titles(reinterpret_cast<const uint8_t *>(ts.data()), ts.size());
}

std::string firstSegment() {
    return fileBytes(hlsSegments("ts-aac").front());
}

} // namespace

TEST(TsId3Reader, FindsTheTagWhereItLiesInTheSegment) {
    std::string plain = firstSegment();
    ASSERT_GT(plain.size(), 188u * 10);
    EXPECT_TRUE(read(plain).empty()) << "ffmpeg's segment carries no tag";

    std::string ts = TsId3Writer::insert(plain, id3Tag("Ärtist", "Sóng"), 1.0);
    std::vector<TsId3Reader::Title> titles = read(ts);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].block, "StreamTitle='Ärtist - Sóng';");
    // About half way into the 2 s segment, on a packet of the metadata stream.
    size_t at = titles[0].offset;
    ASSERT_EQ(at % 188, 0u);
    EXPECT_GT(at, ts.size() * 3 / 10);
    EXPECT_LT(at, ts.size() * 7 / 10);
    unsigned pid =
        ((static_cast<uint8_t>(ts[at + 1]) & 0x1F) << 8) | static_cast<uint8_t>(ts[at + 2]);
    EXPECT_EQ(pid, TsId3Writer::kMetadataPid);

    // Two tags, each found at its own place, in order.
    std::string two = TsId3Writer::insert(ts, id3Tag("B", "Later"), 1.5);
    titles = read(two);
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_EQ(titles[0].block, "StreamTitle='Ärtist - Sóng';");
    EXPECT_EQ(titles[1].block, "StreamTitle='B - Later';");
    EXPECT_LT(titles[0].offset, titles[1].offset);
}

// The last segment of a recording is shorter than the time asked for: its
// tag goes in front of its last audio packet, and is found there.
TEST(TsId3Reader, AShortSegmentStillCarriesItsTag) {
    std::string last = fileBytes(hlsSegments("ts-aac").back());
    ASSERT_LT(last.size(), 188u * 20) << "the recording ends with a short segment";
    std::string ts = TsId3Writer::insert(last, id3Tag("A", "End"), 1.0);
    std::vector<TsId3Reader::Title> titles = read(ts);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0].block, "StreamTitle='A - End';");
}

TEST(TsId3Reader, OnlyTheStreamThePmtListsAsMetadataCounts) {
    std::string ts = TsId3Writer::insert(firstSegment(), id3Tag("A", "T"), 0.5);
    ASSERT_EQ(read(ts).size(), 1u);
    // The same packets, but the PMT calls their stream something else
    // (type 0x06, private data): not titles.
    std::string other = ts;
    size_t type = other.find(std::string("\x15\xE1\xF0", 3));
    ASSERT_NE(type, std::string::npos);
    other[type] = '\x06';
    EXPECT_TRUE(read(other).empty());
}

TEST(TsId3Reader, BrokenSegmentsNeverReadOutOfBounds) {
    std::string ts = TsId3Writer::insert(firstSegment(), id3Tag("A", "T"), 0.5);
    // Cut anywhere: the tag is found only if its packets are all there.
    for (size_t n = 0; n < ts.size(); n += 61)
        EXPECT_LE(read(ts.substr(0, n)).size(), 1u);
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string bad = ts;
        for (int i = 0; i < 40; ++i)
            bad[random() % bad.size()] = static_cast<char>(random());
        for (const TsId3Reader::Title &t : read(bad))
            EXPECT_LT(t.offset, bad.size());
    }
}
