// The desktop's media controls: Quorane on a private session bus started
// for this program, driven and read from a second connection as a desktop
// shell would: the properties and their PropertiesChanged signals while a
// real ICY stream plays and changes its title, Stop, Pause and PlayPause,
// the volume both ways, Raise, and Quit ending the program through the full
// shutdown.
#include "shell/MainWindowFixture.h"
#include "shell/dbus/PrivateBus.h"

#include "fixtures/IcyServer.h"
#include "playback/PlaybackState.h"
#include "playback/StreamPlayer.h"
#include "shell/MprisService.h"
#include "shell/Program.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSlider>
#include <QTimer>

using quorane::test::IcyServer;
using quorane::test::StreamMount;

namespace {

const QString Root = QStringLiteral("org.mpris.MediaPlayer2");
const QString PlayerIf = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString Path = QStringLiteral("/org/mpris/MediaPlayer2");

PrivateBus *Bus = static_cast<PrivateBus *>(::testing::AddGlobalTestEnvironment(new PrivateBus));

// What a desktop shell sees: a connection of its own to the same bus.
class Desktop : public QObject {
    Q_OBJECT
public:
    Desktop() : bus(QDBusConnection::connectToBus(Bus->address, "desktop")) {
        bus.connect(MprisService::BusName(), Path, "org.freedesktop.DBus.Properties",
                    "PropertiesChanged", this, SLOT(Changed(QString, QVariantMap, QStringList)));
    }
    ~Desktop() override { QDBusConnection::disconnectFromBus("desktop"); }

    // A call, answered while the player's own loop runs on.
    QDBusMessage Call(const QString &interface, const QString &method,
                      const QVariantList &args = {}) {
        QDBusMessage m =
            QDBusMessage::createMethodCall(MprisService::BusName(), Path, interface, method);
        m.setArguments(args);
        QDBusPendingCall pending = bus.asyncCall(m, 20000);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, 25000))
            return {};
        return pending.reply();
    }
    QVariant Get(const QString &interface, const QString &property) {
        const QDBusMessage r =
            Call("org.freedesktop.DBus.Properties", "Get", {interface, property});
        if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty())
            return {};
        return Plain(r.arguments().first().value<QDBusVariant>().variant());
    }
    bool Set(const QString &property, const QVariant &value) {
        return Call("org.freedesktop.DBus.Properties", "Set",
                    {PlayerIf, property, QVariant::fromValue(QDBusVariant(value))})
                   .type() == QDBusMessage::ReplyMessage;
    }
    // A map or list as it comes off the bus, made plain.
    static QVariant Plain(const QVariant &v) {
        if (v.canConvert<QDBusArgument>()) {
            const QDBusArgument arg = v.value<QDBusArgument>();
            if (arg.currentType() == QDBusArgument::MapType) {
                QVariantMap m = qdbus_cast<QVariantMap>(arg);
                for (auto it = m.begin(); it != m.end(); ++it)
                    it.value() = Plain(it.value());
                return m;
            }
            if (arg.currentType() == QDBusArgument::ArrayType)
                return qdbus_cast<QStringList>(arg);
        }
        return v;
    }
    // The last value a PropertiesChanged signal gave `property`.
    QVariant LastChange(const QString &property) const {
        for (auto it = changes.crbegin(); it != changes.crend(); ++it)
            if (it->contains(property))
                return it->value(property);
        return {};
    }
    bool WaitForChange(const QString &property, const QVariant &value) {
        return QTest::qWaitFor([&] { return LastChange(property) == value; }, 20000);
    }

    QDBusConnection bus;
    QList<QVariantMap> changes;

public Q_SLOTS:
    void Changed(const QString &interface, const QVariantMap &changed, const QStringList &) {
        if (interface != PlayerIf)
            return;
        QVariantMap plain;
        for (auto it = changed.begin(); it != changed.end(); ++it)
            plain.insert(it.key(), Plain(it.value()));
        changes.append(plain);
    }
};

