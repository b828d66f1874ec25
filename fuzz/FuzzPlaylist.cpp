// The playlist reader on any body: recognition, the entries, and each entry
// resolved against a station's playlist URL. Every entry is a trimmed,
// non-empty piece of one line of the body.
#include "PlaylistParser.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using quorane::engine::PlaylistParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view body(reinterpret_cast<const char *>(data), size);
    PlaylistParser::isPlaylist("audio/x-scpls", body);
    PlaylistParser::isPlaylist(body.substr(0, 40), body.substr(0, 16));
    for (const std::string &entry : PlaylistParser::entries(body)) {
        if (entry.empty() || std::isspace(static_cast<unsigned char>(entry.front())) ||
            std::isspace(static_cast<unsigned char>(entry.back())) ||
            entry.find_first_of("\r\n") != std::string::npos ||
            body.find(entry) == std::string_view::npos)
            std::abort();
        PlaylistParser::resolve("http://radio.example:8000/listen/live.pls?sid=1", entry);
        PlaylistParser::resolve(entry, "stream.mp3");
    }
    return 0;
}
