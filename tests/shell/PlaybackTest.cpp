// Playing from the real main window: a station picked in the list or a
// favourite slot opens a real stream from a server on 127.0.0.1 through the
// real engine, and the window shows the station, its bitrate and the titles
// as they arrive.
#include "MainWindowFixture.h"
#include "fixtures/IcyServer.h"
#include "playback/Dynamic_Bass.h"
#include "playback/PlaybackState.h"
#include "window/Dispatch.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSlider>
#include <functional>

using quorane::test::IcyServer;
using quorane::test::StreamMount;

namespace {

StreamMount Mp3Station() {
    StreamMount m;
    m.audioFile = quorane::test::fixtureAudio("tone440.mp3");
    m.contentType = "audio/mpeg";
    m.shoutcastStatus = true;
    m.icyName = " Test FM";
    m.icyBr = "128";
    m.metaint = 8192;
    m.titles = {"Artist - First", "Artist - Second"};
    m.titleEveryMs = 400;
    m.bytesPerSecond = 16000;
    return m;
}

class Playback : public MainWindowFixture {
protected:
    QByteArray StationFile() const override {
        return "Local FM\tA test station\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/live")) + "\t\r\n" +
               "Gone FM\tAnswers 404\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/gone")) + "\t\r\n";
    }
    void SetUp() override {
        server.addStream("/live", Mp3Station());
        MainWindowFixture::SetUp();
        ASSERT_NE(AudioLibHandle, nullptr) << "the engine did not start";
    }
    void TearDown() override {
        if (AudioLibHandle)
            Bass.BASS_StreamFree(Channel);
        Channel = 0;
        MainWindowFixture::TearDown();
    }
    // Lets queued title notifications arrive until `done` or 10 s pass.
    static bool WaitFor(const std::function<bool()> &done) {
        for (int i = 0; i < 1000 && !done(); ++i)
            QTest::qWait(10);
        return done();
    }

    IcyServer server;
};

} // namespace

TEST_F(Playback, PickingAStationShowsItsNameBitrateAndTheTitlesAsTheyCome) {
    Select({0});
    form->sListView1DblClick();
    EXPECT_NE(Channel, 0u);
    EXPECT_EQ(CurrentUrl, QByteArray::fromStdString(server.url("/live")));
    EXPECT_EQ(form->StatusPanel(0), "Local FM");
    EXPECT_EQ(form->StatusPanel(1), "Bitrate: 128k");
    // The list's name replaces the header's, which the player still knows.
    EXPECT_EQ(form->NowPlaying(), "Local FM");
    EXPECT_EQ(IcyName, " Test FM");
    EXPECT_EQ(Bass.BASS_ChannelIsActive(Channel), DWORD(BASS_ACTIVE_PLAYING));

    ASSERT_TRUE(WaitFor([&] { return form->NowPlaying().startsWith("Artist - "); }))
        << form->NowPlaying().toStdString();
    const QString first = form->NowPlaying();
    EXPECT_EQ(form->windowTitle(), first);
    EXPECT_EQ(ApplicationTitle(), first);
    EXPECT_TRUE(form->StatusPanel(2).startsWith("Metadata received: 0"));
    EXPECT_TRUE(form->StatusPanel(2).endsWith(" Mb"));
    const qint64 counted = MetaBytes;
    EXPECT_GT(counted, 0);
    // The title changes on the server, and the window follows.
    ASSERT_TRUE(WaitFor([&] { return form->NowPlaying() != first; }));
    EXPECT_TRUE(form->NowPlaying().startsWith("Artist - "));
    EXPECT_GT(MetaBytes, counted);

    form->Stop1Click();
    EXPECT_EQ(Bass.BASS_ChannelIsActive(Channel), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(form->StatusPanel(0), "Local FM"); // Stop changes no text
}

TEST_F(Playback, AStationThatCannotBeOpenedLeavesNothingPlaying) {
    Select({0});
    form->sListView1DblClick();
    ASSERT_NE(Channel, 0u);
    const DWORD playing = Channel;

    Select({1});
    form->sListView1DblClick();
    EXPECT_EQ(Channel, 0u);
    EXPECT_EQ(Bass.BASS_ChannelIsActive(playing), DWORD(BASS_ACTIVE_STOPPED));
    // From the list, the station's name replaces "Can't open ...".
    EXPECT_EQ(form->StatusPanel(0), "Gone FM");
    EXPECT_EQ(form->NowPlaying(), "Gone FM");
    // A free favourite slot opens the empty address and says so.
    form->FavoriteButtonClick(3);
    EXPECT_EQ(Channel, 0u);
    EXPECT_EQ(form->StatusPanel(0), "Can't open ");
    // With nothing selected the play command does nothing at all.
    form->sListView1->clearSelection();
    form->SetStatusPanel(0, "unchanged");
    form->sListView1DblClick();
    EXPECT_EQ(form->StatusPanel(0), "unchanged");
}

TEST_F(Playback, FavouritesKeepTheirAddressAndPlayByButtonAndKey) {
    Select({0});
    form->SetFavoriteClick(5);
    EXPECT_EQ(form->FavoriteUrls[4], QByteArray::fromStdString(server.url("/live")));
    form->Stations.Delete(0); // the slot keeps its own copy
    ShowActive();
    form->sEdit1->setFocus();
    form->sEdit1->setText("Search...");
    Key(Qt::Key_5);
    EXPECT_NE(Channel, 0u);
    EXPECT_EQ(form->sEdit1->text(), "Search...");
    EXPECT_EQ(form->StatusPanel(0), "Playing " + QString::fromStdString(server.url("/live")));
    EXPECT_EQ(form->StatusPanel(1), "Bitrate: 128k");
    // The header's name shows until the first title comes.
    EXPECT_EQ(IcyName, " Test FM");
    EXPECT_TRUE(form->NowPlaying() == " Test FM" || form->NowPlaying().startsWith("Artist - "))
        << form->NowPlaying().toStdString();
}

TEST_F(Playback, TheSliderSetsTheOutputVolume) {
    form->sTrackBar1->setValue(30);
    EXPECT_FLOAT_EQ(Bass.BASS_GetVolume(), 0.30f);
    form->Volume1001Click();
    EXPECT_FLOAT_EQ(Bass.BASS_GetVolume(), 1.0f);
    form->Mute1Click();
    EXPECT_FLOAT_EQ(Bass.BASS_GetVolume(), 0.0f);
}
