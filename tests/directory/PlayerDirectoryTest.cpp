// The find window beside the real main window, as the program wires them,
// with the real engine: a result found by name plays from a real ICY
// server on 127.0.0.1 with its title in the caption, the directory hears
// of the click, Insert puts the station at the top of the list and in the
// station file at the end, and the settings key names the directory.
#include "DirectoryServer.h"
#include "FindStationsFixture.h"
#include "shell/PlaybackFixture.h"

#include <QAction>
#include <QLabel>

namespace {

class PlayerDirectory : public PlaybackFixture {
protected:
    void SetUp() override {
        server.addStream("/live", Mp3Station());
        quorane::test::FixtureStation live;
        live.name = "Wombat Live Radio";
        live.urlResolved = server.url("/live");
        live.url = server.url("/playlist.pls");
        live.tags = "test,tones";
        live.country = "Australia";
        live.language = "english";
        live.homepage = "https://wombat.invalid/";
        directory.add(live);
        directory.generate(500);
        // The settings name the directory; the window reads them at start.
        TempAppFolder::Write(app.SettingsFile(), "[Main]\r\nVolume=50\r\nDirectoryServer=" +
                                                     QByteArray::fromStdString(directory.base()) +
                                                     "\r\n");
        PlaybackFixture::SetUp();
        find = std::make_unique<TFormFindStations>(*form, form->DirectoryServer);
        form->FormFind = find.get();
    }
    void TearDown() override {
        if (form)
            form->FormFind = nullptr;
        find.reset();
        PlaybackFixture::TearDown();
    }
    void FindKey(Qt::Key key) { QTest::keyClick(find->windowHandle(), key); }

    quorane::test::DirectoryServer directory;
    std::unique_ptr<TFormFindStations> find;
};

} // namespace

TEST_F(PlayerDirectory, CtrlFThenANameAndEnterPlaysTheFirstResultWithItsTitle) {
    EXPECT_EQ(form->DirectoryServer.toStdString(), directory.base());
    ShowActive();
    EXPECT_TRUE(directory.requests().empty()) << "nothing is sent before the window opens";
    Key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(find->isVisible());
    QApplication::setActiveWindow(find.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(find.get()));
    QTest::keyClicks(find->sEdit1, "womb");
    FindKey(Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return Playing(); }, 20000)) << form->StatusPanel(0).toStdString();
    EXPECT_EQ(form->Playback.CurrentUrl.toStdString(), server.url("/live"));
    // Panel and caption as for a station of the list: the name, then the title.
    EXPECT_EQ(form->StatusPanel(0), "Wombat Live Radio");
    ASSERT_TRUE(WaitFor([&] { return form->windowTitle().startsWith("Artist - "); }, 10000))
        << form->windowTitle().toStdString();
    ASSERT_TRUE(WaitFor([&] { return directory.clicks().size() == 1; }));
    EXPECT_EQ(directory.clicks()[0], directory.stations()[0].uuid);

    // Insert: the top of the list at once, the station file at the end.
    const int before = form->Stations.Count();
    FindKey(Qt::Key_Insert);
    ASSERT_EQ(form->Stations.Count(), before + 1);
    const QString line = "Wombat Live Radio\ttest, tones\ttest\tAustralia\tenglish\t" +
                         QString::fromStdString(server.url("/live")) +
                         "\thttps://wombat.invalid/\t";
    EXPECT_EQ(form->Stations.Line(0), line);
    EXPECT_EQ(form->Model->RowCount(), form->Stations.Count());
    EXPECT_EQ(form->Model->Text(0, StationListModel::NameColumn), "Wombat Live Radio");

    // The menu's slot 3: the same slot the key 3 plays.
    find->Slot[2]->trigger();
    EXPECT_EQ(form->FavoriteUrls[2].toStdString(), server.url("/live"));

    form->FormDestroy();
    const QByteArray file = TempAppFolder::Read(app.StationFile());
    EXPECT_TRUE(file.startsWith(line.toUtf8() + "\r\n")) << file.left(300).constData();
    const QByteArray settings = TempAppFolder::Read(app.SettingsFile());
    // Read, never written: the key stays as the user put it.
    EXPECT_TRUE(settings.contains("DirectoryServer=" + QByteArray::fromStdString(directory.base())))
        << settings.constData();
    EXPECT_TRUE(settings.contains("Fav3=" + QByteArray::fromStdString(server.url("/live"))));
    EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(PlayerDirectory, TheListMenuOpensTheWindowAndAWrongSettingIsTold) {
    ASSERT_NE(form->Findstations2, nullptr);
    form->Findstations2->trigger();
    EXPECT_TRUE(find->isVisible());
    find->close();

    // A value that is no address: told once at start, and the servers are
    // looked up instead.
    form->FormFind = nullptr;
    find.reset();
    form.reset();
    TempAppFolder::Write(app.SettingsFile(), "[Main]\r\nDirectoryServer=radio.example\r\n");
    app.prompts.shown.clear();
    form = std::make_unique<TForm1>();
    EXPECT_TRUE(form->DirectoryServer.isEmpty());
    ASSERT_EQ(Errors().size(), 1);
    EXPECT_TRUE(Errors()[0].text.startsWith("The station directory server \"radio.example\" "
                                            "named by DirectoryServer in the settings file"))
        << Errors()[0].text.toStdString();
}
