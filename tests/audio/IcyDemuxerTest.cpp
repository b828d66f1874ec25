// The ICY splitter against bodies built byte by byte, cut into chunks of
// every size, and against random bytes (under AddressSanitizer in the asan
// build, so an out-of-bounds read fails the test).
#include "IcyDemuxer.h"

#include <gtest/gtest.h>
#include <random>

using quorane::engine::IcyDemuxer;

namespace {

struct Collected {
    std::string audio;
    std::vector<std::string> blocks;
    IcyDemuxer make(long metaint) {
        return IcyDemuxer(
            metaint,
            [this](const uint8_t *d, size_t n) {
                audio.append(reinterpret_cast<const char *>(d), n);
                return true;
            },
            [this](const std::string &b) { blocks.push_back(b); });
    }
};

std::string metaBlock(const std::string &text) {
    size_t padded = (text.size() + 15) / 16 * 16;
    std::string block(1, static_cast<char>(padded / 16));
    block += text;
    block.resize(1 + padded, '\0');
    return block;
}

TEST(IcyDemuxer, SplitsAudioAndNewBlocksWhateverTheChunking) {
    const long metaint = 10;
    std::string audio, body;
    const std::vector<std::string> sent = {"StreamTitle='One';", "", "StreamTitle='One';",
                                           "StreamTitle='Two';StreamUrl='';", ""};
    for (size_t i = 0; i < sent.size(); ++i) {
        std::string chunk(metaint, static_cast<char>('a' + i));
        audio += chunk;
        body += chunk + (sent[i].empty() ? std::string(1, '\0') : metaBlock(sent[i]));
    }
    body += "tail"; // audio after the last block, cut before the next length byte
    audio += "tail";
    for (size_t step = 1; step <= body.size(); ++step) {
        Collected c;
        IcyDemuxer d = c.make(metaint);
        for (size_t pos = 0; pos < body.size(); pos += step) {
            size_t n = std::min(step, body.size() - pos);
            ASSERT_TRUE(d.feed(reinterpret_cast<const uint8_t *>(body.data() + pos), n));
        }
        EXPECT_EQ(c.audio, audio) << "chunk " << step;
        // The repeated "One" and the empty blocks are not new.
        EXPECT_EQ(c.blocks, (std::vector<std::string>{"StreamTitle='One';",
                                                      "StreamTitle='Two';StreamUrl='';"}))
            << "chunk " << step;
        EXPECT_EQ(d.audioBytes(), audio.size());
    }
}

TEST(IcyDemuxer, WithoutMetaintEverythingIsAudio) {
    Collected c;
    IcyDemuxer d = c.make(0);
    std::string body("\x01StreamTitle='x';", 17);
    ASSERT_TRUE(d.feed(reinterpret_cast<const uint8_t *>(body.data()), body.size()));
    EXPECT_EQ(c.audio, body);
    EXPECT_TRUE(c.blocks.empty());
}

TEST(IcyDemuxer, StopsWhenTheBufferRefuses) {
    int calls = 0;
    IcyDemuxer d(
        4, [&](const uint8_t *, size_t) { return ++calls < 2; }, [](const std::string &) {});
    std::string body = "abcd" + std::string(1, '\0') + "efgh" + std::string(1, '\0') + "ijkl";
    EXPECT_FALSE(d.feed(reinterpret_cast<const uint8_t *>(body.data()), body.size()));
    EXPECT_EQ(calls, 2);
}

TEST(IcyDemuxer, SurvivesRandomAndTruncatedBodies) {
    std::mt19937 rng(1234);
    for (int iter = 0; iter < 3000; ++iter) {
        long metaint = std::uniform_int_distribution<long>(1, 64)(rng);
        size_t size = std::uniform_int_distribution<size_t>(0, 6000)(rng);
        // Each chunk in a buffer of its own, so reading past it is caught.
        Collected c;
        IcyDemuxer d = c.make(metaint);
        size_t fed = 0;
        while (fed < size) {
            size_t n = std::uniform_int_distribution<size_t>(1, 700)(rng);
            n = std::min(n, size - fed);
            std::vector<uint8_t> chunk(n);
            for (auto &b : chunk)
                b = static_cast<uint8_t>(rng());
            // Large length bytes now and then: blocks that run past the data.
            if (n > 0 && rng() % 4 == 0)
                chunk[0] = 0xFF;
            ASSERT_TRUE(d.feed(chunk.data(), chunk.size()));
            fed += n;
        }
        EXPECT_EQ(d.audioBytes(), c.audio.size());
        EXPECT_LE(c.audio.size(), size);
        for (const std::string &b : c.blocks) {
            EXPECT_LE(b.size(), 255u * 16);
            EXPECT_EQ(b.find('\0'), std::string::npos);
        }
    }
}

} // namespace
