// Finds the timed ID3 tags that an HLS MPEG-TS segment carries on a metadata
// elementary stream (stream type 0x15 in the segment's PMT), as broadcasters
// announce songs in TS segments. Each tag comes with the byte of the segment
// where its first TS packet lies, so the title can be announced when the audio
// around it is heard. Outside input: any bytes are read without going out of
// bounds; what does not parse is passed over. Stateless: every HLS segment
// starts with its own PAT and PMT.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorane::engine {

class TsId3Reader {
public:
    struct Title {
        size_t offset = 0; // byte of the segment where the tag's TS packet starts
        std::string block; // "StreamTitle='ARTIST - TITLE';"
    };
    // The titles of the segment's ID3 tags, in stream order; tags that name
    // no song are left out.
    static std::vector<Title> titles(const uint8_t *data, size_t size);
};

} // namespace quorane::engine
