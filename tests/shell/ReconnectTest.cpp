// A station that drops while it plays: the window says "Reconnecting..."
// while the engine reconnects, the station again when sound is back, and
// "Can't open " with the address when the attempts run out. Real window,
// real engine, real servers on 127.0.0.1, sound checked at the output.
#include "PlaybackFixture.h"

#include <QTimer>
#include <memory>

namespace {

class Reconnect : public PlaybackFixture {
protected:
    QByteArray StationFile() const override {
        return "Drop FM\t\t\t\t\t" + QByteArray::fromStdString(server.url("/drops")) + "\t\r\n";
    }
    void SetUp() override {
        // Every connection closes after its burst and six seconds more.
        quorane::test::StreamMount drops = Mp3Station();
        drops.closeAfterBytes = 65536 + 6 * 16000;
        server.addStream("/drops", drops);
        PlaybackFixture::SetUp();
    }
    void TearDown() override {
        follow.stop();
        PlaybackFixture::TearDown();
    }
    // Whatever panel 0 showed, in order, each change once.
    void FollowPanel0(QStringList &seen) {
        QObject::connect(&follow, &QTimer::timeout, [&] {
            const QString now = form->StatusPanel(0);
            if (seen.isEmpty() || seen.last() != now)
                seen.append(now);
        });
        follow.start(5);
    }
    QTimer follow;
};

} // namespace

TEST_F(Reconnect, AClosedConnectionShowsReconnectingThenTheStationAndSoundsAgain) {
    Select({0});
    form->sListView1DblClick();
    ASSERT_TRUE(WaitForOpen());
    ASSERT_TRUE(Playing());
    QStringList seen;
    FollowPanel0(seen);
    ASSERT_TRUE(WaitFor([&] { return form->StatusPanel(0) == "Reconnecting..."; }, 15000))
        << seen.join(" | ").toStdString();
    const size_t dropAt = Output().size();
    ASSERT_TRUE(WaitFor([&] { return form->StatusPanel(0) == "Drop FM"; }, 15000))
        << seen.join(" | ").toStdString();
    EXPECT_GE(server.connections("/drops"), 2);
    // Sound again from the new connection.
    ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output(), dropAt) >= 5; }, 5000));
    EXPECT_GE(seen.indexOf("Reconnecting..."), 0);
    EXPECT_GT(seen.lastIndexOf("Drop FM"), seen.indexOf("Reconnecting..."));
    EXPECT_TRUE(Playing());
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
        ASSERT_TRUE(WaitFor([&] { return form->StatusPanel(0) == "Reconnecting..."; }, 15000))
            << form->StatusPanel(0).toStdString();
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
