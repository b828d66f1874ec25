// The playlist reader on any body: recognition, the entries, and each entry
// resolved against a station's playlist URL.
#include "PlaylistParser.h"

#include <cstdint>
#include <string>
#include <string_view>

using quorane::engine::PlaylistParser;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view body(reinterpret_cast<const char *>(data), size);
    PlaylistParser::isPlaylist("audio/x-scpls", body);
    PlaylistParser::isPlaylist(body.substr(0, 40), body.substr(0, 16));
    for (const std::string &entry : PlaylistParser::entries(body)) {
        PlaylistParser::resolve("http://radio.example:8000/listen/live.pls?sid=1", entry);
        PlaylistParser::resolve(entry, "stream.mp3");
    }
    return 0;
}