StreamMount Station() {
    StreamMount m;
    m.audioFile = quorane::test::fixtureAudio("tone440.mp3");
    m.contentType = "audio/mpeg";
    m.shoutcastStatus = true;
    m.icyName = "Test FM";
    m.icyBr = "128";
    m.metaint = 8192;
    m.titles = {"Nina Frost - Cold Morning", "Station news"};
    m.titleEveryMs = 1500;
    return m;
}

class Mpris : public MainWindowFixture {
protected:
    QByteArray StationFile() const override {
        return "Local FM\tA test station\tTest\tHere\tEnglish\t" +
               QByteArray::fromStdString(server.url("/live")) + "\t\r\n";
    }
    void SetUp() override {
        if (Bus->address.isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        server.addStream("/live", Station());
        MainWindowFixture::SetUp();
        ASSERT_NE(form->Mpris, nullptr) << "not on the bus";
        desktop = std::make_unique<Desktop>();
    }
    void TearDown() override {
        desktop.reset();
        if (form && form->Playback.AudioLibHandle && form->Playback.Channel)
            form->Playback.Bass.BASS_StreamFree(form->Playback.Channel);
        MainWindowFixture::TearDown();
    }
    DWORD Active() const {
        return form->Playback.Bass.BASS_ChannelIsActive(form->Playback.Channel);
    }
    IcyServer server;
    std::unique_ptr<Desktop> desktop;
};

} // namespace

TEST_F(Mpris, TheDesktopFindsQuoraneByItsNameWithWhatItCanDo) {
    EXPECT_TRUE(desktop->bus.interface()->isServiceRegistered(MprisService::BusName()));
    EXPECT_EQ(desktop->Get(Root, "Identity"), "Quorane");
    EXPECT_EQ(desktop->Get(Root, "DesktopEntry"), "quorane");
    EXPECT_EQ(desktop->Get(Root, "CanRaise"), true);
    EXPECT_EQ(desktop->Get(Root, "CanQuit"), true);
    EXPECT_EQ(desktop->Get(PlayerIf, "PlaybackStatus"), "Stopped");
    // Nothing played yet and no favourite: Play, Pause, Next and Previous
    // have nothing to act on.
    EXPECT_EQ(desktop->Get(PlayerIf, "CanPlay"), false);
    EXPECT_EQ(desktop->Get(PlayerIf, "CanPause"), false);
    EXPECT_EQ(desktop->Get(PlayerIf, "CanGoNext"), false);
    EXPECT_EQ(desktop->Get(PlayerIf, "CanGoPrevious"), false);
    EXPECT_EQ(desktop->Get(PlayerIf, "CanSeek"), false);
    EXPECT_DOUBLE_EQ(desktop->Get(PlayerIf, "Volume").toDouble(), 0.5);
    // Nothing played yet: no track.
    const QVariantMap none = desktop->Get(PlayerIf, "Metadata").toMap();
    EXPECT_EQ(none.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_FALSE(none.contains("xesam:title"));
}

TEST_F(Mpris, TheStreamTitleStopAndPlayPauseReachTheDesktop) {
    ShowActive();
    Select({0});
    form->sListView1DblClick();
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    const QString url = QString::fromStdString(server.url("/live"));

    // The first title, told with the station and split at " - ".
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return desktop->LastChange("Metadata").toMap().value("xesam:title") == "Cold Morning";
        },
        20000));
    QVariantMap m = desktop->Get(PlayerIf, "Metadata").toMap();
    EXPECT_EQ(m.value("xesam:title"), "Cold Morning");
    // A radio has no cover to show.
    EXPECT_FALSE(m.contains("mpris:artUrl"));
    EXPECT_EQ(m.value("xesam:artist"), QStringList{"Nina Frost"});
    EXPECT_EQ(m.value("xesam:album"), "Test FM");
    EXPECT_EQ(m.value("xesam:url"), url);
    const QString firstTrack = m.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstTrack.startsWith("/org/quorane/Track/")) << firstTrack.toStdString();
    // The next title has no artist, and is another track.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return desktop->LastChange("Metadata").toMap().value("xesam:title") == "Station news";
        },
        20000));
    m = desktop->Get(PlayerIf, "Metadata").toMap();
    EXPECT_FALSE(m.contains("xesam:artist"));
    EXPECT_NE(m.value("mpris:trackid").value<QDBusObjectPath>().path(), firstTrack);

    // Stop from the desktop stops the stream.
    EXPECT_EQ(desktop->Call(PlayerIf, "Stop").type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Stopped"));
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_STOPPED));

    // PlayPause from a stop plays the station anew, from the server.
    const int before = server.connections("/live");
    desktop->changes.clear();
    desktop->Call(PlayerIf, "PlayPause");
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_GT(server.connections("/live"), before);
    EXPECT_EQ(desktop->Get(PlayerIf, "PlaybackStatus"), "Playing");

    // Pause stops as Stop does; PlayPause while playing too.
    desktop->Call(PlayerIf, "Pause");
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Stopped"));
    desktop->Call(PlayerIf, "Play");
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    desktop->Call(PlayerIf, "PlayPause");
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Stopped"));
    // The tray menu's Stop is told too.
    desktop->Call(PlayerIf, "Play");
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    form->Stop1->trigger();
    EXPECT_TRUE(desktop->WaitForChange("PlaybackStatus", "Stopped"));
}

