// File > Record on the real main window with the real engine: the menu item,
// "REC" in the fourth status panel while a stream is recorded (the sleep
// timer's minutes beside it), a station
// started with the tick on recorded from its start, Stop and unticking
// ending the song under way (kept as partial), and a fresh window (a new
// run) with the tick off.
#include "PlaybackFixture.h"
#include "recording/SongStreams.h"
#include "shell/TForm1.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QStandardPaths>
#include <sys/mount.h>

namespace {

class Recording : public PlaybackFixture {
protected:
    void SetUp() override {
        PlaybackFixture::SetUp();
        ASSERT_TRUE(music.isValid());
        // The desktop's music folder, as Qt finds it for this user.
        QFile dirs(app.Config() + QStringLiteral("/user-dirs.dirs"));
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_MUSIC_DIR=\"" + QFile::encodeName(music.path()) + "\"\n");
        dirs.close();
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::MusicLocation), music.path());
        quorane::test::StreamMount m = Mp3Station();
        m.icyName = "Record FM";
        m.titles = {"Artist - Long Song"};
        server.addStream("/live", m);
    }
    void Play() {
        form->Playback.CurrentUrl = QByteArray::fromStdString(server.url("/live"));
        form->PlayCurrentUrl();
        ASSERT_TRUE(WaitForOpen());
        ASSERT_TRUE(Playing());
    }
    std::string Rec() const { return form->StatusPanel(3).toStdString(); }
    QString Incomplete() const {
        return music.path() +
               QStringLiteral("/Quorane/Record FM/Incomplete/Artist - Long Song.mp3");
    }
    QTemporaryDir music;
};

TEST_F(Recording, MenuItemIsATickOfItsOwnBeforeExit) {
    const QList<QAction *> items = form->File1->actions();
    const qsizetype at = items.indexOf(form->Record1);
    ASSERT_GT(at, 0);
    EXPECT_EQ(form->Record1->text(), QStringLiteral("Record"));
    EXPECT_EQ(form->Record1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_TRUE(form->Record1->isCheckable());
    // A new run starts with the tick off, and nothing is recorded.
    EXPECT_FALSE(form->Record1->isChecked());
    EXPECT_EQ(Rec(), "");
    ASSERT_LT(at + 2, items.size());
    EXPECT_TRUE(items[at - 1]->isSeparator());
    EXPECT_TRUE(items[at + 1]->isSeparator());
    EXPECT_EQ(items.last(), form->Exit1);
}

TEST_F(Recording, StationStartedWithTheTickOnIsRecordedUntilStop) {
    ShowActive();
    Key(Qt::Key_R, Qt::ControlModifier);
    ASSERT_TRUE(form->Record1->isChecked());
    EXPECT_EQ(Rec(), "") << "nothing plays yet";
    Play();
    EXPECT_EQ(Rec(), "REC");
    // Six seconds of the song, then Stop: the song under way is partial.
    QTest::qWait(6500);
    form->Stop1->trigger();
    EXPECT_EQ(Rec(), "");
    EXPECT_TRUE(form->Record1->isChecked()) << "Stop leaves the tick on";
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(Incomplete()); }, 10000));
    const quorane::test::Probed tags = quorane::test::probeFile(Incomplete().toStdString());
    EXPECT_EQ(tags.errors, "");
    EXPECT_EQ(tags.tag("title"), "Long Song");
    EXPECT_EQ(tags.tag("album"), "Record FM");
    // Recorded from the station's start: the six seconds are all there.
    EXPECT_GT(tags.duration, 5.5);
}

TEST_F(Recording, TickingWhilePlayingRecordsAndUntickingEnds) {
    Play();
    EXPECT_EQ(Rec(), "");
    form->Record1->trigger();
    EXPECT_EQ(Rec(), "REC");
    // The sleep timer's minutes share the panel, beside "REC".
    form->SleepItem[2]->trigger();
    EXPECT_EQ(Rec(), "REC 30 min");
    QTest::qWait(6500);
    form->Record1->trigger();
    EXPECT_FALSE(form->Record1->isChecked());
    EXPECT_EQ(Rec(), "30 min");
    form->SleepItem[0]->trigger();
    EXPECT_EQ(Rec(), "");
    EXPECT_TRUE(Playing()) << "the station plays on";
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(Incomplete()); }, 10000));
    EXPECT_EQ(quorane::test::probeFile(Incomplete().toStdString()).errors, "");
    EXPECT_TRUE(Errors().isEmpty());
}

// A music folder on a disk with less than 500 MB free: the recording stops
// at once with a line in the status bar, the tick goes off, and the station
// plays on.
TEST_F(Recording, TooLittleDiskSpaceStopsWithALine) {
    if (mount("tmpfs", QFile::encodeName(music.path()).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    Play();
    form->Record1->trigger();
    const bool stopped = WaitFor([&] { return !form->Record1->isChecked(); }, 10000);
    const QString line = form->StatusPanel(PlayerView::OutcomePanel);
    const bool playing = Playing();
    umount2(QFile::encodeName(music.path()).constData(), MNT_DETACH);
    ASSERT_TRUE(stopped);
    EXPECT_EQ(Rec(), "");
    EXPECT_TRUE(line.startsWith(QStringLiteral("Recording stopped: less than 500 MB free")))
        << line.toStdString();
    EXPECT_TRUE(playing);
}

} // namespace
