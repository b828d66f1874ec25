#pragma once
// The page /quorane/ of the list server: what a listener's browser shows
// when Quorane's update check sends it there, or when someone looks up the
// list by hand. It names the latest version and lists the stations with
// their genre, country, language and stream address; every text from the
// files is HTML-escaped, so a station name cannot put markup on the page.
#include <string>

namespace StationPage {
// The page for the bytes of stations.txt and ver.txt (either may be empty).
// The station file is read as UTF-8 when it is valid UTF-8 (a leading mark
// is dropped), else one character per byte as Latin-1.
std::string Render(const std::string &stations, const std::string &version);
// `text` with & < > " ' replaced by their character references.
std::string Escape(const std::string &text);
} // namespace StationPage
