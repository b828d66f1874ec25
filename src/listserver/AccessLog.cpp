#include "AccessLog.h"

#include <ctime>

std::string AccessLog::Printable(const std::string &s, bool quoted) {
    std::string out;
    for (const char ch : s.substr(0, 300)) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F || c == '\\' || (quoted && (c >= 0x80 || c == '"'))) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return s.size() > 300 ? out + "..." : out;
}

void AccessLog::Request(const std::string &peer, const std::string &request, int status,
                        uint64_t bytes, const std::string &note) {
    if (!out_)
        return;
    char when[32];
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    std::string line = std::string(when) + ' ' + peer + " \"" + Printable(request, true) + "\" " +
                       (status > 0 ? std::to_string(status) : std::string("-")) + ' ' +
                       std::to_string(bytes);
    if (!note.empty())
        line += ' ' + Printable(note, false);
    line += '\n';
    const std::lock_guard<std::mutex> lock(mutex_);
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}