TEST_F(Mpris, AFileThatPlaysToItsEndStopsWithoutAFailure) {
    // 2.5 s of sound with a Content-Length: a stream of known length.
    server.addFile(
        "/song.mp3", "audio/mpeg",
        quorane::test::fileBytes(quorane::test::fixtureAudio("tone440.mp3")).substr(0, 40000));
    const QByteArray url = QByteArray::fromStdString(server.url("/song.mp3"));
    form->FavoriteUrls[0] = url;
    form->FavoriteButtonClick(1);
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    const QString shown = form->StatusPanel(0);
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Stopped"));
    EXPECT_EQ(Active(), DWORD(BASS_ACTIVE_STOPPED));
    // Its end is no failure: no text says so, and nothing connects again.
    EXPECT_FALSE(QTest::qWaitFor([&] { return form->StatusPanel(0) != shown; }, 1500))
        << form->StatusPanel(0).toStdString();
    EXPECT_FALSE(shown.startsWith("Can't open")) << shown.toStdString();
    EXPECT_EQ(server.connections("/song.mp3"), 1);
    EXPECT_EQ(desktop->Get(PlayerIf, "PlaybackStatus"), "Stopped");
}

TEST_F(Mpris, TheAbilitiesFollowWhatThePlayerCanDo) {
    // Next does nothing while every slot is free.
    desktop->Call(PlayerIf, "Next");
    QTest::qWait(200);
    EXPECT_TRUE(form->Playback.CurrentUrl.isEmpty());

    form->FavoriteUrls[6] = "http://slot7.example/";
    EXPECT_TRUE(desktop->WaitForChange("CanGoNext", true));
    EXPECT_EQ(desktop->LastChange("CanGoPrevious"), true);
    Select({0});
    form->sListView1DblClick();
    ASSERT_TRUE(desktop->WaitForChange("PlaybackStatus", "Playing"));
    EXPECT_EQ(desktop->LastChange("CanPlay"), true);
    EXPECT_EQ(desktop->LastChange("CanPause"), true);
    desktop->Call(PlayerIf, "Stop");
    ASSERT_TRUE(desktop->WaitForChange("CanPause", false));
    EXPECT_EQ(desktop->Get(PlayerIf, "CanPlay"), true); // the station again
    form->FavoriteUrls[6].clear();
    EXPECT_TRUE(desktop->WaitForChange("CanGoPrevious", false));
    EXPECT_EQ(desktop->Get(PlayerIf, "CanGoNext"), false);
}

