// The ICY splitter on any body: the first two bytes give the metadata
// interval, the third how the rest is cut into chunks. Whatever the cut, the
// audio and the metadata blocks must come out the same as from one chunk.
#include "IcyDemuxer.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using quorane::engine::IcyDemuxer;

namespace {
struct Result {
    std::string audio;
    std::vector<std::string> blocks;
};

Result Split(long metaint, const uint8_t *body, size_t size, size_t step) {
    Result r;
    IcyDemuxer demuxer(
        metaint,
        [&](const uint8_t *data, size_t len) {
            r.audio.append(reinterpret_cast<const char *>(data), len);
            return true;
        },
        [&](const std::string &block) { r.blocks.push_back(block); });
    for (size_t at = 0; at < size;) {
        const size_t n = std::min(step, size - at);
        if (!demuxer.feed(body + at, n))
            std::abort();
        at += n;
    }
    if (demuxer.audioBytes() != r.audio.size())
        std::abort();
    return r;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3)
        return 0;
    const long metaint = (long(data[0]) << 8 | data[1]) % 1024; // 0: all audio
    const size_t step = data[2] % 64 + 1;
    const uint8_t *body = data + 3;
    const size_t bodySize = size - 3;
    const Result whole = Split(metaint, body, bodySize, bodySize ? bodySize : 1);
    const Result cut = Split(metaint, body, bodySize, step);
    if (whole.audio != cut.audio || whole.blocks != cut.blocks)
        std::abort();
    if (metaint == 0 && whole.audio.size() != bodySize)
        std::abort();
    for (const std::string &block : whole.blocks)
        if (block.size() > 16 * 255)
            std::abort();
    return 0;
}
