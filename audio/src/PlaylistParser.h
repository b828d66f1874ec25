// Recognises PLS and M3U/M3U8 playlists and lists their entries. Stations
// often publish a playlist URL instead of the stream; the engine opens the
// first entry that plays. Works on any bytes: never reads out of bounds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorane::engine {

class PlaylistParser {
public:
    // True when the Content-Type names a playlist, or the first bytes of the
    // body look like one (servers often send "text/plain" or nothing useful).
    static bool isPlaylist(std::string_view contentType, std::string_view firstBytes);

    // The entries in playlist order: PLS "FileN=" values ordered by N, or M3U
    // lines that are not comments. Entries are trimmed; empty ones dropped.
    static std::vector<std::string> entries(std::string_view body);

    // The absolute URL of an entry relative to the playlist's own URL; empty
    // when it cannot be resolved.
    static std::string resolve(const std::string &base, const std::string &entry);
};

} // namespace quorane::engine
