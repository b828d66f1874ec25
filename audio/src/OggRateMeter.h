// Measures how many bytes per second an Ogg stream really takes, from its
// pages as they arrive. An Ogg radio's announced bitrate ("icy-br:") is the
// encoder's nominal one, which a variable-rate codec on quiet material stays
// far below; a buffer sized from it then takes many seconds to fill. The
// granule position of a Vorbis, Opus, FLAC or Speex page counts the samples
// up to its end, so two pages of the first logical stream give the bytes per
// second of sound between them.
//
// Fed the stream's bytes in any cut; it never reads outside what it is given
// and gives up for good on a stream that does not start with an Ogg page.
// Used by a stream's download thread only.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorane::engine {

class OggRateMeter {
public:
    // Feeds the next bytes of the stream. Returns true on the call that
    // completes the measurement.
    bool feed(const uint8_t *data, size_t len);
    // Bytes per second of sound, 0 until measured.
    double bytesPerSecond() const { return rate_; }
    // Neither measured nor ever going to be: not Ogg, or no codec we know.
    bool gaveUp() const { return state_ == State::Off; }

private:
    enum class State { Header, Segments, Body, Off };
    void endOfHeader();
    void endOfPage();

    static constexpr size_t kHeaderBytes = 27;
    static constexpr size_t kPacketStart = 64; // of a first page: enough to know the codec

    State state_ = State::Header;
    uint8_t header_[kHeaderBytes] = {};
    size_t have_ = 0;      // bytes of the header (or segment table) collected so far
    uint8_t segments_ = 0; // entries of the segment table
    size_t bodyLeft_ = 0;  // bytes of the page body still to come
    uint8_t packet_[kPacketStart] = {};
    size_t packetHave_ = 0; // bytes of a first page's body kept in packet_
    uint64_t fed_ = 0;      // bytes of the stream seen so far

    // The logical stream being measured: its serial and samples per second.
    bool measuring_ = false;
    uint32_t serial_ = 0;
    uint32_t sampleRate_ = 0;
    bool havePoint_ = false; // a first page with a granule position was seen
    uint64_t pointByte_ = 0; // the stream's byte where that page ended
    uint64_t pointGranule_ = 0;
    double rate_ = 0;
};

} // namespace quorane::engine
