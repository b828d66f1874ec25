// The audio of an HLS MPEG-TS segment as the bare stream it carries: the
// bodies of the PES packets of the first ADTS AAC or MPEG audio stream that
// the segment's PMT lists, in order. Fed to the decoder instead of the TS
// itself, such a stream is framed by libavcodec's parser, so HLS in TS plays
// without the container library (see FormatLibrary.h). Outside input: any
// bytes are read without going out of bounds. Stateless: every HLS segment
// starts with its own PAT and PMT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorane::engine {

class TsAudioReader {
public:
    struct Audio {
        std::string bytes; // the bare stream; empty when the segment has none we take
        // For each TS packet of the segment, how many bytes of `bytes` come
        // before it (one more entry for the end), so that a place in the
        // segment (a timed title) is found again in the bare stream.
        std::vector<size_t> before;
        size_t at(size_t segmentOffset) const;
    };
    static Audio extract(const uint8_t *data, size_t size);
};

} // namespace quorane::engine
