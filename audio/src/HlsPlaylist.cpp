#include "HlsPlaylist.h"

#include "HlsPlaylistReader.h"

#include <cstdlib>
#include <limits>

namespace quorane::engine {

bool HlsPlaylist::isHls(std::string_view body) {
    return parse(body).hls;
}

HlsPlaylist HlsPlaylist::parse(std::string_view body) {
    HlsPlaylistReader reader;
    reader.feed(body);
    return reader.finish();
}

const HlsPlaylist::Variant *HlsPlaylist::pickVariant() const {
    bool anyAudioOnly = false;
    for (const Variant &v : variants)
        anyAudioOnly = anyAudioOnly || v.audioOnly;
    const Variant *best = nullptr;
    long bestDistance = std::numeric_limits<long>::max();
    for (const Variant &v : variants) {
        if (anyAudioOnly && !v.audioOnly)
            continue;
        long distance = std::labs(v.bandwidth - 128000);
        if (distance < bestDistance ||
            (distance == bestDistance && best && v.bandwidth < best->bandwidth)) {
            best = &v;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace quorane::engine
