// bench_engine: plays one live 128 kbit/s MP3 stream from a real Icecast on
// 127.0.0.1 with Quorane's engine and with mpv, and prints the engine's
// figures as ratios of mpv's: CPU time over 30 s of playing, peak memory
// (VmHWM; and at the end of playing PSS, which shares the pages of the
// libraries both load among the processes that map them, and the pages
// private to the process), and the time from the play command to the first
// sound: for the engine, BASS_StreamCreateURL, the player's buffer wait (more
// than three quarters of the download buffer downloaded and not yet decoded,
// at most 5 s) and BASS_ChannelPlay, until the first non-silent sample
// reaches the output (SDL's disk driver, which consumes samples at real-time
// pace); for mpv, from its start until it opens its audio output on its
// first decoded audio. Icecast's own time to first byte (curl) is printed
// beside them.
//
// Usage: bench_engine [seconds-of-playing (default 30) [URL]]: with a URL,
// that stream is measured instead (a live HLS server on 127.0.0.1, say).
// bench_engine --recording [seconds]: only the recorder's CPU share
// (BenchRecording.h), which the full run measures last.
// Both players run as child processes measured the same way from /proc;
// the engine's child is this program started with --play URL.
#include "BenchIcecast.h"
#include "BenchRecording.h"
#include "BuildPaths.h"
#include "ChildProcess.h"
#include "bass.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Child mode: open, report the time to the first decoded audio, play until
// terminated (or after `seconds`).
int playWithEngine(const char *url, int seconds) {
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::printf("ERROR=init %d\n", BASS_ErrorGetCode());
        return 1;
    }
    auto t0 = Clock::now();
    DWORD ch = BASS_StreamCreateURL(url, 0, 0, nullptr, nullptr);
    double ms = msSince(t0);
    if (!ch) {
        std::printf("ERROR=open %d\n", BASS_ErrorGetCode());
        return 1;
    }
    BASS_ChannelPlay(ch, FALSE);
    std::printf("FIRST_AUDIO_MS=%.1f\n", ms);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    BASS_Free();
    return 0;
}

// Child mode: create, buffer wait and play as the player does, then report
// when the first non-silent sample is written to the output.
int soundWithEngine(const char *url) {
    std::string file = "/tmp/quorane-bench-" + std::to_string(getpid()) + ".raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) {
        std::printf("ERROR=init %d\n", BASS_ErrorGetCode());
        return 1;
    }
    auto t0 = Clock::now();
    DWORD ch = BASS_StreamCreateURL(url, 0, 0, nullptr, nullptr);
    if (!ch) {
        std::printf("ERROR=open %d\n", BASS_ErrorGetCode());
        return 1;
    }
    double opened = msSince(t0);
    // The player's wait: more than three quarters of the buffer downloaded
    // and not yet decoded, at most 5 s.
    while (msSince(t0) < 5000) {
        QWORD end = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END);
        QWORD down = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_DOWNLOAD);
        QWORD cur = BASS_StreamGetFilePosition(ch, BASS_FILEPOS_CURRENT);
        if (end == 0 || end == ~QWORD(0) ||
            (static_cast<int64_t>(down) - static_cast<int64_t>(cur)) * 100 /
                    static_cast<int64_t>(end) >
                75)
            break;
        std::this_thread::sleep_for(1ms);
    }
    double waited = msSince(t0);
    BASS_ChannelPlay(ch, FALSE);
    FILE *in = std::fopen(file.c_str(), "rb");
    double heard = -1;
    float frame[2];
    while (in && heard < 0 && msSince(t0) < 10000) {
        if (std::fread(frame, sizeof frame, 1, in) == 1) {
            if (std::fabs(frame[0]) > 0.01f || std::fabs(frame[1]) > 0.01f)
                heard = msSince(t0);
        } else {
            std::clearerr(in);
            std::this_thread::sleep_for(1ms);
        }
    }
    if (in)
        std::fclose(in);
    std::remove(file.c_str());
    BASS_Free();
    if (heard < 0) {
        std::printf("ERROR=no sound\n");
        return 1;
    }
    std::printf("FIRST_SOUND_MS=%.1f OPEN_MS=%.1f OPEN_AND_WAIT_MS=%.1f\n", heard, opened, waited);
    return 0;
}

struct Figures {
    double firstAudioMs = -1;
    double cpuMs = -1;
    double wakeupsPerS = -1; // context switches of all threads, per second of playing
    long peakKb = -1;
    long pssKb = -1;     // at the end of playing
    long privateKb = -1; // same
};

// Waits for the line that marks the first audio; returns its time in ms from
// `start`, or -1.
double waitForMarker(ChildProcess &p, const std::string &marker, Clock::time_point start,
                     std::string *line = nullptr) {
    std::string l;
    while (p.readLine(l, Clock::now() + 30s)) {
        if (l.find(marker) != std::string::npos) {
            if (line)
                *line = l;
            return msSince(start);
        }
        if (l.rfind("ERROR=", 0) == 0) {
            std::fprintf(stderr, "%s\n", l.c_str());
            return -1;
        }
    }
    return -1;
}

std::vector<std::string> mpvArgs(const std::string &url) {
    return {"mpv", "--no-config", "--no-video", "--ao=null", "-v", url};
}
const char *kMpvMarker = "[ao/null] requested format"; // mpv opens its output on first audio

