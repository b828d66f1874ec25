#include "StationPage.h"

#include "Utf8.h"

#include <vector>

namespace StationPage {

namespace {

std::vector<std::string> Split(const std::string &s, char sep) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (;;) {
        const size_t next = s.find(sep, at);
        parts.push_back(s.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos)
            return parts;
        at = next + 1;
    }
}

} // namespace

std::string Escape(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Render(const std::string &stationBytes, const std::string &versionBytes) {
    std::string stations = stationBytes;
    if (stations.rfind("\xEF\xBB\xBF", 0) == 0)
        stations.erase(0, 3);
    if (!Utf8::IsValid(stations))
        stations = Utf8::FromLatin1(stations);
    std::string version = versionBytes;
    if (version.rfind("\xEF\xBB\xBF", 0) == 0)
        version.erase(0, 3);
    while (!version.empty() && std::string(" \t\r\n").find(version.back()) != std::string::npos)
        version.pop_back();
    if (!Utf8::IsValid(version))
        version = Utf8::FromLatin1(version);

    std::string rows;
    size_t count = 0;
    for (std::string line : Split(stations, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::vector<std::string> f = Split(line, '\t');
        f.resize(7);
        ++count;
        rows += "<tr><td>" + Escape(f[0]) + "</td><td>" + Escape(f[2]) + "</td><td>" +
                Escape(f[3]) + "</td><td>" + Escape(f[4]) + "</td><td>" + Escape(f[1]) +
                "</td><td>" + Escape(f[5]) + "</td></tr>\n";
    }
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Quorane station list</title>\n"
        "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse}"
        "td,th{border:1px solid #ccc;padding:.2em .5em;text-align:left}</style>\n"
        "</head>\n<body>\n<h1>Quorane station list</h1>\n";
    if (!version.empty())
        page += "<p>Latest Quorane version: " + Escape(version) + "</p>\n";
    page += "<p>" + std::to_string(count) + (count == 1 ? " station" : " stations") +
            ". Quorane's List &gt; Download list from server loads them; the plain list is "
            "<a href=\"stations.txt\">stations.txt</a>.</p>\n";
    page += "<table>\n<tr><th>Station</th><th>Genre</th><th>Country</th><th>Language</th>"
            "<th>Description</th><th>Stream</th></tr>\n" +
            rows + "</table>\n</body>\n</html>\n";
    return page;
}

} // namespace StationPage
