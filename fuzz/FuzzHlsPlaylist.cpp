// The HLS playlist reader on any text, read whole and in pieces: pieces of
// any size read exactly as the whole does, recognition agrees with the
// reading, every segment's sequence number stays within the range the engine
// counts in, every duration and bandwidth is in range, and the variant
// chosen is one of the playlist's. The first byte
// sets the size of the pieces; the rest is the text.
#include "HlsPlaylist.h"
#include "HlsPlaylistReader.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using quorane::engine::HlsPlaylist;
using quorane::engine::HlsPlaylistReader;

namespace {

bool sameSegments(const HlsPlaylist &a, const HlsPlaylist &b) {
    if (a.segments.size() != b.segments.size() || a.variants.size() != b.variants.size())
        return false;
    for (size_t i = 0; i < a.segments.size(); ++i) {
        const HlsPlaylist::Segment &x = a.segments[i], &y = b.segments[i];
        if (x.uri != y.uri || x.sequence != y.sequence || x.duration != y.duration ||
            x.title != y.title || !(x.map == y.map) || x.encrypted != y.encrypted)
            return false;
    }
    for (size_t i = 0; i < a.variants.size(); ++i) {
        const HlsPlaylist::Variant &x = a.variants[i], &y = b.variants[i];
        if (x.uri != y.uri || x.bandwidth != y.bandwidth || x.audioOnly != y.audioOnly)
            return false;
    }
    return a.hls == b.hls && a.endList == b.endList && a.targetDuration == b.targetDuration;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = data[0] % 32 + 1;
    const std::string_view text(reinterpret_cast<const char *>(data) + 1, size - 1);

    HlsPlaylist whole = HlsPlaylist::parse(text);
    HlsPlaylistReader reader;
    for (size_t at = 0; at < text.size(); at += piece)
        reader.feed(text.substr(at, piece));
    if (!sameSegments(whole, reader.finish()) || whole.hls != HlsPlaylist::isHls(text))
        std::abort();

    const double maxSeconds = HlsPlaylistReader::kMaxSeconds;
    if (!(whole.targetDuration >= 0 && whole.targetDuration <= maxSeconds))
        std::abort();
    for (size_t i = 0; i < whole.segments.size(); ++i) {
        const HlsPlaylist::Segment &s = whole.segments[i];
        if (s.uri.empty() || s.uri.front() == '#' || text.find(s.uri) == std::string_view::npos)
            std::abort();
        if (s.sequence < 0 || !(s.duration >= 0 && s.duration <= maxSeconds))
            std::abort();
        // A playlist sets its count at most at the top, and each segment
        // after counts on by one: room enough that counting never overflows.
        if (s.sequence > HlsPlaylistReader::kMaxSequence + static_cast<int64_t>(i))
            std::abort();
        if (s.map.length < -1 || s.map.length == 0 || s.map.offset < 0)
            std::abort();
    }
    for (const HlsPlaylist::Variant &v : whole.variants)
        if (v.bandwidth < 0 || v.bandwidth > HlsPlaylistReader::kMaxBandwidth)
            std::abort();
    const HlsPlaylist::Variant *chosen = whole.pickVariant();
    if ((chosen == nullptr) != whole.variants.empty())
        std::abort();
    if (chosen &&
        (chosen < whole.variants.data() || chosen >= whole.variants.data() + whole.variants.size()))
        std::abort();
    return 0;
}
