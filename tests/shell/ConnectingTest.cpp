// The window while a station connects: it keeps painting and taking play
// commands, the newest command wins, and an abandoned open never sounds and
// never shows anything. Real window, real engine, real servers on 127.0.0.1.
#include "PlaybackFixture.h"

#include <QAction>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class Connecting : public PlaybackFixture {
protected:
    QByteArray StationFile() const override {
        const auto line = [&](const char *name, const char *path) {
            return QByteArray(name) + "\t\t\t\t\t" + QByteArray::fromStdString(server.url(path)) +
                   "\t\r\n";
        };
        return line("Silent FM", "/silent") + line("Slow FM", "/slow") + line("Local FM", "/live");
    }
    void SetUp() override {
        server.addSilent("/silent");
        server.addStream("/live", Mp3Station());
        // A 1 kHz station that trickles: its buffer wait takes seconds.
        quorane::test::StreamMount slow = Mp3Station("tone1k.mp3");
        slow.icyName = "Slow Header FM";
        slow.titles = {"Slow - Song"};
        slow.burstBytes = 4000;
        slow.bytesPerSecond = 2000;
        server.addStream("/slow", slow);
        PlaybackFixture::SetUp();
    }
    // 100 ms windows of the output that sound at about `hz`.
    static int WindowsAt(const std::vector<float> &s, double hz) {
        int n = 0;
        for (size_t at = 0; at + Rate / 10 <= s.size(); at += Rate / 10)
            n += Rms(s, at, Rate / 10) > 0.01 && std::abs(Pitch(s, at, Rate / 10) - hz) < 50;
        return n;
    }
};

} // namespace

TEST_F(Connecting, TheWindowKeepsTickingWhileAServerNeverAnswersAndTheNextStationPlaysAtOnce) {
    // The abandoned open ends by the engine's answer bound; a shorter one
    // keeps the test short.
    form->Playback.Bass.BASS_SetConfig(BASS_CONFIG_NET_TIMEOUT, 3000);
    ShowActive();
    // Ticks of the UI thread, and of a plain thread beside it: a pause that
    // the plain thread saw as well is the loaded machine's, not the window's.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const auto ms = [&](Clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(t - start).count();
    };
    std::vector<qint64> uiTicks, plainTicks;
    std::mutex plainMutex;
    std::atomic<bool> ticking{true};
    std::thread plain([&] {
        while (ticking) {
            {
                std::lock_guard<std::mutex> lock(plainMutex);
                plainTicks.push_back(ms(Clock::now()));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] { uiTicks.push_back(ms(Clock::now())); });
    tick.start();

    Select({0});
    form->sListView1DblClick();
    EXPECT_EQ(form->StatusPanel(0), "Connecting to Silent FM...");
    QTest::qWait(1500);
    ASSERT_TRUE(form->Player->Connecting()) << "the silent server cannot have answered";
    // Meanwhile list edits and dialogs wait; play commands and Stop do not.
    EXPECT_FALSE(form->Clearlist1->isEnabled());
    EXPECT_FALSE(form->Deletestation1->isEnabled());
    EXPECT_FALSE(form->Settings1->isEnabled());
    EXPECT_TRUE(form->PlaySlot[0]->isEnabled());
    EXPECT_TRUE(form->Stop1->isEnabled());
    Key(Qt::Key_Delete);
    EXPECT_EQ(form->Stations.Count(), 3);

    const qint64 secondCommand = ms(Clock::now());
    Select({2});
    QElapsedTimer toSound;
    toSound.start();
    form->sListView1DblClick();
    ASSERT_TRUE(WaitFor([&] { return Playing(); }, 5000));
    const qint64 openMs = toSound.elapsed();
    tick.stop();
    ticking = false;
    plain.join();
    EXPECT_LT(openMs, 1000) << "ms from the double-click to playing";
    // The UI thread's longest pause, less the longest pause of the plain
    // thread within it.
    qint64 worst = 0, worstEnd = 0;
    for (size_t i = 1; i < uiTicks.size(); ++i) {
        const qint64 from = uiTicks[i - 1], to = uiTicks[i];
        qint64 machine = 0;
        for (size_t j = 1; j < plainTicks.size(); ++j) {
            const qint64 a = std::max(from, plainTicks[j - 1]), b = std::min(to, plainTicks[j]);
            machine = std::max(machine, b - a);
        }
        if (to - from - machine > worst) {
            worst = to - from - machine;
            worstEnd = to;
        }
    }
    EXPECT_GT(uiTicks.size(), 50u);
    EXPECT_LE(worst, 100) << "ms the UI thread stood still, up to " << worstEnd
                          << " ms in; the second command came at " << secondCommand << " ms";
    EXPECT_EQ(form->StatusPanel(0), "Local FM");
    EXPECT_TRUE(form->Clearlist1->isEnabled());
    EXPECT_TRUE(form->Settings1->isEnabled());
    EXPECT_EQ(server.connections("/silent"), 1);
}

TEST_F(Connecting, AnOpenAbandonedForAnotherStationNeverSoundsNorShows) {
    Select({1});
    form->sListView1DblClick();
    // The slow station answers at once and then fills its buffer slowly.
    ASSERT_TRUE(WaitFor([&] { return server.connections("/slow") == 1; }));
    QTest::qWait(500);
    ASSERT_TRUE(form->Player->Connecting());
    Select({2});
    form->sListView1DblClick();
    ASSERT_TRUE(WaitForOpen());
    ASSERT_TRUE(Playing());
    ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output()) >= 30; }));
    // Past the end of the slow station's buffer wait, had it gone on.
    QTest::qWait(4000);

    const std::vector<float> out = Output();
    EXPECT_GE(WindowsAt(out, 440), 10);
    EXPECT_EQ(WindowsAt(out, 1000), 0) << "the abandoned station reached the output";
    EXPECT_EQ(form->StatusPanel(0), "Local FM");
    EXPECT_NE(form->NowPlaying(), "Slow Header FM");
    EXPECT_NE(form->NowPlaying(), "Slow - Song");
    EXPECT_NE(form->windowTitle(), "Slow - Song");
    EXPECT_EQ(form->Playback.IcyName, " Test FM");
}

