// A station that drops while it plays: the window says "Reconnecting..."
// while the engine reconnects, the station again when sound is back, the
// resumed stream's own title after it, and "Can't open " with the address
// when the attempts run out. Stop ends the attempts. Real window, real
// engine, real servers on 127.0.0.1, sound checked at the output.
#include "PlaybackFixture.h"

#include <QTimer>
#include <memory>

namespace {

class Reconnect : public PlaybackFixture {
protected:
    QByteArray StationFile() const override {
        return "Drop FM\t\t\t\t\t" + QByteArray::fromStdString(server.url("/drops")) + "\t\r\n";
    }
    void TearDown() override {
        follow.stop();
        PlaybackFixture::TearDown();
    }
    // The station as the server serves it after the drop: another tone and a
    // title of its own, so what plays afterwards is known to come from the
    // new connection.
    static quorane::test::StreamMount Returned() {
        quorane::test::StreamMount m = Mp3Station("tone1k.mp3");
        m.titles = {"Back - Again"};
        m.titleEveryMs = 600000;
        return m;
    }
    // Picks Drop FM in the list and waits until it sounds with its first
    // title; from then on every change of panel 0 and of the title is kept.
    void PlayDropFm() {
        Select({0});
        form->sListView1DblClick();
        ASSERT_TRUE(WaitForOpen());
        ASSERT_TRUE(Playing()) << form->StatusPanel(0).toStdString();
        ASSERT_EQ(form->StatusPanel(0), "Drop FM");
        ASSERT_TRUE(WaitFor([&] { return form->NowPlaying().startsWith("Artist - "); }))
            << form->NowPlaying().toStdString();
        ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output()) >= 5; })) << "no sound";
        panel0 = QStringList{form->StatusPanel(0)};
        titles = QStringList{form->NowPlaying()};
        QObject::connect(&follow, &QTimer::timeout, [this] {
            const auto keep = [](QStringList &seen, const QString &now) {
                if (seen.isEmpty() || seen.last() != now)
                    seen.append(now);
            };
            keep(panel0, form->StatusPanel(0));
            keep(titles, form->NowPlaying());
        });
        follow.start(5);
    }
    bool WaitForReconnecting(int ms = 15000) {
        return WaitFor([&] { return form->StatusPanel(0) == "Reconnecting..."; }, ms);
    }
    // Sound back with the returned station's tone, the station's name in
    // panel 0 after "Reconnecting...", and its title shown after that.
    void ExpectBackWithTheNewTitle(size_t dropAt) {
        ASSERT_TRUE(WaitFor([&] { return form->StatusPanel(0) == "Drop FM"; }, 20000)) << Seen();
        ASSERT_TRUE(WaitFor([&] { return form->NowPlaying() == "Back - Again"; })) << Seen();
        EXPECT_EQ(form->windowTitle(), "Back - Again");
        EXPECT_EQ(ApplicationTitle(), "Back - Again");
        // The texts in order, each once: nothing else between.
        EXPECT_EQ(Joined(panel0), "Drop FM | Reconnecting... | Drop FM") << Seen();
        EXPECT_EQ(titles.last(), "Back - Again");
        EXPECT_TRUE(titles.first().startsWith("Artist - ")) << Seen();
        EXPECT_TRUE(Playing());
        // The new connection's tone at the output.
        ASSERT_TRUE(WaitFor(
            [&] {
                const std::vector<float> out = Output();
                const size_t at = out.size() < size_t(Rate) / 5 ? 0 : out.size() - Rate / 5;
                return at > dropAt && Rms(out, at, Rate / 5) > 0.01 &&
                       std::abs(Pitch(out, at, Rate / 5) - 1000.0) < 30.0;
            },
            10000))
            << "the returned station's tone never reached the output";
    }
    static std::string Joined(const QStringList &texts) { return texts.join(" | ").toStdString(); }
    std::string Seen() const { return Joined(panel0) + " / " + Joined(titles); }

    QTimer follow;
    QStringList panel0; // every text of status panel 0 since PlayDropFm, in order
    QStringList titles; // every title shown since PlayDropFm, in order
};

} // namespace

TEST_F(Reconnect, AClosedConnectionShowsReconnectingThenTheStationAndSoundsAgain) {
    // Every connection closes after its burst and six seconds more.
    quorane::test::StreamMount drops = Mp3Station();
    drops.closeAfterBytes = 65536 + 6 * 16000;
    server.addStream("/drops", drops);
    PlayDropFm();
    ASSERT_TRUE(WaitForReconnecting()) << Seen();
    const size_t dropAt = Output().size();
    ASSERT_TRUE(WaitFor([&] { return form->StatusPanel(0) == "Drop FM"; }, 15000)) << Seen();
    EXPECT_GE(server.connections("/drops"), 2);
    // Sound again from the new connection.
    ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output(), dropAt) >= 5; }, 5000));
    EXPECT_EQ(Joined(panel0.mid(0, 3)), "Drop FM | Reconnecting... | Drop FM") << Seen();
    EXPECT_TRUE(Playing());
}

