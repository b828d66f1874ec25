// Reads an HLS playlist (see HlsPlaylist) as its bytes arrive: every line is
// taken as soon as it is whole, so a long playlist (a broadcaster's hours of
// rewind, or long tokenised segment addresses) is read while it downloads
// and its text is never held whole. Fed in any pieces, it reads exactly what
// one piece would give. Outside input: never crashes, never reads out of
// bounds, ignores what it does not know, and keeps every number in a range
// the engine can count in. One per playlist text; used by one thread.
#pragma once

#include "HlsPlaylist.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorane::engine {

class HlsPlaylistReader {
public:
    // The next bytes of the playlist, cut anywhere.
    void feed(std::string_view bytes);
    // The playlist read, its last line included even without a line end.
    HlsPlaylist finish();

    // The highest sequence number a playlist may give (2^62): beyond it a
    // number is taken as this, so that counting on never overflows.
    static constexpr int64_t kMaxSequence = int64_t{1} << 62;
    // Durations above a day are taken as a day; a BANDWIDTH above 10^12
    // bit/s as that.
    static constexpr double kMaxSeconds = 86400;
    static constexpr long long kMaxBandwidth = 1000000000000LL;

private:
    void line(std::string_view text);
    void tag(std::string_view tag, std::string_view rest);

    HlsPlaylist list_;
    std::string partial_;      // a line not yet ended
    bool atStart_ = true;      // nothing fed yet: a byte-order mark may come
    bool sawContent_ = false;  // a line with more than blanks has been read
    bool startsRight_ = false; // ...and the first such line began "#EXTM3U"
    bool sawHlsTag_ = false;   // a tag only HLS has was seen

    // What the tags read so far say about the next URI line.
    int64_t sequence_ = 0;
    double duration_ = 0;
    std::string title_;
    HlsPlaylist::Map map_;
    bool encrypted_ = false;
    bool variantPending_ = false;
    HlsPlaylist::Variant variant_;
};

} // namespace quorane::engine
