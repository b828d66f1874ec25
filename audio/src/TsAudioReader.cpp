#include "TsAudioReader.h"

#include "TsPacket.h"

#include <algorithm>

namespace quorane::engine {

namespace {

// ADTS AAC, MPEG-1 and MPEG-2 audio: what libavcodec's parsers frame.
bool bareAudio(uint8_t type) {
    return type == 0x0F || type == 0x03 || type == 0x04;
}

} // namespace

size_t TsAudioReader::Audio::at(size_t segmentOffset) const {
    if (before.empty())
        return 0;
    return before[std::min(segmentOffset / ts::kPacket, before.size() - 1)];
}

TsAudioReader::Audio TsAudioReader::extract(const uint8_t *data, size_t size) {
    Audio out;
    unsigned audioPid = 0;
    bool open = false; // inside a PES packet of the audio stream whose header was read
    ts::walk(
        data, size,
        [&](const ts::Payload &pmt) {
            if (!audioPid)
                audioPid = ts::streamPidOf(pmt, bareAudio);
        },
        [&](size_t, const ts::Payload &pl) {
            out.before.push_back(out.bytes.size());
            if (!audioPid || !pl.data || pl.pid != audioPid)
                return;
            size_t skip = 0;
            if (pl.unitStart) {
                // A PES header that does not fit its first packet is so rare
                // that its packet is passed over rather than gathered.
                skip = ts::pesBodyStart(pl.data, pl.size);
                open = skip > 0;
            }
            if (open)
                out.bytes.append(reinterpret_cast<const char *>(pl.data + skip), pl.size - skip);
        });
    out.before.push_back(out.bytes.size());
    if (!audioPid)
        out.bytes.clear();
    return out;
}

} // namespace quorane::engine