// One measured run: first audio, then CPU and peak memory over `seconds`.
Figures measure(bool engine, const std::string &self, const std::string &url, int seconds) {
    Figures f;
    auto start = Clock::now();
    std::vector<std::string> argv =
        engine ? std::vector<std::string>{self, "--play", url, std::to_string(seconds + 30)}
               : mpvArgs(url);
    ChildProcess p(argv, {"SDL_AUDIODRIVER=dummy"});
    std::string line;
    double marker = waitForMarker(p, engine ? "FIRST_AUDIO_MS=" : kMpvMarker, start, &line);
    if (marker < 0)
        return f;
    f.firstAudioMs = engine ? std::atof(line.c_str() + line.find('=') + 1) : marker;
    double cpu0 = p.cpuMs();
    long switches0 = p.switches();
    auto playing = Clock::now();
    // Keep draining the child's output while it plays.
    std::string ignored;
    while (Clock::now() < playing + std::chrono::seconds(seconds))
        p.readLine(ignored, std::min(playing + std::chrono::seconds(seconds), Clock::now() + 1s));
    f.cpuMs = p.cpuMs() - cpu0;
    f.wakeupsPerS = double(p.switches() - switches0) / seconds;
    f.peakKb = p.peakKb();
    f.pssKb = p.pssKb();
    f.privateKb = p.privateKb();
    return f;
}

// Play command to first sound, the median of 5 runs each.
double firstSound(bool engine, const std::string &self, const std::string &url) {
    std::vector<double> runs;
    for (int i = 0; i < 5; ++i) {
        auto start = Clock::now();
        std::vector<std::string> argv =
            engine ? std::vector<std::string>{self, "--sound", url} : mpvArgs(url);
        ChildProcess p(argv, {"SDL_AUDIODRIVER=dummy"});
        std::string line;
        double marker = waitForMarker(p, engine ? "FIRST_SOUND_MS=" : kMpvMarker, start, &line);
        if (marker >= 0)
            runs.push_back(engine ? std::atof(line.c_str() + line.find('=') + 1) : marker);
    }
    return median(runs);
}

void report(const char *what, double engine, double mpv, const char *unit, double target) {
    double ratio = mpv > 0 ? engine / mpv : -1;
    std::printf("%-22s engine %9.1f %-3s  mpv %9.1f %-3s  ratio %.2f  (target <= %.2f: %s)\n", what,
                engine, unit, mpv, unit, ratio, target,
                ratio < 0         ? "no figure of mpv's"
                : ratio <= target ? "met"
                                  : "MISSED");
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 4 && std::string(argv[1]) == "--play")
        return playWithEngine(argv[2], std::atoi(argv[3]));
    if (argc >= 3 && std::string(argv[1]) == "--sound")
        return soundWithEngine(argv[2]);
    const bool recordingOnly = argc >= 2 && std::string(argv[1]) == "--recording";
    if (recordingOnly) {
        --argc;
        ++argv;
    }
    int seconds = argc >= 2 ? std::atoi(argv[1]) : 30;
    if (seconds <= 0)
        seconds = 30;
    const char *script = quorane::test::BuildPath("QUORANE_ICECAST_SCRIPT");
    if (access(script, R_OK) != 0 || system("command -v mpv >/dev/null") != 0) {
        std::fprintf(stderr, "needs %s and mpv\n", script);
        return 77;
    }
    std::string self = "/proc/self/exe";
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n > 0)
        self.assign(path, static_cast<size_t>(n));

    // A URL after the seconds: that stream (a live HLS server on 127.0.0.1,
    // say) instead of the Icecast the bench starts.
    BenchIcecast icecast;
    std::string url = argc >= 3 ? argv[2] : "";
    if (url.empty()) {
        icecast = startBenchIcecast(3 * seconds + 150 + std::max(seconds, 60));
        if (icecast.failure)
            return icecast.failure;
        url = icecast.url;
    }
    std::printf("stream %s, %d s of playing per player\n", url.c_str(), seconds);
    std::fflush(stdout);
    if (recordingOnly)
        return icecast.process && measureRecording(self, icecast, seconds) ? 0 : 1;

    Figures engine = measure(true, self, url, seconds);
    Figures mpv = measure(false, self, url, seconds);
    double engineFirst = firstSound(true, self, url);
    double mpvFirst = firstSound(false, self, url);
    std::vector<double> ttfb;
    for (int i = 0; i < 5; ++i)
        ttfb.push_back(curlFirstByte(url));
    double icecastFirst = median(ttfb);
    if (engine.cpuMs < 0 || mpv.cpuMs < 0 || engineFirst < 0 || mpvFirst < 0) {
        std::fprintf(stderr, "a player failed to start (engine %.0f, mpv %.0f)\n", engine.cpuMs,
                     mpv.cpuMs);
        return 1;
    }
    report("CPU time", engine.cpuMs, mpv.cpuMs, "ms", 0.25);
    std::printf("%-22s engine %9.1f      mpv %9.1f      (what the CPU time goes with)\n",
                "thread wakeups per s", engine.wakeupsPerS, mpv.wakeupsPerS);
    report("peak memory (VmHWM)", engine.peakKb / 1024.0, mpv.peakKb / 1024.0, "MiB", 0.5);
    report("PSS while playing", engine.pssKb / 1024.0, mpv.pssKb / 1024.0, "MiB", 0.5);
    report("private while playing", engine.privateKb / 1024.0, mpv.privateKb / 1024.0, "MiB", 0.5);
    report("play to first sound", engineFirst, mpvFirst, "ms", 0.5);
    std::printf("Icecast's time to first byte (curl): %.1f ms; the engine's first sound is "
                "%.1f ms after it\n",
                icecastFirst, engineFirst - icecastFirst);
    std::printf("(median of 5 runs each; the engine: create + the player's buffer wait + play "
                "until the first non-silent sample reaches the output; mpv: process start until "
                "its audio output opens on the first decoded audio)\n");
    // The CPU clock counts in 10 ms ticks and the recorder's share is a few
    // of them: a minute at least, so that one tick is not the verdict.
    if (icecast.process && !measureRecording(self, icecast, std::max(seconds, 60)))
        return 1;
    return 0;
}
