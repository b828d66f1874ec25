#include "OggRateMeter.h"

#include <algorithm>
#include <cstring>

namespace quorane::engine {

namespace {

constexpr uint64_t kNoGranule = ~uint64_t(0);
// Sound between the two pages measured: long enough that one page's
// rounding does not matter, short enough for the pages of a burst.
constexpr double kMinSpanSeconds = 0.5;
// A stream that gave no measurement in this much is not going to.
constexpr uint64_t kMaxBytes = 4 * 1024 * 1024;
constexpr uint32_t kMaxSampleRate = 768000;

uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t le64(const uint8_t *p) {
    return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32;
}

// Samples per second of granule position, from the first packet of a
// logical stream; 0 for a codec we do not know.
uint32_t granuleRate(const uint8_t *p, size_t n) {
    uint32_t rate = 0;
    if (n >= 16 && p[0] == 1 && std::memcmp(p + 1, "vorbis", 6) == 0)
        rate = le32(p + 12);
    else if (n >= 8 && std::memcmp(p, "OpusHead", 8) == 0)
        rate = 48000; // whatever the input rate was
    else if (n >= 30 && p[0] == 0x7F && std::memcmp(p + 1, "FLAC", 4) == 0)
        rate = uint32_t(p[27]) << 12 | uint32_t(p[28]) << 4 | p[29] >> 4; // STREAMINFO
    else if (n >= 40 && std::memcmp(p, "Speex   ", 8) == 0)
        rate = le32(p + 36);
    return rate <= kMaxSampleRate ? rate : 0;
}

} // namespace

bool OggRateMeter::feed(const uint8_t *data, size_t len) {
    const bool before = rate_ > 0;
    size_t i = 0;
    while (i < len && state_ != State::Off && rate_ == 0) {
        size_t n = 0;
        switch (state_) {
        case State::Header:
            n = std::min(len - i, kHeaderBytes - have_);
            std::memcpy(header_ + have_, data + i, n);
            have_ += n;
            fed_ += n;
            if (have_ == kHeaderBytes)
                endOfHeader();
            break;
        case State::Segments:
            n = std::min(len - i, size_t(segments_) - have_);
            for (size_t k = 0; k < n; ++k)
                bodyLeft_ += data[i + k];
            have_ += n;
            fed_ += n;
            if (have_ == segments_) {
                state_ = State::Body;
                if (bodyLeft_ == 0)
                    endOfPage();
            }
            break;
        case State::Body:
            n = std::min(len - i, bodyLeft_);
            if ((header_[5] & 0x02) && packetHave_ < kPacketStart) {
                size_t keep = std::min(n, kPacketStart - packetHave_);
                std::memcpy(packet_ + packetHave_, data + i, keep);
                packetHave_ += keep;
            }
            bodyLeft_ -= n;
            fed_ += n;
            if (bodyLeft_ == 0)
                endOfPage();
            break;
        case State::Off:
            break;
        }
        i += n;
    }
    if (rate_ == 0 && fed_ > kMaxBytes)
        state_ = State::Off;
    return !before && rate_ > 0;
}

void OggRateMeter::endOfHeader() {
    // Page sync is never searched for: a radio's Ogg stream starts on a page
    // and stays on them, and anything else is simply not measured.
    if (std::memcmp(header_, "OggS", 4) != 0 || header_[4] != 0) {
        state_ = State::Off;
        return;
    }
    segments_ = header_[26];
    have_ = 0;
    bodyLeft_ = 0;
    packetHave_ = 0;
    state_ = State::Segments;
    if (segments_ == 0) {
        state_ = State::Body;
        endOfPage();
    }
}

void OggRateMeter::endOfPage() {
    state_ = State::Header;
    have_ = 0;
    const uint8_t type = header_[5];
    const uint64_t granule = le64(header_ + 6);
    const uint32_t serial = le32(header_ + 14);
    if (type & 0x02) {
        // A first page: a logical stream starts (the next song of a chained
        // stream, too). Measure the newest one we know how to count.
        if (uint32_t rate = granuleRate(packet_, packetHave_)) {
            measuring_ = true;
            serial_ = serial;
            sampleRate_ = rate;
            havePoint_ = false;
        }
        return;
    }
    if (!measuring_ || serial != serial_ || granule == kNoGranule || granule == 0)
        return;
    if (!havePoint_ || granule <= pointGranule_) {
        // The first page of sound, or positions that went back: start here.
        havePoint_ = true;
        pointByte_ = fed_;
        pointGranule_ = granule;
        return;
    }
    const double seconds = double(granule - pointGranule_) / sampleRate_;
    if (seconds < kMinSpanSeconds)
        return;
    rate_ = double(fed_ - pointByte_) / seconds;
}

} // namespace quorane::engine
