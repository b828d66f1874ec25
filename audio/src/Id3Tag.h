// Reads the ID3v2 tags that HLS puts in front of each packed-audio segment
// (ADTS or MP3): how long the tag is, so it can be cut out of the audio, and
// the song it names (TIT2, TPE1). Outside input: never reads out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorane::engine {

class Id3Tag {
public:
    // Bytes of the ID3v2 tag at the start of data, footer included; 0 when
    // data does not start with a complete tag.
    static size_t length(const uint8_t *data, size_t size);
    // "StreamTitle='ARTIST - TITLE';" (UTF-8) from the tag at the start of
    // data, "" when it names no song.
    static std::string titleBlock(const uint8_t *data, size_t size);
};

} // namespace quorane::engine
