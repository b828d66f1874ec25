// Opens each station of a station file (tab-separated, URL in the sixth field)
// with the engine, as the player would, and prints one line per station:
// whether it plays (it opened and still plays a few seconds later), its
// format, bitrate, first title and time to first audio.
// For a machine that is online: it tells which bundled stations still work.
#include "bass.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> fields(const std::string &line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t')
            out.emplace_back();
        else if (c != '\r')
            out.back() += c;
    }
    return out;
}

// The value of a header line "name:value" in a tag list, "" when absent.
std::string header(const char *tags, const char *name) {
    size_t n = std::strlen(name);
    for (const char *p = tags; p && *p; p += std::strlen(p) + 1) {
        if (strncasecmp(p, name, n) == 0 && p[n] == ':') {
            const char *v = p + n + 1;
            while (*v == ' ')
                ++v;
            return v;
        }
    }
    return "";
}

std::string title(const char *block) {
    if (!block)
        return "";
    const char *t = std::strstr(block, "StreamTitle=");
    if (!t)
        return "";
    std::string v = t + 12;
    if (!v.empty() && v.front() == '\'')
        v.erase(0, 1);
    size_t end = v.find("';");
    return v.substr(0, end == std::string::npos ? v.find(';') : end);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s STATIONFILE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    // Device 0: the silent output, paced in real time like a sound card.
    if (!BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "engine: BASS_Init failed (%d)\n", BASS_ErrorGetCode());
        return 2;
    }
    BASS_SetConfig(BASS_CONFIG_NET_PLAYLIST, 2);
    int total = 0, failed = 0;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = fields(line);
        if (f.size() < 6 || f[5].empty())
            continue;
        std::string name = f[0];
        if (name.rfind("\xEF\xBB\xBF", 0) == 0)
            name.erase(0, 3);
        ++total;
        auto start = Clock::now();
        DWORD ch = BASS_StreamCreateURL(f[5].c_str(), 0, 0, nullptr, nullptr);
        long ms = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
        if (!ch) {
            ++failed;
            std::printf("FAIL  %-34s error %d after %ld ms  %s\n", name.c_str(),
                        BASS_ErrorGetCode(), ms, f[5].c_str());
            std::fflush(stdout);
            continue;
        }
        BASS_ChannelPlay(ch, FALSE);
        const char *tags = BASS_ChannelGetTags(ch, BASS_TAG_ICY);
        if (!tags)
            tags = BASS_ChannelGetTags(ch, BASS_TAG_HTTP);
        std::string type = header(tags, "Content-Type");
        std::string br = header(tags, "icy-br");
        // The first title: most stations send it at once, some with the song;
        // a stream without ICY metadata has none to wait for.
        std::string first;
        const auto wait =
            header(tags, "icy-metaint").empty() ? std::chrono::seconds(2) : std::chrono::seconds(8);
        for (auto until = Clock::now() + wait; first.empty() && Clock::now() < until;)
            if ((first = title(BASS_ChannelGetTags(ch, BASS_TAG_META))).empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // Still playing by now: the stream decodes, it did not merely open.
        const DWORD state = BASS_ChannelIsActive(ch);
        if (state != BASS_ACTIVE_PLAYING) {
            ++failed;
            std::printf("FAIL  %-34s %s after opening  %s\n", name.c_str(),
                        state == BASS_ACTIVE_STALLED ? "stalled" : "stopped", f[5].c_str());
            std::fflush(stdout);
            BASS_StreamFree(ch);
            continue;
        }
        std::printf("OK    %-34s %-28s %5s kbit/s  first audio %5ld ms  %s\n", name.c_str(),
                    type.empty() ? "?" : type.c_str(), br.empty() ? "?" : br.c_str(), ms,
                    first.empty() ? "(no title)" : first.c_str());
        std::fflush(stdout);
        BASS_StreamFree(ch);
    }
    BASS_Free();
    std::printf("%d passed, %d failed\n", total - failed, failed);
    return failed == 0 ? 0 : 1;
}
