// Recording real stations: the song streams served over 127.0.0.1 as ICY
// MP3, chained Ogg Vorbis and Opus, and HLS with AAC in MPEG-TS, played by
// the real engine (its silent output running faster than real time, so that
// minutes of songs take seconds) with the recorder on its tap. Each song
// must come out as a file of its own that decodes without an error, holds
// one pitch, is cut inside the silence between the songs and carries its
// tags; the song under way at the start and at the end are partial, and the
// 30 s song is not kept.
#include "RecorderTestSupport.h"
#include "SongStreams.h"
#include "recording/OggPage.h"
#include "recording/StreamRecorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace quorane::test;
using namespace std::chrono_literals;

namespace {

// What is wrong with the Ogg pages of a recorded file, empty when nothing:
// every page whole with a right checksum, one logical stream opened by the
// first page and closed by the last, pages numbered 0, 1, 2... and granule
// positions that never go back.
std::string oggPagesWrong(const std::string &path) {
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return "cannot be read";
    const QByteArray bytes = f.readAll();
    qsizetype at = 0;
    uint32_t sequence = 0;
    int64_t granule = 0;
    OggPage page, first;
    while (at < bytes.size()) {
        const qsizetype n = OggPage::Parse(QByteArrayView(bytes).sliced(at), page);
        if (n <= 0)
            return "no whole page with a right checksum at byte " + std::to_string(at);
        if (sequence == 0)
            first = page;
        if (page.Serial != first.Serial)
            return "a second logical stream at page " + std::to_string(sequence);
        if (page.Sequence != sequence)
            return "page " + std::to_string(sequence) + " numbered " +
                   std::to_string(page.Sequence);
        if (page.Granule != -1 && page.Granule < granule)
            return "granule goes back at page " + std::to_string(sequence);
        if (page.Granule != -1)
            granule = page.Granule;
        const bool last = at + n == bytes.size();
        if (bool(page.Flags & OggPage::First) != (sequence == 0) ||
            bool(page.Flags & OggPage::Last) != last)
            return "wrong flags on page " + std::to_string(sequence);
        at += n;
        ++sequence;
    }
    return sequence > 0 ? "" : "no pages";
}

class RecordedStreams : public ::testing::TestWithParam<SongStation::Form> {};

TEST_P(RecordedStreams, OneCleanTaggedFilePerSong) {
    const std::vector<ScheduledSong> songs = songSchedule();
    SongStation station(GetParam());
    QTemporaryDir music;
    ASSERT_TRUE(music.isValid());
    FastEngine engine;
    ASSERT_TRUE(engine.ok()) << BASS_ErrorGetCode();

    Notices notices;
    StreamRecorder::Settings settings;
    settings.MusicFolder = music.path();
    {
        StreamRecorder recorder(settings, notices.listener());
        const DWORD ch = recordStation(recorder, station.url());
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        const std::string last = songs[3].streamTitle();
        const bool reached = waitFor(
            [&] {
                return recorder.SongTitle().toStdString() == last && recorder.SongSeconds() >= 8;
            },
            90s);
        stopRecording(recorder, ch);
        ASSERT_TRUE(reached) << "the recording never got 8 s into the last song";
    }

    const QString folder = QDir(music.path()).filePath(QStringLiteral("Quorane/") + StationName);
    const QString ext = QString::fromStdString("." + station.extension());
    const auto name = [&](int song) {
        return QString::fromStdString(songs[size_t(song)].streamTitle()) + ext;
    };
    const QString in = QString::fromLatin1(StationName) + '/';
    std::vector<std::string> expected = {(in + name(2)).toStdString(),
                                         (in + "Incomplete/" + name(0)).toStdString(),
                                         (in + "Incomplete/" + name(3)).toStdString()};
    std::sort(expected.begin(), expected.end());
    // The 30 s song is gone, and nothing is left in the recorder's own folder.
    ASSERT_EQ(filesUnder(QDir(music.path()).filePath(QStringLiteral("Quorane"))), expected)
        << notices.text();

    for (int song : {0, 2, 3}) {
        const bool complete = song == 2;
        const std::string path =
            QDir(folder)
                .filePath((complete ? QString() : QStringLiteral("Incomplete/")) + name(song))
                .toStdString();
        SCOPED_TRACE(path);
        const Decoded d = decodeFile(path);
        EXPECT_EQ(d.errors, "");
        // One pitch, its own.
        int own = 0, others = 0;
        for (int p : pitchesOf(d)) {
            if (p == songs[size_t(song)].pitch)
                ++own;
            else if (p != 0)
                ++others;
        }
        EXPECT_EQ(others, 0);
        EXPECT_GT(own, 0);
        // Cut inside the silence: quiet at an end made at a song change.
        const bool cutBefore = song != 0, cutAfter = song == 0 || song == 2;
        if (cutBefore) {
            EXPECT_LT(rmsBetween(d, 0, 0.03), 0.01) << "starts inside a tone";
        }
        if (cutAfter) {
            EXPECT_LT(rmsBetween(d, d.seconds() - 0.03, d.seconds()), 0.01) << "ends inside a tone";
        }
        if (complete) {
            EXPECT_NEAR(d.seconds(), songs[2].toneSeconds + SilenceSeconds, 0.25);
        }

        if (ext == ".ogg" || ext == ".opus") {
            EXPECT_EQ(oggPagesWrong(path), "");
        }

        const Probed p = probeFile(path);
        EXPECT_EQ(p.errors, "");
        EXPECT_EQ(p.tag("title"), songs[size_t(song)].title);
        EXPECT_EQ(p.tag("artist"), songs[size_t(song)].artist);
        EXPECT_EQ(p.tag("album"), StationName);
        EXPECT_EQ(p.tag("comment"), station.url());
        EXPECT_EQ(p.tag("date").size(), 10u) << p.tag("date");
    }
    bool dropped = false;
    for (const SongSplitter::Notice &n : notices.get())
        dropped = dropped || (n.What == SongSplitter::Notice::Kind::SongDropped &&
                              n.Title.toStdString() == songs[1].streamTitle());
    EXPECT_TRUE(dropped) << "the 30 s song was not reported as dropped";
}

INSTANTIATE_TEST_SUITE_P(Forms, RecordedStreams,
                         ::testing::Values(SongStation::Form::IcyMp3, SongStation::Form::OggVorbis,
                                           SongStation::Form::OggOpus, SongStation::Form::HlsAac,
                                           SongStation::Form::IcyLatm, SongStation::Form::HlsFmp4),
                         [](const auto &info) {
                             switch (info.param) {
                             case SongStation::Form::IcyMp3:
                                 return std::string("IcyMp3");
                             case SongStation::Form::OggVorbis:
                                 return std::string("OggVorbis");
                             case SongStation::Form::OggOpus:
                                 return std::string("OggOpus");
                             case SongStation::Form::HlsAac:
                                 return std::string("HlsAac");
                             case SongStation::Form::IcyLatm:
                                 return std::string("IcyLatm");
                             case SongStation::Form::HlsFmp4:
                                 return std::string("HlsFmp4");
                             }
                             return std::string();
                         });

} // namespace
