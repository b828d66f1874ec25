// Playing from the real main window: a station picked in the list or a
// favourite slot opens a real stream from a server on 127.0.0.1 through the
// real engine, the sound reaches the output, and the window shows the
// station, its bitrate and the titles as they arrive.
#include "PlaybackFixture.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace {

class Playback : public PlaybackFixture {
protected:
    QByteArray StationFile() const override {
        return "Local FM\tA test station\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/live")) + "\t\r\n" +
               "Gone FM\tAnswers 404\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/gone")) + "\t\r\n";
    }
    void SetUp() override {
        server.addStream("/live", Mp3Station());
        PlaybackFixture::SetUp();
    }
    // Everything the window shows about what plays.
    QStringList Texts() const {
        return {form->StatusPanel(0), form->StatusPanel(1), form->StatusPanel(2),
                form->StatusPanel(3), form->NowPlaying(),   form->windowTitle()};
    }
};

} // namespace

TEST_F(Playback, PickingAStationPlaysItAndShowsItsNameBitrateAndTitles) {
    Select({0});
    form->sListView1DblClick();
    EXPECT_EQ(form->StatusPanel(0), "Connecting to Local FM...");
    ASSERT_TRUE(WaitForOpen());
    ASSERT_NE(Channel(), 0u);
    EXPECT_EQ(form->Playback.CurrentUrl, QByteArray::fromStdString(server.url("/live")));
    EXPECT_EQ(form->StatusPanel(0), "Local FM");
    EXPECT_EQ(form->StatusPanel(1), "Bitrate: 128k");
    // The list's name replaces the header's, which the player still knows.
    EXPECT_EQ(form->NowPlaying(), "Local FM");
    EXPECT_EQ(form->Playback.IcyName, " Test FM");
    EXPECT_TRUE(Playing());
    // The tone itself reaches the sound device.
    ASSERT_TRUE(WaitFor([&] { return SoundingWindows(Output()) >= 10; }))
        << "no sound at the output";
    const std::vector<float> out = Output();
    size_t first = 0;
    while (Rms(out, first, Rate / 20) < 0.01)
        first += Rate / 20;
    EXPECT_NEAR(Pitch(out, first + Rate / 10, Rate / 5), 440.0, 15.0);

    ASSERT_TRUE(WaitFor([&] { return form->NowPlaying().startsWith("Artist - "); }))
        << form->NowPlaying().toStdString();
    const QString first_title = form->NowPlaying();
    EXPECT_EQ(form->windowTitle(), first_title);
    EXPECT_EQ(ApplicationTitle(), first_title);
    EXPECT_TRUE(form->StatusPanel(2).startsWith("Metadata received: 0"));
    EXPECT_TRUE(form->StatusPanel(2).endsWith(" Mb"));
    const qint64 counted = form->Playback.MetaBytes;
    EXPECT_GT(counted, 0);
    // The title changes on the server, and the window follows.
    ASSERT_TRUE(WaitFor([&] { return form->NowPlaying() != first_title; }));
    EXPECT_TRUE(form->NowPlaying().startsWith("Artist - "));
    EXPECT_GT(form->Playback.MetaBytes, counted);

    form->Stop1Click();
    EXPECT_EQ(Active(Channel()), DWORD(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(form->StatusPanel(0), "Local FM"); // Stop changes no text
}

TEST_F(Playback, AStationThatCannotBeOpenedLeavesNothingPlaying) {
    Select({0});
    form->sListView1DblClick();
    ASSERT_TRUE(WaitForOpen());
    ASSERT_NE(Channel(), 0u);
    const DWORD playing = Channel();

    const QString nowPlaying = form->NowPlaying();
    Select({1});
    form->sListView1DblClick();
    // The old stream goes at once, not when the new one is there.
    EXPECT_EQ(Active(playing), DWORD(BASS_ACTIVE_STOPPED));
    ASSERT_TRUE(WaitForOpen());
    EXPECT_EQ(Channel(), 0u);
    // A station that cannot be opened says so, from the list too; its name
    // would read as if it played.
    EXPECT_EQ(form->StatusPanel(0), "Can't open " + QString::fromStdString(server.url("/gone")));
    EXPECT_EQ(form->NowPlaying(), nowPlaying);
    // A slot whose address no longer works says so.
    form->FavoriteUrls[2] = QByteArray::fromStdString(server.url("/gone"));
    form->FavoriteButtonClick(3);
    EXPECT_EQ(form->StatusPanel(0),
              "Connecting to " + QString::fromStdString(server.url("/gone")) + "...");
    ASSERT_TRUE(WaitForOpen());
    EXPECT_EQ(Channel(), 0u);
    EXPECT_EQ(form->StatusPanel(0), "Can't open " + QString::fromStdString(server.url("/gone")));
    // With nothing selected the play command does nothing at all.
    form->sListView1->clearSelection();
    form->SetStatusPanel(0, "unchanged");
    form->sListView1DblClick();
    EXPECT_FALSE(form->Player->Connecting());
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
    EXPECT_EQ(form->sEdit1->text(), "Search...");
    ASSERT_TRUE(WaitForOpen());
    EXPECT_TRUE(Playing());
    EXPECT_EQ(form->StatusPanel(0), "Playing " + QString::fromStdString(server.url("/live")));
    EXPECT_EQ(form->StatusPanel(1), "Bitrate: 128k");
    // The header's name shows until the first title comes.
    EXPECT_EQ(form->Playback.IcyName, " Test FM");
    EXPECT_TRUE(form->NowPlaying() == " Test FM" || form->NowPlaying().startsWith("Artist - "))
        << form->NowPlaying().toStdString();

    // The desktop's media controls play the same address anew.
    const DWORD before = Channel();
    form->PlayCurrentUrl();
    EXPECT_EQ(form->StatusPanel(0),
              "Connecting to " + QString::fromStdString(server.url("/live")) + "...");
    ASSERT_TRUE(WaitForOpen());
    EXPECT_TRUE(Playing());
    EXPECT_NE(Channel(), before);
    EXPECT_EQ(server.connections("/live"), 2);
}

TEST_F(Playback, AnEmptySlotByKeyButtonOrMenuLeavesThePlayingStreamAndEveryText) {
    // One title only, so nothing changes the window but the commands.
    quorane::test::StreamMount steady = Mp3Station();
    steady.titleEveryMs = 600000;
    server.addStream("/steady", steady);
    form->FavoriteUrls[0] = QByteArray::fromStdString(server.url("/steady"));
    form->FavoriteButtonClick(1);
    ASSERT_TRUE(WaitForOpen());
    ASSERT_TRUE(Playing());
    ShowActive();
    form->sEdit1->setFocus();
    const DWORD playing = Channel();
    ASSERT_TRUE(form->FavoriteUrls[2].isEmpty());
    ASSERT_TRUE(form->FavoriteUrls[13].isEmpty());
    const auto unchanged = [&](const std::function<void()> &command, const char *how) {
        const QStringList before = Texts();
        const QString edit = form->sEdit1->text();
        command();
        EXPECT_EQ(Texts(), before) << how;
        EXPECT_EQ(form->sEdit1->text(), edit) << how;
        EXPECT_FALSE(form->Player->Connecting()) << how;
        EXPECT_EQ(Channel(), playing) << how;
        EXPECT_EQ(Active(playing), DWORD(BASS_ACTIVE_PLAYING)) << how;
    };
    unchanged([&] { Key(Qt::Key_3); }, "digit key");
    unchanged([&] { Key(Qt::Key_4, Qt::AltModifier); }, "Alt+4");
    unchanged([&] { form->sButton[2]->click(); }, "button");
    unchanged([&] { form->PlaySlot[2]->trigger(); }, "menu");
    EXPECT_EQ(server.connections("/steady"), 1);
}

TEST_F(Playback, TheSliderSetsTheOutputVolume) {
    form->sTrackBar1->setValue(30);
    EXPECT_FLOAT_EQ(form->Playback.Bass.BASS_GetVolume(), 0.30f);
    form->Volume1001Click();
    EXPECT_FLOAT_EQ(form->Playback.Bass.BASS_GetVolume(), 1.0f);
    form->Mute1Click();
    EXPECT_FLOAT_EQ(form->Playback.Bass.BASS_GetVolume(), 0.0f);
}