TEST_F(Reconnect, AServerThatStopsSendingIsLeftAndTheStationComesBack) {
    quorane::test::StreamMount stalls = Mp3Station();
    stalls.stallAfterBytes = 65536 + 3 * 16000; // then silent, the socket kept open
    server.addStream("/drops", stalls);
    PlayDropFm();
    // The connection that stalled keeps its mount; the next one gets this.
    server.addStream("/drops", Returned());
    ASSERT_TRUE(WaitForReconnecting(20000)) << Seen();
    EXPECT_EQ(server.connections("/drops"), 1) << "reconnected before the stall was noticed";
    ExpectBackWithTheNewTitle(Output().size());
    EXPECT_EQ(server.connections("/drops"), 2);
}

TEST_F(Reconnect, AServerDownForThreeSecondsIsPlayedAgainWhenItIsBack) {
    server.addStream("/drops", Mp3Station());
    PlayDropFm();
    server.setDown(true);
    ASSERT_TRUE(WaitForReconnecting()) << Seen();
    const size_t dropAt = Output().size();
    server.addStream("/drops", Returned());
    QTest::qWait(3000);
    // Still trying, not given up.
    EXPECT_EQ(form->StatusPanel(0), "Reconnecting...");
    server.setDown(false);
    ExpectBackWithTheNewTitle(dropAt);
}

TEST_F(Reconnect, AMountMissingForThreeSecondsIsPlayedAgainWhenItsSourceReturns) {
    server.addStream("/drops", Mp3Station());
    PlayDropFm();
    // The source left: the listeners are dropped and the mount answers 404.
    server.removeRoute("/drops");
    server.dropClients();
    ASSERT_TRUE(WaitForReconnecting()) << Seen();
    const size_t dropAt = Output().size();
    QTest::qWait(3000);
    EXPECT_EQ(form->StatusPanel(0), "Reconnecting...");
    // The first connection and at least one answered 404.
    EXPECT_GE(server.connections("/drops"), 2);
    server.addStream("/drops", Returned());
    ExpectBackWithTheNewTitle(dropAt);
}

TEST_F(Reconnect, StopDuringTheAttemptsEndsThemAndEveryTextStays) {
    server.addStream("/drops", Mp3Station());
    PlayDropFm();
    server.removeRoute("/drops");
    server.dropClients();
    ASSERT_TRUE(WaitForReconnecting()) << Seen();
    QTest::qWait(1000);
    form->Stop1Click();
    // Stop takes "Reconnecting..." back: nothing is being tried any more.
    EXPECT_EQ(form->StatusPanel(0), "Drop FM");
    const int tried = server.connections("/drops");
    const QString title = form->NowPlaying();
    const size_t stoppedAt = Output().size();
    // The source returns: a player still trying would find it within the
    // next attempts (1, 2, 4 s apart by now).
    server.addStream("/drops", Returned());
    QTest::qWait(9000);
    EXPECT_EQ(server.connections("/drops"), tried) << "reconnected after Stop";
    EXPECT_EQ(form->StatusPanel(0), "Drop FM");
    EXPECT_EQ(form->NowPlaying(), title);
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(Active(Channel()), DWORD(BASS_ACTIVE_STOPPED));
    // Whatever was on its way to the output when Stop came has long played.
    EXPECT_EQ(SoundingWindows(Output(), stoppedAt + Rate), 0);
    EXPECT_EQ(panel0.last(), "Drop FM") << Seen();
    EXPECT_FALSE(panel0.contains("Can't open " + QString::fromStdString(server.url("/drops"))))
        << Seen();
}

namespace {

// A station whose server the test takes away while it plays.
class Outage : public Reconnect {
protected:
    void SetUp() override {
        Reconnect::SetUp();
        gone = std::make_unique<quorane::test::IcyServer>();
        gone->addStream("/live", Mp3Station());
        url = QByteArray::fromStdString(gone->url("/live"));
        // Give up after 2 s of attempts instead of five minutes.
        form->Playback.Bass.BASS_SetConfig(BASS_CONFIG_NET_RECONNECT_LIMIT, 2000);
        form->FavoriteUrls[0] = url;
        form->FavoriteButtonClick(1);
        ASSERT_TRUE(WaitForOpen());
        ASSERT_TRUE(Playing());
        gone.reset();
        ASSERT_TRUE(WaitForReconnecting()) << form->StatusPanel(0).toStdString();
    }
    std::unique_ptr<quorane::test::IcyServer> gone;
    QByteArray url;
};

} // namespace

TEST_F(Outage, AServerDownForGoodEndsInCantOpen) {
    ASSERT_TRUE(
        WaitFor([&] { return form->StatusPanel(0) == "Can't open " + QString(url); }, 20000))
        << form->StatusPanel(0).toStdString();
    EXPECT_NE(Active(Channel()), DWORD(BASS_ACTIVE_PLAYING));
}

TEST_F(Outage, StopWhileReconnectingEndsTheAttemptsAndTheirTexts) {
    form->Stop1Click();
    EXPECT_EQ(form->StatusPanel(0), "Playing " + QString(url));
    // Past the attempts' limit: no "Can't open", nothing plays.
    QTest::qWait(4000);
    EXPECT_EQ(form->StatusPanel(0), "Playing " + QString(url));
    EXPECT_EQ(Active(Channel()), DWORD(BASS_ACTIVE_STOPPED));
}