TEST_F(Mpris, NextAndPreviousStepThroughTheFilledSlots) {
    for (const char *path : {"/a", "/b", "/c"})
        server.addStream(path, Station());
    const auto url = [&](const char *path) { return QByteArray::fromStdString(server.url(path)); };
    form->FavoriteUrls[1] = url("/a");  // slot 2
    form->FavoriteUrls[4] = url("/b");  // slot 5
    form->FavoriteUrls[13] = url("/c"); // slot 14, the last
    // Each step opens the slot's stream anew and ends with it playing.
    const auto step = [&](const char *method, const char *path) {
        SCOPED_TRACE(std::string(method) + " to " + path);
        const int before = server.connections(path);
        desktop->Call(PlayerIf, method);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return server.connections(path) > before &&
                       form->Playback.CurrentUrl == url(path) && !form->Player->Connecting() &&
                       form->Playback.Channel != 0 && Active() == BASS_ACTIVE_PLAYING;
            },
            20000))
            << form->Playback.CurrentUrl.toStdString();
    };
    const auto playListStation = [&] {
        Select({0});
        form->sListView1DblClick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Player->Connecting(); }, 20000));
    };

    step("Next", "/a"); // from nothing: the first filled slot
    step("Next", "/b");
    step("Next", "/c");
    step("Next", "/a"); // round to the first again
    step("Previous", "/c");
    step("Previous", "/b");
    // A station in no slot: Previous takes the last slot, Next the first.
    playListStation();
    step("Previous", "/c");
    playListStation();
    step("Next", "/a");
    // The same stream in two slots: Next goes on from the one played.
    form->FavoriteUrls[11] = url("/a"); // slot 12
    form->PlayFavoriteClick(12);
    step("Next", "/c"); // slot 14, not slot 5 after slot 2
    step("Next", "/a"); // slot 2, after wrapping
    step("Previous", "/c");
}

TEST_F(Mpris, TheVolumeIsTheSliderBothWays) {
    ASSERT_TRUE(desktop->Set("Volume", 0.25));
    EXPECT_EQ(form->sTrackBar1->value(), 25);
    EXPECT_TRUE(desktop->WaitForChange("Volume", 0.25));
    form->sTrackBar1->setValue(80);
    EXPECT_TRUE(desktop->WaitForChange("Volume", 0.8));
    EXPECT_DOUBLE_EQ(desktop->Get(PlayerIf, "Volume").toDouble(), 0.8);
    // Out of range is held to the slider's ends.
    ASSERT_TRUE(desktop->Set("Volume", 3.0));
    EXPECT_EQ(form->sTrackBar1->value(), 100);
    ASSERT_TRUE(desktop->Set("Volume", -1.0));
    EXPECT_EQ(form->sTrackBar1->value(), 0);
}

TEST_F(Mpris, RaiseShowsTheWindowHiddenInTheTray) {
    ShowActive();
    form->hide();
    ASSERT_FALSE(form->isVisible());
    desktop->Call(Root, "Raise");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isVisible(); }, 10000));
    EXPECT_FALSE(form->isMinimized());
}

TEST(MprisProgram, QuitEndsTheProgramThroughTheFullShutdown) {
    if (Bus->address.isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), "One\tx\tg\tc\tl\thttp://one/\t\r\n");
    QApplication::setQuitOnLastWindowClosed(true);
    bool timedOut = false;
    {
        Program program;
        ASSERT_FALSE(program.Aborted());
        Desktop desktop;
        QTimer::singleShot(200, [&] { desktop.Call(Root, "Quit"); });
        QTimer::singleShot(20000, &desktop, [&] {
            timedOut = true;
            QCoreApplication::quit();
        });
        program.Run();
        program.Shutdown();
    }
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_FALSE(timedOut) << "Quit did not end the loop";
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).startsWith("[Main]\nProxy=\nVolume=50\n"));
    EXPECT_TRUE(TempAppFolder::Read(app.GeometryFile()).contains("[Quorane]"));
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), "One\tx\tg\tc\tl\thttp://one/\t\r\n");
    // The name went with the program.
    QDBusConnection check = QDBusConnection::connectToBus(Bus->address, "check");
    EXPECT_FALSE(check.interface()->isServiceRegistered(MprisService::BusName()));
    QDBusConnection::disconnectFromBus("check");
}

#include "MprisTest.moc"