TEST_F(Connecting, AStationThatCannotBeOpenedShowsConnectingAndThenCantOpen) {
    // A port that nothing listens on.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QByteArray closed = "http://127.0.0.1:" + QByteArray::number(probe.serverPort()) + "/fm";
    probe.close();
    form->Stations.Insert(0, "Closed FM\tNobody home\t\t\t\t" + QString::fromLatin1(closed) + "\t");
    form->Model->SetRowCount(form->Stations.Count());
    const QString cantOpen = "Can't open " + QString::fromLatin1(closed);

    // From the list, and as the directory's results play (by name and URL).
    for (const bool fromTheList : {true, false}) {
        if (fromTheList) {
            Select({0});
            form->sListView1DblClick();
        } else {
            form->PlayStation("Directory FM", closed);
        }
        const QString name = fromTheList ? "Closed FM" : "Directory FM";
        EXPECT_EQ(form->StatusPanel(0), "Connecting to " + name + "...");
        ASSERT_TRUE(WaitForOpen());
        EXPECT_EQ(Channel(), 0u);
        EXPECT_EQ(form->StatusPanel(0), cantOpen) << fromTheList;
        EXPECT_EQ(form->NowPlaying(), "Quorane") << fromTheList;
    }

    // A station that opens shows its name in both places once it plays.
    form->PlayStation("Directory FM", QByteArray::fromStdString(server.url("/live")));
    EXPECT_EQ(form->StatusPanel(0), "Connecting to Directory FM...");
    ASSERT_TRUE(WaitForOpen());
    ASSERT_TRUE(Playing());
    EXPECT_EQ(form->StatusPanel(0), "Directory FM");
    EXPECT_TRUE(form->NowPlaying() == "Directory FM" || form->NowPlaying().startsWith("Artist - "))
        << form->NowPlaying().toStdString();
}

TEST_F(Connecting, StopAbandonsTheOpenAndNothingPlaysAfterwards) {
    Select({1});
    form->sListView1DblClick();
    ASSERT_TRUE(WaitFor([&] { return server.connections("/slow") == 1; }));
    form->Stop1Click();
    EXPECT_FALSE(form->Player->Connecting());
    EXPECT_EQ(form->StatusPanel(0), "");
    EXPECT_TRUE(form->Clearlist1->isEnabled());
    QTest::qWait(2000);
    EXPECT_EQ(Channel(), 0u);
    EXPECT_EQ(SoundingWindows(Output()), 0);
    EXPECT_EQ(form->StatusPanel(0), "");
    EXPECT_EQ(form->NowPlaying(), "Quorane");
}
