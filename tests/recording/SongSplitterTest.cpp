// Song by song, from a scripted station: the recorder is handed, through its
// tap procedure as the engine would, the frames of a real MP3 one after
// another, a level for every frame some seconds after its bytes (the
// decoder runs behind the download), quiet stretches and title changes
// where the script puts them, lost audio and reconnects. What comes out is
// judged by the files' names, places and lengths. The rules are shortened
// (songs of 20 s, pieces of 2 s) so that the scripts stay short.
#include "RecorderTestSupport.h"
#include "SongStreams.h"
#include "recording/StreamRecorder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>

using namespace quorane::test;

namespace {

constexpr double FrameSeconds = 1152.0 / 44100;
// How far the decoder's levels come after the bytes.
constexpr double DecoderLagSeconds = 5;

struct Script {
    const char *name;
    double seconds;
    std::vector<std::pair<double, double>> quiet; // stretches at level 0
    std::vector<std::pair<double, std::string>> titles;
    std::vector<double> gaps;       // one frame's bytes never come, here
    std::vector<double> reconnects; // a new connection starts here
    // Expected: each file (relative to the station's folder) and its length
    // in seconds (-1: not checked).
    std::vector<std::pair<std::string, double>> files;
};

// The frames of tone440.mp3, looped for as long as a script needs.
class FrameSource {
public:
    FrameSource() : file_(fileBytes(fixtureAudio("tone440.mp3"))) {
        for (size_t at = 0; at + 4 <= file_.size();) {
            const auto *b = reinterpret_cast<const uint8_t *>(file_.data() + at);
            const size_t length = 144 * 128000 / 44100 + ((b[2] >> 1) & 1);
            frames_.emplace_back(at, length);
            at += length;
        }
    }
    std::string frame(size_t i) const {
        const auto &[at, length] = frames_[i % frames_.size()];
        return file_.substr(at, length);
    }

private:
    std::string file_;
    std::vector<std::pair<size_t, size_t>> frames_;
};

// Hands a script's events to a recorder through its tap procedure, up to
// a given moment of the script at a time.
class ScriptPlayer {
public:
    ScriptPlayer(StreamRecorder &recorder, const Script &script)
        : recorder_(recorder), script_(script) {
        send(BASS_TAP_CONNECTION, 0, "audio/mpeg");
    }

    void PlayUntil(double seconds) {
        const size_t lag = size_t(DecoderLagSeconds / FrameSeconds);
        for (; double(next_) * FrameSeconds < std::min(seconds, script_.seconds); ++next_) {
            const double t = double(next_) * FrameSeconds;
            if (due(t, script_.reconnects)) {
                // The lost connection's audio still plays to its end.
                for (auto [p, level] : undecoded_)
                    send(BASS_TAP_LEVEL, p, "", level);
                undecoded_.clear();
                ++connection_;
                pos_ = 0;
                send(BASS_TAP_CONNECTION, 0, "audio/mpeg");
            }
            const std::string frame = source_.frame(next_);
            float level = 0.01f;
            for (auto [from, to] : script_.quiet)
                if (t >= from && t + FrameSeconds <= to)
                    level = 0;
            if (!due(t, script_.gaps))
                send(BASS_TAP_DATA, pos_, frame);
            for (const auto &[when, title] : script_.titles)
                if (due(t, {when}))
                    send(BASS_TAP_META, pos_ + 10, "StreamTitle='" + title + "';");
            undecoded_.emplace_back(pos_, level);
            pos_ += frame.size();
            if (undecoded_.size() > lag) {
                send(BASS_TAP_LEVEL, undecoded_.front().first, "", undecoded_.front().second);
                undecoded_.erase(undecoded_.begin());
            }
        }
        // What is undecoded at the end was never heard.
    }

private:
    static bool due(double t, const std::vector<double> &times) {
        return std::any_of(times.begin(), times.end(),
                           [&](double x) { return t <= x && x < t + FrameSeconds; });
    }
    void send(DWORD kind, QWORD pos, const std::string &data, float level = 0) {
        BASS_TAPEVENT e{};
        e.kind = kind;
        e.connection = connection_;
        e.pos = pos;
        e.data = data.data();
        e.length = DWORD(data.size());
        e.frames = kind == BASS_TAP_LEVEL ? 1152 : 0;
        e.rate = kind == BASS_TAP_LEVEL ? 44100 : 0;
        e.level = level;
        StreamRecorder::TapProc(0x10001, &e, &recorder_);
    }

