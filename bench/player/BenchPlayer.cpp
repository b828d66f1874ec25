// bench_player: how soon the real player sounds. On a live 128 kbit/s MP3
// mount of a real Icecast on 127.0.0.1 whose burst is full, it measures, five
// times each and interleaved:
//   - the player: from the play command (a double-click's handler on the
//     station's row of the real main window, offscreen) through StreamPlayer's
//     open and buffer wait to the first non-silent sample that SDL's disk
//     driver writes (it consumes samples at real-time pace, as a sound card);
//   - mpv: from its start until it opens its audio output on its first
//     decoded audio;
//   - Icecast's own time to first byte for a listener (curl);
// and prints the medians and the player's ratio to mpv.
//
// Usage: bench_player [URL]: with a URL, that stream instead of the Icecast
// the bench starts. Each player run is this program started again with
// --sound URL, so every run starts cold, as a user's first click does.
#include "BenchIcecast.h"
#include "BuildPaths.h"
#include "ChildProcess.h"
#include "FirstSoundWatch.h"
#include "platform/AppPaths.h"
#include "platform/ScriptedPrompts.h"
#include "playback/StreamPlayer.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Child mode: a fresh application folder with one station, the real main
// window on it, the station played as a double-click plays it.
int soundWithPlayer(int argc, char **argv, const char *url) {
    QTemporaryDir tmp;
    const QString app = tmp.path() + "/app/";
    QDir().mkpath(app + "Data");
    QDir().mkpath(app + "Plugins");
    QDir().mkpath(tmp.path() + "/config");
    QFile::link(QString::fromLocal8Bit(quorane::test::BuildPath("QUORANE_APPDIR")) +
                    "/Plugins/libbass.so",
                app + "Plugins/libbass.so");
    QFile stations(app + "Data/stations.txt");
    if (!stations.open(QIODevice::WriteOnly))
        return std::printf("ERROR=no station file\n"), 1;
    stations.write(QByteArray("Bench FM\t\t\t\t\t") + url + "\t\r\n");
    stations.close();
    const std::string output = (tmp.path() + "/output.raw").toStdString();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (tmp.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication qapp(argc, argv);
    AppPaths::SetExecutableForTesting(app + "Quorane");
    ScriptedPrompts prompts;
    Prompts::Install(&prompts);
    int status = 0;
    {
        TForm1 form;
        if (!form.Playback.AudioLibHandle) {
            std::printf("ERROR=the engine did not start\n");
            status = 1;
        } else {
            form.sListView1->selectionModel()->select(
                form.Model->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            // The output is silent until the stream plays; watch from here.
            FirstSoundWatch watch(output);
            QEventLoop loop;
            QTimer poll;
            double openMs = -1;
            const Clock::time_point command = Clock::now();
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (openMs < 0 && !form.Player->Connecting())
                    openMs = msBetween(command, Clock::now());
                if (watch.heard() || Clock::now() - command > 10s)
                    loop.quit();
            });
            poll.start(1);
            form.sListView1DblClick();
            loop.exec();
            if (watch.heard()) {
                std::printf("FIRST_SOUND_MS=%.1f OPEN_MS=%.1f\n",
                            msBetween(command, watch.heardAt()), openMs);
            } else {
                std::printf("ERROR=no sound within 10 s (%s)\n",
                            form.StatusPanel(0).toLocal8Bit().constData());
                status = 1;
            }
        }
    }
    Prompts::Install(nullptr);
    AppPaths::SetExecutableForTesting(QString());
    return status;
}

// The time from `start` to the child's line holding `marker`, or -1; the
// line itself in `line`.
double untilLine(ChildProcess &p, const std::string &marker, Clock::time_point start,
                 std::string &line) {
    while (p.readLine(line, Clock::now() + 30s)) {
        if (line.find(marker) != std::string::npos)
            return msBetween(start, Clock::now());
        if (line.rfind("ERROR=", 0) == 0) {
            std::fprintf(stderr, "%s\n", line.c_str());
            return -1;
        }
    }
    return -1;
}

double playerRun(const std::string &self, const std::string &url) {
    ChildProcess p({self, "--sound", url}, {});
    std::string line;
    if (untilLine(p, "FIRST_SOUND_MS=", Clock::now(), line) < 0)
        return -1;
    std::printf("  player %s\n", line.c_str());
    return std::atof(line.c_str() + line.find('=') + 1);
}

double mpvRun(const std::string &url) {
    const Clock::time_point start = Clock::now();
    ChildProcess p({"mpv", "--no-config", "--no-video", "--ao=null", "-v", url}, {});
    std::string line;
    // mpv opens its output when its first audio is decoded.
    const double ms = untilLine(p, "[ao/null] requested format", start, line);
    std::printf("  mpv    FIRST_AUDIO_MS=%.1f\n", ms);
    return ms;
}

std::string selfPath() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string("/proc/self/exe");
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 3 && std::string(argv[1]) == "--sound")
        return soundWithPlayer(argc, argv, argv[2]);
    const char *script = quorane::test::BuildPath("QUORANE_ICECAST_SCRIPT");
    if (access(script, R_OK) != 0 || system("command -v mpv >/dev/null") != 0) {
        std::fprintf(stderr, "needs %s and mpv\n", script);
        return 77;
    }
    BenchIcecast icecast;
    std::string url = argc >= 2 ? argv[1] : "";
    if (url.empty()) {
        icecast = startBenchIcecast(300, {"--title", "Bench - Tone"});
        if (icecast.failure)
            return icecast.failure;
        url = icecast.url;
    }
    std::printf("stream %s\n", url.c_str());
    std::fflush(stdout);

    const std::string self = selfPath();
    std::vector<double> player, mpv, ttfb;
    for (int i = 0; i < 5; ++i) {
        const double p = playerRun(self, url);
        const double m = mpvRun(url);
        if (p < 0 || m < 0) {
            std::fprintf(stderr, "run %d failed (player %.0f, mpv %.0f)\n", i + 1, p, m);
            return 1;
        }
        player.push_back(p);
        mpv.push_back(m);
        ttfb.push_back(curlFirstByte(url));
        std::fflush(stdout);
    }
    const double p = median(player), m = median(mpv), t = median(ttfb);
    const double ratio = p / m;
    std::printf("play to first sound    player %7.1f ms  mpv %7.1f ms  ratio %.2f  "
                "(target <= 0.5: %s)\n",
                p, m, ratio, ratio <= 0.5 ? "met" : "MISSED");
    std::printf("Icecast's time to first byte (curl) %.1f ms: the player's first sound is "
                "%.1f ms after it\n",
                t, p - t);
    std::printf("(median of 5 runs each; the player: the play command in the real main window "
                "to the first non-silent sample at SDL's output; mpv: process start to its "
                "audio output opening on its first decoded audio)\n");
    return 0;
}
