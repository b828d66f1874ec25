// The bare audio of MPEG-TS segments: real segments from ffmpeg's HLS muxer
// (AAC and MP3), taken apart by the engine's reader and checked frame by
// frame, since the decoder will frame them the same way.
#include "TsAudioReader.h"
#include "HlsServer.h"
#include "IcyServer.h"
#include "TsId3Reader.h"
#include "TsId3Writer.h"

#include <gtest/gtest.h>

using namespace quorane::test;
using quorane::engine::TsAudioReader;
using quorane::engine::TsId3Reader;

namespace {

TsAudioReader::Audio extract(const std::string &ts) {
    return TsAudioReader::extract(reinterpret_cast<const uint8_t *>(ts.data()), ts.size());
}

uint8_t at(const std::string &s, size_t i) {
    return static_cast<uint8_t>(s[i]);
}

// The length of the ADTS or MPEG audio frame whose header is at s[i], and
// its duration in samples and its rate; 0 when no frame header is there.
size_t frameAt(const std::string &s, size_t i, int &samples, int &rate) {
    if (i + 7 > s.size() || at(s, i) != 0xFF || (at(s, i + 1) & 0xE0) != 0xE0)
        return 0;
    if ((at(s, i + 1) & 0x16) == 0x10) { // ADTS: MPEG-4/2 AAC, layer 0
        static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000,
                                    24000, 22050, 16000, 12000, 11025, 8000};
        unsigned index = (at(s, i + 2) >> 2) & 0x0F;
        if (index >= 12)
            return 0;
        rate = rates[index];
        samples = 1024;
        return ((at(s, i + 3) & 0x03u) << 11) | (at(s, i + 4) << 3) | (at(s, i + 5) >> 5);
    }
    if ((at(s, i + 1) & 0x1E) != 0x1A) // MPEG-1 layer III only, as our fixtures
        return 0;
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int rates[] = {44100, 48000, 32000};
    unsigned b = at(s, i + 2) >> 4, r = (at(s, i + 2) >> 2) & 3, pad = (at(s, i + 2) >> 1) & 1;
    if (b == 0 || b >= 15 || r >= 3)
        return 0;
    rate = rates[r];
    samples = 1152;
    return 144000u * kbps[b] / rate + pad;
}

// Walks the frames from the start; returns the seconds they last, or -1
// when they do not follow one another up to the very end.
double chainedSeconds(const std::string &s) {
    double seconds = 0;
    size_t i = 0;
    while (i < s.size()) {
        int samples = 0, rate = 0;
        size_t n = frameAt(s, i, samples, rate);
        if (n < 7)
            return -1;
        i += n;
        seconds += double(samples) / rate;
    }
    return i == s.size() ? seconds : -1;
}

} // namespace

// Every segment of an AAC and an MP3 recording comes out as whole frames,
// back to back, lasting what the playlist says; a timed title's place in the
// segment is found at the same time in the bare stream.
TEST(TsAudioReader, EverySegmentBecomesWholeFramesLastingItsDuration) {
    for (const char *kind : {"ts-aac", "ts-mp3"}) {
        std::vector<std::string> segments = hlsSegments(kind);
        ASSERT_GT(segments.size(), 3u) << kind;
        for (size_t k = 0; k + 1 < segments.size(); ++k) { // the last one is short
            std::string ts = fileBytes(segments[k]);
            TsAudioReader::Audio audio = extract(ts);
            ASSERT_FALSE(audio.bytes.empty()) << kind << " " << k;
            EXPECT_LT(audio.bytes.size(), ts.size()) << kind;
            double seconds = chainedSeconds(audio.bytes);
            EXPECT_NEAR(seconds, 2.0, 0.1) << kind << " segment " << k;
        }
        std::string ts = TsId3Writer::insert(fileBytes(segments[1]), id3Tag("A", "B"), 1.0);
        TsAudioReader::Audio audio = extract(ts);
        EXPECT_GT(chainedSeconds(audio.bytes), 1.9) << kind << ": the tag is not audio";
        std::vector<TsId3Reader::Title> titles =
            TsId3Reader::titles(reinterpret_cast<const uint8_t *>(ts.data()), ts.size());
        ASSERT_EQ(titles.size(), 1u);
        size_t tagPacket = titles[0].offset;
        double share = double(audio.at(tagPacket)) / double(audio.bytes.size());
        EXPECT_GT(share, 0.35) << kind;
        EXPECT_LT(share, 0.65) << kind;
        EXPECT_EQ(audio.at(ts.size() + 188 * 10), audio.bytes.size()) << "past the end";
    }
}

// Outside input: a segment cut anywhere gives a beginning of the same audio;
// one whose PMT lists no audio we take (or that has no PMT) gives nothing.
TEST(TsAudioReader, CutOrForeignSegmentsGiveAPrefixOrNothing) {
    std::string ts = fileBytes(hlsSegments("ts-aac").front());
    std::string whole = extract(ts).bytes;
    for (size_t cut = 0; cut < ts.size(); cut += 97) {
        std::string part = extract(ts.substr(0, cut)).bytes;
        EXPECT_EQ(whole.compare(0, part.size(), part), 0) << "cut at " << cut;
    }
    std::string noPat = ts;
    for (size_t i = 0; i + 188 <= noPat.size(); i += 188)
        if (at(noPat, i + 1) == 0x40 && at(noPat, i + 2) == 0x00)
            noPat[i + 2] = 0x1F; // the PAT moves to a PID nobody reads
    EXPECT_TRUE(extract(noPat).bytes.empty());
    EXPECT_TRUE(extract(std::string(188 * 4, '\x47')).bytes.empty());
    EXPECT_TRUE(extract("").bytes.empty());
}
