#include "HlsPlaylistReader.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace quorane::engine {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// The value of NAME in an attribute list NAME=VALUE,NAME="VALUE",... with
// quotes removed; "" when absent.
std::string attribute(std::string_view list, std::string_view name) {
    size_t i = 0;
    while (i < list.size()) {
        size_t eq = list.find('=', i);
        if (eq == std::string_view::npos)
            break;
        std::string_view key = trim(list.substr(i, eq - i));
        size_t v = eq + 1;
        std::string_view value;
        size_t next;
        if (v < list.size() && list[v] == '"') {
            size_t close = list.find('"', v + 1);
            if (close == std::string_view::npos)
                close = list.size();
            value = list.substr(v + 1, close - v - 1);
            next = list.find(',', close);
        } else {
            next = list.find(',', v);
            value =
                list.substr(v, next == std::string_view::npos ? std::string_view::npos : next - v);
        }
        if (key == name)
            return std::string(trim(value));
        if (next == std::string_view::npos)
            break;
        i = next + 1;
    }
    return {};
}

bool audioCodecsOnly(const std::string &codecs) {
    if (codecs.empty())
        return false;
    size_t start = 0;
    while (start <= codecs.size()) {
        size_t comma = codecs.find(',', start);
        std::string c(trim(std::string_view(codecs).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start)));
        for (char &ch : c)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (!(startsWith(c, "mp4a") || startsWith(c, "ac-3") || startsWith(c, "ec-3") ||
              c == "opus" || c == "flac" || c == "mp3"))
            return false;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

// "#EXTINF:<duration>,<title>": some servers write the title as attributes
// (title="...",artist="..."), others as plain text.
std::string extinfTitle(std::string_view rest) {
    size_t comma = rest.find(',');
    if (comma == std::string_view::npos)
        return {};
    std::string_view text = trim(rest.substr(comma + 1));
    std::string title = attribute(text, "title");
    std::string artist = attribute(text, "artist");
    if (title.empty() && artist.empty()) {
        if (text.find("=\"") != std::string_view::npos)
            return {}; // attributes, but none we show
        return std::string(text);
    }
    if (artist.empty() || title.empty())
        return artist.empty() ? title : artist;
    return artist + " - " + title;
}

// A decimal count as HLS writes them (no sign), held to 0 ... limit; 0 when
// the text does not start with a digit.
long long count(std::string_view s, long long limit) {
    s = trim(s);
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        if (v > (limit - (c - '0')) / 10)
            return limit;
        v = v * 10 + (c - '0');
    }
    return v;
}

// Seconds, held to 0 ... kMaxSeconds (a text that is no number, or not a
// finite one, is 0).
double seconds(std::string_view s) {
    std::string text(trim(s));
    double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v) || v < 0)
        return 0;
    return std::min(v, HlsPlaylistReader::kMaxSeconds);
}

// "<length>[@<offset>]" of a BYTERANGE attribute; the whole resource when it
// is missing or makes no sense.
void byteRange(std::string_view text, HlsPlaylist::Map &map) {
    map.offset = 0;
    map.length = -1;
    text = trim(text);
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front())))
        return;
    size_t at = text.find('@');
    long long length = count(text.substr(0, at), HlsPlaylistReader::kMaxSequence);
    if (length <= 0)
        return;
    map.length = length;
    if (at != std::string_view::npos)
        map.offset = count(text.substr(at + 1), HlsPlaylistReader::kMaxSequence);
}

} // namespace

void HlsPlaylistReader::feed(std::string_view bytes) {
    while (!bytes.empty()) {
        size_t eol = bytes.find_first_of("\r\n");
        if (eol == std::string_view::npos) {
            partial_.append(bytes);
            return;
        }
        if (partial_.empty()) {
            line(bytes.substr(0, eol));
        } else {
            partial_.append(bytes.substr(0, eol));
            line(partial_);
            partial_.clear();
        }
        bytes.remove_prefix(eol + 1);
    }
}

HlsPlaylist HlsPlaylistReader::finish() {
    if (!partial_.empty())
        line(partial_);
    list_.hls = startsRight_ && sawHlsTag_;
    HlsPlaylist done = std::move(list_);
    *this = HlsPlaylistReader();
    return done;
}

void HlsPlaylistReader::line(std::string_view text) {
    if (atStart_) {
        atStart_ = false;
        if (startsWith(text, "\xEF\xBB\xBF"))
            text.remove_prefix(3);
    }
    text = trim(text);
    if (text.empty())
        return;
    if (!sawContent_) {
        sawContent_ = true;
        startsRight_ = startsWith(text, "#EXTM3U");
    }
    if (text.find("#EXT-X-TARGETDURATION") != std::string_view::npos ||
        text.find("#EXT-X-STREAM-INF") != std::string_view::npos)
        sawHlsTag_ = true;
    if (text.front() == '#') {
        size_t colon = text.find(':');
        tag(text.substr(0, colon),
            colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1));
        return;
    }
    if (variantPending_) {
        variant_.uri = text;
        list_.variants.push_back(std::move(variant_));
        variant_ = HlsPlaylist::Variant();
        variantPending_ = false;
        return;
    }
    list_.segments.push_back({std::string(text), sequence_, duration_, title_, map_, encrypted_});
    // Held below the top of the range, so this cannot overflow (a playlist
    // would need 2^62 lines to reach it); saturating keeps it so for any input.
    if (sequence_ < INT64_MAX)
        ++sequence_;
    duration_ = 0;
    title_.clear();
}

void HlsPlaylistReader::tag(std::string_view tag, std::string_view rest) {
    if (tag == "#EXT-X-STREAM-INF") {
        variant_ = HlsPlaylist::Variant();
        variant_.bandwidth = count(attribute(rest, "BANDWIDTH"), kMaxBandwidth);
        variant_.audioOnly = audioCodecsOnly(attribute(rest, "CODECS"));
        variantPending_ = true;
    } else if (tag == "#EXT-X-TARGETDURATION") {
        list_.targetDuration = seconds(rest);
    } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
        sequence_ = count(rest, kMaxSequence);
    } else if (tag == "#EXTINF") {
        duration_ = seconds(rest.substr(0, rest.find(',')));
        title_ = extinfTitle(rest);
    } else if (tag == "#EXT-X-KEY") {
        encrypted_ = attribute(rest, "METHOD") != "NONE";
    } else if (tag == "#EXT-X-MAP") {
        map_.uri = attribute(rest, "URI");
        byteRange(attribute(rest, "BYTERANGE"), map_);
    } else if (tag == "#EXT-X-ENDLIST") {
        list_.endList = true;
    }
}

} // namespace quorane::engine
