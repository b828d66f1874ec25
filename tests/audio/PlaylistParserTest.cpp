// Recognising playlists and reading their entries, including the sloppy
// forms stations publish, and random bytes.
#include "PlaylistParser.h"

#include <gtest/gtest.h>
#include <random>

using quorane::engine::PlaylistParser;
using Entries = std::vector<std::string>;

namespace {

TEST(PlaylistParser, RecognisesPlaylistsByTypeOrFirstBytes) {
    EXPECT_TRUE(PlaylistParser::isPlaylist("audio/x-scpls", ""));
    EXPECT_TRUE(PlaylistParser::isPlaylist("Audio/X-MpegURL; charset=utf-8", ""));
    EXPECT_TRUE(PlaylistParser::isPlaylist("application/vnd.apple.mpegurl", ""));
    EXPECT_TRUE(PlaylistParser::isPlaylist("text/plain", "[Playlist]\r\nFile1"));
    EXPECT_TRUE(PlaylistParser::isPlaylist("", "\xEF\xBB\xBF#EXTM3U\n"));
    EXPECT_TRUE(PlaylistParser::isPlaylist("text/html", "\nhttp://radio/"));
    EXPECT_FALSE(PlaylistParser::isPlaylist("audio/mpeg", "\xFF\xFB\x90\x64"));
    EXPECT_FALSE(PlaylistParser::isPlaylist("application/ogg", "OggS"));
    EXPECT_FALSE(PlaylistParser::isPlaylist("", ""));
}

TEST(PlaylistParser, ReadsPlsInEntryOrder) {
    EXPECT_EQ(PlaylistParser::entries("[playlist]\r\nNumberOfEntries=3\r\n"
                                      "File2=http://b/ \r\nTitle2=B\r\n"
                                      "file1 = x\r\nFILE1=http://a/\r\n"
                                      "File3=\r\nFile10=http://c/\r\nVersion=2\r\n"),
              (Entries{"http://a/", "http://b/", "http://c/"}));
    EXPECT_EQ(PlaylistParser::entries("[playlist]\nFilex=http://x/\nFile=http://y/\n"), Entries{});
}

TEST(PlaylistParser, ReadsM3uLinesThatAreNotComments) {
    EXPECT_EQ(PlaylistParser::entries("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,Station\r\n"
                                      "http://a/stream\r\n\r\n  relative.mp3  \n#comment\n"
                                      "https://b/"),
              (Entries{"http://a/stream", "relative.mp3", "https://b/"}));
}

TEST(PlaylistParser, ResolvesEntriesAgainstThePlaylistUrl) {
    EXPECT_EQ(PlaylistParser::resolve("http://h:81/dir/list.pls", "live.mp3"),
              "http://h:81/dir/live.mp3");
    EXPECT_EQ(PlaylistParser::resolve("http://h:81/dir/list.pls", "/root"), "http://h:81/root");
    EXPECT_EQ(PlaylistParser::resolve("http://h/a.m3u", "https://other:8443/x"),
              "https://other:8443/x");
}

TEST(PlaylistParser, SurvivesRandomBodies) {
    std::mt19937 rng(99);
    const std::string alphabet = "[]=\r\n#:/.FfIiLlEe0123456789 playlistPLAYLISThttp";
    for (int iter = 0; iter < 3000; ++iter) {
        size_t size = std::uniform_int_distribution<size_t>(0, 400)(rng);
        std::string body(size, '\0');
        bool structured = iter % 2 == 0;
        for (char &ch : body)
            ch = structured ? alphabet[rng() % alphabet.size()] : static_cast<char>(rng());
        if (iter % 3 == 0)
            body.insert(0, "[playlist]\n");
        for (const std::string &e : PlaylistParser::entries(body)) {
            EXPECT_FALSE(e.empty());
            EXPECT_LE(e.size(), body.size());
        }
        PlaylistParser::isPlaylist(body, body);
    }
}

} // namespace
