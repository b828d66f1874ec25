#include "PlaylistParser.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <curl/curl.h>
#include <map>

namespace quorane::engine {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.front())) || s.front() == 0))
        s.remove_prefix(1);
    while (!s.empty() && (std::isspace(static_cast<unsigned char>(s.back())) || s.back() == 0))
        s.remove_suffix(1);
    return s;
}

std::string_view skipBom(std::string_view s) {
    if (s.size() >= 3 && s.substr(0, 3) == "\xEF\xBB\xBF")
        s.remove_prefix(3);
    return trim(s);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && lower(s.substr(0, prefix.size())) == prefix;
}

} // namespace

bool PlaylistParser::isPlaylist(std::string_view contentType, std::string_view firstBytes) {
    std::string type = lower(trim(contentType.substr(0, contentType.find(';'))));
    static const char *const kTypes[] = {"audio/x-scpls",
                                         "audio/scpls",
                                         "application/pls+xml",
                                         "audio/x-mpegurl",
                                         "audio/mpegurl",
                                         "application/x-mpegurl",
                                         "application/vnd.apple.mpegurl",
                                         "application/vnd.apple.mpegurl.audio"};
    for (const char *t : kTypes)
        if (type == t)
            return true;
    std::string_view head = skipBom(firstBytes);
    return startsWithNoCase(head, "[playlist]") || startsWithNoCase(head, "#extm3u") ||
           startsWithNoCase(head, "http://") || startsWithNoCase(head, "https://");
}

std::vector<std::string> PlaylistParser::entries(std::string_view body) {
    body = skipBom(body);
    bool pls = startsWithNoCase(body, "[playlist]");
    std::map<long, std::string> numbered; // PLS entries by their number
    std::vector<std::string> out;
    while (!body.empty()) {
        size_t eol = body.find_first_of("\r\n");
        std::string_view line = trim(body.substr(0, eol));
        body.remove_prefix(eol == std::string_view::npos ? body.size() : eol + 1);
        if (line.empty())
            continue;
        if (pls) {
            size_t eq = line.find('=');
            if (eq == std::string_view::npos || !startsWithNoCase(line, "file"))
                continue;
            std::string key(line.substr(4, eq - 4));
            char *end = nullptr;
            long n = std::strtol(key.c_str(), &end, 10);
            std::string_view value = trim(line.substr(eq + 1));
            if (key.empty() || *end != '\0' || value.empty() || numbered.count(n))
                continue;
            numbered.emplace(n, std::string(value));
        } else if (line.front() != '#') {
            out.emplace_back(line);
        }
    }
    for (auto &[n, url] : numbered)
        out.push_back(std::move(url));
    return out;
}

std::string PlaylistParser::resolve(const std::string &base, const std::string &entry) {
    CURLU *u = curl_url();
    std::string result;
    char *full = nullptr;
    if (u && curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl_url_set(u, CURLUPART_URL, entry.c_str(), 0) == CURLUE_OK &&
        curl_url_get(u, CURLUPART_URL, &full, 0) == CURLUE_OK) {
        result = full;
    }
    curl_free(full);
    curl_url_cleanup(u);
    return result;
}

} // namespace quorane::engine
