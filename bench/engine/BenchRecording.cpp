#include "BenchRecording.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr double Target = 1.10;
constexpr auto TitleEvery = 8s;

// Sets the mount's title through Icecast's admin interface.
void setTitle(const BenchIcecast &icecast, const std::string &title) {
    std::string encoded;
    for (char c : title)
        encoded += c == ' ' ? std::string("%20") : std::string(1, c);
    const std::string cmd = "curl -s -o /dev/null --max-time 2 -u 'admin:" + icecast.adminPassword +
                            "' '" + icecast.adminMetadataUrl + encoded + "'";
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "could not set the title %s\n", title.c_str());
}

// Starts a child and waits for its first audio; null when it did not play.
std::unique_ptr<ChildProcess> start(const std::vector<std::string> &argv) {
    auto p =
        std::make_unique<ChildProcess>(argv, std::vector<std::string>{"SDL_AUDIODRIVER=dummy"});
    std::string line;
    while (p->readLine(line, Clock::now() + 30s)) {
        if (line.rfind("FIRST_AUDIO_MS=", 0) == 0)
            return p;
        if (line.rfind("ERROR=", 0) == 0) {
            std::fprintf(stderr, "%s\n", line.c_str());
            break;
        }
    }
    return nullptr;
}

} // namespace

bool measureRecording(const std::string &self, const BenchIcecast &icecast, int seconds) {
    char folder[] = "/tmp/quorane-bench-recording.XXXXXX";
    if (!mkdtemp(folder))
        return false;
    struct Remove {
        const char *path;
        ~Remove() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } remove{folder};
    // The recorder is a program of its own, beside this one, so that the
    // engine's own figures are taken without the recorder's libraries.
    const std::string recorder =
        (std::filesystem::path(self).parent_path() / "bench_engine_recorder").string();
    const std::string lifetime = std::to_string(seconds + 30);
    std::unique_ptr<ChildProcess> playing = start({self, "--play", icecast.url, lifetime});
    std::unique_ptr<ChildProcess> recording = start({recorder, icecast.url, lifetime, folder});
    if (!playing || !recording)
        return false;
    const double play0 = playing->threadsRunMs(), record0 = recording->threadsRunMs();
    const auto begin = Clock::now();
    int songs = 0;
    std::string ignored;
    while (Clock::now() < begin + std::chrono::seconds(seconds)) {
        setTitle(icecast, "Bench Artist - Song " + std::to_string(++songs));
        const auto next =
            std::min(Clock::now() + TitleEvery, begin + std::chrono::seconds(seconds));
        while (Clock::now() < next) {
            playing->readLine(ignored, std::min(next, Clock::now() + 100ms));
            recording->readLine(ignored, std::min(next, Clock::now() + 100ms));
        }
    }
    const double play = playing->threadsRunMs() - play0,
                 record = recording->threadsRunMs() - record0;
    const double ratio = play > 0 ? record / play : -1;
    std::printf("%-22s playing %7.1f ms  playing and recording %7.1f ms  ratio %.2f  "
                "(target <= %.2f: %s)\n",
                "CPU time recording", play, record, ratio, Target,
                ratio < 0         ? "no figure"
                : ratio <= Target ? "met"
                                  : "MISSED");
    std::printf("(both at once for %d s on the same mount, its title changed every %lld s: %d "
                "songs cut, written, and dropped as shorter than 45 s)\n",
                seconds, static_cast<long long>(TitleEvery.count()), songs);
    return true;
}
