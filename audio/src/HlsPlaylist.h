// An HLS playlist (RFC 8216) as read by HlsPlaylistReader: a master
// playlist's variants, or a media playlist's segments with what the tags
// before each one say about it (duration, title, init section, encryption).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorane::engine {

class HlsPlaylist {
public:
    struct Variant {
        std::string uri;        // as written (relative to the playlist)
        long bandwidth = 0;     // BANDWIDTH, bits per second (0 when missing)
        bool audioOnly = false; // CODECS names audio codecs only
    };
    // The init section (#EXT-X-MAP) of fragmented MP4 segments.
    struct Map {
        std::string uri;     // "" when none is in force
        int64_t offset = 0;  // its BYTERANGE within the resource...
        int64_t length = -1; // ...or -1: the whole resource
        bool operator==(const Map &) const = default;
    };
    struct Segment {
        std::string uri;
        int64_t sequence = 0; // 0 ... HlsPlaylistReader::kMaxSequence + segments before it
        double duration = 0;
        std::string title;      // the #EXTINF title as "ARTIST - TITLE", "" when none
        Map map;                // the init section in force
        bool encrypted = false; // an #EXT-X-KEY other than METHOD=NONE is in force
    };

    // True for a body that is an HLS playlist rather than a plain M3U list of
    // stations: "#EXTM3U" first, and a tag only HLS has.
    static bool isHls(std::string_view body);
    // The whole body at once, as HlsPlaylistReader reads it.
    static HlsPlaylist parse(std::string_view body);

    // The variant a radio listener wants: among the audio-only ones when there
    // are any, the one whose bandwidth is closest to 128 kbit/s (the lower one
    // on a tie). Null when there is no variant.
    const Variant *pickVariant() const;

    bool isMaster() const { return !variants.empty(); }

    std::vector<Variant> variants;
    std::vector<Segment> segments;
    double targetDuration = 0; // seconds; 0 when missing
    bool endList = false;      // #EXT-X-ENDLIST: no segment will be added
    bool hls = false;          // the text was an HLS playlist (see isHls)
};

} // namespace quorane::engine
