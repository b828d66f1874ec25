#include "HlsPlaylist.h"

#include <cctype>
#include <cstdlib>
#include <limits>

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

int64_t toInt(std::string_view s) {
    std::string text(trim(s));
    char *end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    return end == text.c_str() ? 0 : v;
}

} // namespace

bool HlsPlaylist::isHls(std::string_view body) {
    if (startsWith(body, "\xEF\xBB\xBF"))
        body.remove_prefix(3);
    body = trim(body);
    if (!startsWith(body, "#EXTM3U"))
        return false;
    return body.find("#EXT-X-TARGETDURATION") != std::string_view::npos ||
           body.find("#EXT-X-STREAM-INF") != std::string_view::npos;
}

HlsPlaylist HlsPlaylist::parse(std::string_view body) {
    HlsPlaylist p;
    int64_t sequence = 0;
    double duration = 0;
    std::string title, mapUri;
    bool encrypted = false;
    bool variantPending = false;
    Variant variant;
    while (!body.empty()) {
        size_t eol = body.find_first_of("\r\n");
        std::string_view line = trim(body.substr(0, eol));
        body.remove_prefix(eol == std::string_view::npos ? body.size() : eol + 1);
        if (line.empty())
            continue;
        if (line.front() != '#') {
            if (variantPending) {
                variant.uri = line;
                p.variants.push_back(variant);
                variantPending = false;
            } else {
                p.segments.push_back(
                    {std::string(line), sequence++, duration, title, mapUri, encrypted});
                duration = 0;
                title.clear();
            }
            continue;
        }
        size_t colon = line.find(':');
        std::string_view tag = line.substr(0, colon);
        std::string_view rest =
            colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
        if (tag == "#EXT-X-STREAM-INF") {
            variant = Variant();
            variant.bandwidth = static_cast<long>(toInt(attribute(rest, "BANDWIDTH")));
            variant.audioOnly = audioCodecsOnly(attribute(rest, "CODECS"));
            variantPending = true;
        } else if (tag == "#EXT-X-TARGETDURATION") {
            p.targetDuration = static_cast<double>(toInt(rest));
        } else if (tag == "#EXT-X-MEDIA-SEQUENCE") {
            sequence = toInt(rest);
        } else if (tag == "#EXTINF") {
            std::string text(rest.substr(0, rest.find(',')));
            duration = std::strtod(text.c_str(), nullptr);
            title = extinfTitle(rest);
        } else if (tag == "#EXT-X-KEY") {
            encrypted = attribute(rest, "METHOD") != "NONE";
        } else if (tag == "#EXT-X-MAP") {
            mapUri = attribute(rest, "URI");
        } else if (tag == "#EXT-X-ENDLIST") {
            p.endList = true;
        }
    }
    return p;
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