    StreamRecorder &recorder_;
    const Script &script_;
    FrameSource source_;
    DWORD connection_ = 1;
    QWORD pos_ = 0;
    size_t next_ = 0;                                // the next frame
    std::vector<std::pair<QWORD, float>> undecoded_; // frames whose level is still due
};

// The seconds of MP3 audio in a recorded file: its frames after the tag.
double mp3Seconds(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray b = f.readAll();
    if (!b.startsWith("ID3") || b.size() < 10)
        return -1;
    qsizetype at = 10 + (qsizetype(b[6]) << 21 | qsizetype(b[7]) << 14 | qsizetype(b[8]) << 7 |
                         qsizetype(b[9]));
    int frames = 0;
    while (at + 4 <= b.size() && uint8_t(b[at]) == 0xFF) {
        at += 144 * 128000 / 44100 + ((uint8_t(b[at + 2]) >> 1) & 1);
        ++frames;
    }
    return at == b.size() ? frames * FrameSeconds : -1;
}

StreamRecorder::Settings shortRules(const QString &music) {
    StreamRecorder::Settings settings;
    settings.MusicFolder = music;
    settings.MinFreeBytes = 0;
    settings.Rules.MinSongSeconds = 20;
    settings.Rules.MinPieceSeconds = 2;
    return settings;
}

class ScriptedStation : public ::testing::TestWithParam<Script> {};

TEST_P(ScriptedStation, OneFilePerSong) {
    const Script &s = GetParam();
    QTemporaryDir music;
    {
        StreamRecorder recorder(shortRules(music.path()), [](const SongSplitter::Notice &) {});
        recorder.BeginStream({StationName, {StationName}, QStringLiteral("http://127.0.0.1/x")});
        ScriptPlayer(recorder, s).PlayUntil(s.seconds);
        recorder.EndStream();
        recorder.WaitIdle();
    }
    const QString station = music.path() + QStringLiteral("/Quorane/") + StationName;
    std::vector<std::string> expected;
    for (const auto &[file, seconds] : s.files)
        expected.push_back(file);
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(filesUnder(music.path() + QStringLiteral("/Quorane")), [&] {
        std::vector<std::string> full;
        for (const std::string &f : expected)
            full.push_back(std::string(StationName) + "/" + f);
        return full;
    }());
    for (const auto &[file, seconds] : s.files) {
        if (seconds < 0)
            continue;
        EXPECT_NEAR(mp3Seconds(station + '/' + QString::fromStdString(file)), seconds,
                    2 * FrameSeconds)
            << file;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, ScriptedStation,
    ::testing::Values(
        // The change to B is heard at 21 s; the quiet 300 ms two seconds
        // before it is where B starts. The change to C has no quiet around
        // it: the cut stays where the change is heard.
        Script{"CutsInTheQuietNearTheChange",
               70,
               {{18.85, 19.15}},
               {{0.5, "A - One"}, {21, "B - Two"}, {45, "C - Three"}},
               {},
               {},
               {{"Incomplete/A - One.mp3", 19.0},
                {"B - Two.mp3", 26.0},
                {"Incomplete/C - Three.mp3", -1}}},
        // Titles that are the station's own name or empty start no song,
        // nor does the same title sent again.
        Script{"OwnNameAndEmptyTitlesStartNoSong",
               90,
               {},
               {{0.5, "A - One"}, {15, StationName}, {40, ""}, {65, "  "}, {70, "A - One"}},
               {},
               {},
               {{"Incomplete/A - One.mp3", -1}}},
        // A reconnect in B: both pieces are partial; the longer is kept.
        Script{"ReconnectMakesTheSongPartial",
               75,
               {},
               {{0.5, "A - One"}, {20, "B - Two"}, {50.5, "B - Two"}},
               {},
               {50},
               {{"Incomplete/A - One.mp3", 20.0}, {"Incomplete/B - Two.mp3", 30.0}}},
        // Audio lost in B: B is partial; C after it is whole again.
        Script{"LostAudioMakesTheSongPartial",
               100,
               {},
               {{0.5, "A - One"}, {10, "B - Two"}, {40, "C - Three"}, {70, "D - Four"}},
               {25},
               {},
               {{"Incomplete/A - One.mp3", -1},
                {"Incomplete/B - Two.mp3", -1},
                {"C - Three.mp3", 30.0},
                {"Incomplete/D - Four.mp3", -1}}},
        // A song shorter than the shortest kept (a jingle) is not kept.
        Script{"ShortSongIsNotKept",
               60,
               {},
               {{0.5, "A - One"}, {10, "Jingle - Short"}, {18, "C - Three"}, {50, "D - Four"}},
               {},
               {},
               {{"Incomplete/A - One.mp3", -1},
                {"C - Three.mp3", 32.0},
                {"Incomplete/D - Four.mp3", -1}}}),
    [](const auto &info) { return std::string(info.param.name); });

// A writer that cannot keep up (here: stuck) never holds up the tap: audio
// that does not fit the queue is dropped and the song becomes partial.
TEST(RecorderQueue, NeverWaitsForTheWriter) {
    QTemporaryDir music;
    StreamRecorder::Settings settings = shortRules(music.path());
    settings.MaxQueuedBytes = 64 * 1024;
    std::mutex mutex;
    std::condition_variable cv;
    bool stuck = false, release = false;
    StreamRecorder recorder(settings, [&](const SongSplitter::Notice &n) {
        if (n.What != SongSplitter::Notice::Kind::SongStarted || n.Title != "B - Two")
            return;
        std::unique_lock lock(mutex);
        stuck = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    recorder.BeginStream({StationName, {StationName}, QStringLiteral("http://127.0.0.1/x")});
    // The writer gets stuck as B starts; meanwhile the tap is handed the
    // rest of the script at once.
    const Script s{"", 90, {}, {{0.5, "A - One"}, {10, "B - Two"}, {60, "C - Three"}}, {}, {}, {}};
    ScriptPlayer player(recorder, s);
    // Up to 20 s at the pace the writer keeps (B's start is not decided
    // yet: its surroundings are not decoded), then the second that decides it.
    for (double t = 1; t <= 20; ++t) {
        player.PlayUntil(t);
        recorder.WaitIdle();
    }
    player.PlayUntil(21);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return stuck; }));
    }
    const auto start = std::chrono::steady_clock::now();
    player.PlayUntil(s.seconds);
    const auto took = std::chrono::steady_clock::now() - start;
    {
        std::lock_guard lock(mutex);
        release = true;
        cv.notify_all();
    }
    recorder.EndStream();
    recorder.WaitIdle();
    // 70 s of a station handed over in well under a second of waiting.
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    const QString station = music.path() + QStringLiteral("/Quorane/") + StationName;
    EXPECT_TRUE(QFile::exists(station + QStringLiteral("/Incomplete/B - Two.mp3")));
    EXPECT_FALSE(QFile::exists(station + QStringLiteral("/B - Two.mp3")));
}

} // namespace
