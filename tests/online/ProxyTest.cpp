// The proxy settings dialog in the running program: what it shows, how every
// change reaches the real audio engine, how the text survives a restart, and
// that streams opened from the main window really go through a proxy (Debian's
// tinyproxy on 127.0.0.1) and directly again once the text is emptied.
#include "common/TempAppFolder.h"
#include "fixtures/IcyServer.h"
#include "online/ProxySetting.h"
#include "online/ui/TForm2.h"
#include "platform/CodePage.h"
#include "playback/PlaybackState.h"
#include "playback/StreamPlayer.h"
#include "shell/Program.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using quorane::test::IcyServer;
using quorane::test::StreamMount;

namespace {

// What the engine will use for the next stream it opens ("" for none).
QByteArray EngineProxy(const DynamicBass &engine) {
    const void *p = engine.Bass.BASS_GetConfigPtr(BASS_CONFIG_NET_PROXY);
    return p ? QByteArray(static_cast<const char *>(p)) : QByteArray();
}

// A port on 127.0.0.1 that nothing listens on right now.
quint16 UnusedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    return probe.serverPort();
}

// The settings file's keys of one section, in file order.
QStringList KeysOf(const QByteArray &ini, const QByteArray &section) {
    QStringList keys;
    bool inside = false;
    for (const QByteArray &line : ini.split('\n')) {
        if (line.startsWith('['))
            inside = line == "[" + section + "]";
        else if (inside && line.contains('='))
            keys.append(QString::fromUtf8(line.left(line.indexOf('='))));
    }
    return keys;
}

// A whole program in a throw-away application folder with scripted prompts.
class ProxyDialog : public ::testing::Test {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        TempAppFolder::Write(app.StationFile(), "");
    }
    void Start() {
        program = std::make_unique<Program>();
        ASSERT_FALSE(program->Aborted());
        dialog = program->Form2;
        program->Form1->show();
    }
    void Stop() {
        if (!program)
            return;
        program->Form1->close();
        program->Shutdown();
        program.reset();
        dialog = nullptr;
    }
    void TearDown() override { Stop(); }
    PlaybackState &Playback() const { return program->Form1->Playback; }
    QByteArray EngineProxy() const { return ::EngineProxy(Playback()); }
    // Lets the window run until the stream being opened plays or failed.
    bool WaitForOpen() const {
        for (int i = 0; i < 2000 && program->Form1->Player->Connecting(); ++i)
            QTest::qWait(10);
        return !program->Form1->Player->Connecting();
    }

    // Opens the dialog the way File > Proxy settings does and runs `whileOpen`
    // once it shows. Returns true when `whileOpen` closed the dialog itself;
    // a dialog it left open is closed here, so the test never hangs.
    bool WhileOpen(const std::function<void()> &whileOpen) {
        bool ran = false, closedByIt = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (ran || !dialog->isVisible() || !dialog->isModal())
                return;
            ran = true;
            poll.stop();
            whileOpen();
            closedByIt = !dialog->isVisible();
            if (!closedByIt)
                dialog->hide();
        });
        poll.start();
        program->Form1->Settings1->trigger();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(dialog->isVisible());
        return closedByIt;
    }
    // What the window manager's close box does.
    void CloseBox() { dialog->windowHandle()->close(); }

    TempAppFolder app;
    std::unique_ptr<Program> program;
    TForm2 *dialog = nullptr;
};

} // namespace

TEST_F(ProxyDialog, ShowsOneEditAndOkInAFixedWindow) {
    Start();
    EXPECT_EQ(dialog->windowTitle(), "Proxy settings");
    EXPECT_EQ(dialog->size(), QSize(332, 107));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog->font().pointSize(), 8);

    EXPECT_EQ(dialog->sGroupBox1->title(), " [login:password]@proxy:port ");
    EXPECT_EQ(dialog->sGroupBox1->geometry(), QRect(8, 8, 313, 89));
    EXPECT_EQ(dialog->ProxyPort->parentWidget(), dialog->sGroupBox1);
    EXPECT_EQ(dialog->ProxyPort->geometry(), QRect(16, 24, 281, 21));
    EXPECT_EQ(dialog->ProxyPort->text(), "");
    EXPECT_EQ(dialog->sButton1->parentWidget(), dialog->sGroupBox1);
    EXPECT_EQ(dialog->sButton1->geometry(), QRect(224, 53, 73, 25));
    EXPECT_EQ(dialog->sButton1->text(), "Ok");
    EXPECT_TRUE(dialog->sButton1->isDefault());
    // No length limit of its own: a long stored text is shown whole.
    dialog->ProxyPort->setText(QString(3000, 'x'));
    EXPECT_EQ(dialog->ProxyPort->text().size(), 3000);

    // The edit first, then the button.
    dialog->show();
    dialog->activateWindow();
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    EXPECT_EQ(QApplication::focusWidget(), dialog->ProxyPort);
    QTest::keyClick(dialog->ProxyPort, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog->sButton1);
    dialog->hide();
}

TEST_F(ProxyDialog, EveryKeystrokeHandsTheWholeTextToTheEngine) {
    Start();
    ASSERT_NE(Playback().AudioLibHandle, nullptr);
    const QString typed = "[a:b]";
    EXPECT_TRUE(WhileOpen([&] {
        QString expected;
        for (QChar c : typed) {
            QTest::keyClick(dialog->ProxyPort, c.toLatin1());
            expected += c;
            EXPECT_EQ(EngineProxy(), expected.toLatin1());
        }
        QTest::keyClick(dialog->ProxyPort, Qt::Key_Backspace);
        EXPECT_EQ(EngineProxy(), "[a:b");
        // A paste hands over the whole new text in one go.
        dialog->ProxyPort->selectAll();
        dialog->ProxyPort->insert("user:pw@proxy.lan:3128");
        EXPECT_EQ(EngineProxy(), "user:pw@proxy.lan:3128");
        // Emptied: the engine connects directly again.
        dialog->ProxyPort->selectAll();
        QTest::keyClick(dialog->ProxyPort, Qt::Key_Delete);
        EXPECT_EQ(dialog->ProxyPort->text(), "");
        EXPECT_EQ(EngineProxy(), "");
        dialog->ProxyPort->setText("kept:8080");
        QTest::keyClick(dialog->ProxyPort, Qt::Key_Return);
    }));
    EXPECT_EQ(EngineProxy(), "kept:8080");
}

TEST_F(ProxyDialog, OkAndTheCloseBoxCloseButEscDoesNothing) {
    Start();
    dialog->ProxyPort->setText("proxy:1");
    // Something else told the engine otherwise: opening and closing the
    // dialog without typing must not hand the text over again.
    Playback().Bass.BASS_SetConfigPtr(BASS_CONFIG_NET_PROXY, "elsewhere:2");

    EXPECT_TRUE(WhileOpen([&] { QTest::mouseClick(dialog->sButton1, Qt::LeftButton); }));
    EXPECT_TRUE(WhileOpen([&] { CloseBox(); }));
    EXPECT_TRUE(WhileOpen([&] {
        QTest::keyClick(dialog->ProxyPort, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(dialog->sButton1, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible());
        // Enter on the button presses it.
        QTest::keyClick(dialog->sButton1, Qt::Key_Return);
    }));
    EXPECT_EQ(EngineProxy(), "elsewhere:2");
    EXPECT_EQ(dialog->ProxyPort->text(), "proxy:1");
    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
}

TEST_F(ProxyDialog, TheTextIsWrittenFirstAtExitAndAppliedAtTheNextStart) {
    Start();
    EXPECT_TRUE(WhileOpen([&] {
        QTest::keyClicks(dialog->ProxyPort, "[me:secret]@10.1.2.3:8080");
        CloseBox();
    }));
    // Nothing is written while the program runs.
    EXPECT_FALSE(QFile::exists(app.SettingsFile()));
    Stop();

    const QByteArray ini = TempAppFolder::Read(app.SettingsFile());
    EXPECT_EQ(KeysOf(ini, "Main"), QStringList({"Proxy", "Volume", "SkinName"}));
    EXPECT_TRUE(ini.startsWith("[Main]\nProxy=[me:secret]@10.1.2.3:8080\nVolume=50\n"))
        << ini.constData();

    Start();
    EXPECT_EQ(dialog->ProxyPort->text(), "[me:secret]@10.1.2.3:8080");
    // Handed over at start-up, before any stream could be opened.
    EXPECT_EQ(EngineProxy(), "[me:secret]@10.1.2.3:8080");
    dialog->ProxyPort->clear();
    EXPECT_EQ(EngineProxy(), "");
    Stop();
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).startsWith("[Main]\nProxy=\nVolume=50\n"));
}

TEST_F(ProxyDialog, ATextTooLongForTheEngineIsCutWhenHandedOverButKeptWhole) {
    // Back to the locale's page whatever happens below.
    struct PageGuard {
        ~PageGuard() { CodePage::SetForTesting(QByteArray()); }
    } guard;
    // 98 characters and then one that takes two bytes in UTF-8: the cut may
    // not split it.
    ASSERT_TRUE(CodePage::SetForTesting("UTF-8"));
    const QString longText = "u:p@" + QString(94, 'h') + QString::fromUtf8("\xC3\xA9") + ":8080";
    TempAppFolder::Write(app.SettingsFile(), "[Main]\nProxy=" + longText.toUtf8() + "\n");
    Start();
    EXPECT_EQ(dialog->ProxyPort->text(), longText);
    EXPECT_EQ(EngineProxy(), longText.left(98).toUtf8());
    Stop();
    EXPECT_TRUE(
        TempAppFolder::Read(app.SettingsFile()).contains("Proxy=" + longText.toUtf8() + "\n"));
    // Nor a character outside the Basic Multilingual Plane (two UTF-16 units).
    const QString wide = QString(97, 'a') + QString::fromUtf8("\xF0\x9F\x8E\xB5");
    EXPECT_EQ(ProxyForEngine(wide), QByteArray(97, 'a'));
    EXPECT_EQ(ProxyForEngine(QString(99, 'a')), QByteArray(99, 'a'));

    // In an 8-bit page the same character is one byte, and fits.
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    EXPECT_EQ(ProxyForEngine(longText), CodePage::ToAnsi(longText.left(99)));
    EXPECT_EQ(ProxyForEngine(longText).size(), MaxProxyBytes);
    // What the page cannot hold becomes "?", as in every text for the engine.
    EXPECT_EQ(ProxyForEngine(QString::fromUtf8("\xD0\x96@proxy:1")), "?@proxy:1");
}

TEST_F(ProxyDialog, WithoutTheEngineTheTextIsStillKeptAndNothingBreaks) {
    app.RemoveEngine();
    TempAppFolder::Write(app.SettingsFile(), "[Main]\nProxy=proxy:3128\n");
    Start();
    EXPECT_EQ(Playback().AudioLibHandle, nullptr);
    EXPECT_EQ(dialog->ProxyPort->text(), "proxy:3128");
    QTest::keyClicks(dialog->ProxyPort, "0");
    ApplyProxy(Playback(), "direct"); // no engine: nothing to call, nothing to fail
    // The one error box tells that the engine is missing; nothing about the proxy.
    EXPECT_EQ(app.prompts.ErrorBoxes().size(), 1);
    Stop();
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).contains("Proxy=proxy:31280\n"));
}

TEST_F(ProxyDialog, AnUnwritableSettingsFileIsReportedAndShutdownGoesOn) {
    Start();
    dialog->ProxyPort->setText("proxy:1");
    // A folder where the file should be: neither the dialog nor the main
    // window can write it.
    QDir().mkpath(app.SettingsFile());
    Stop();
    const auto errors = app.prompts.ErrorBoxes();
    ASSERT_GE(errors.size(), 1);
    EXPECT_EQ(errors[0].text, "Unable to write to " + app.SettingsFile() + ".");
    // The main window's part of the shutdown still ran.
    EXPECT_TRUE(QFile::exists(app.StationFile()));
    EXPECT_TRUE(QFile::exists(app.GeometryFile()));
}

TEST_F(ProxyDialog, ASettingsFileUnreadableAtStartKeepsItsProxyWhenReadableAtExit) {
    // A folder where the file should be: nothing can be read at start...
    QDir().mkpath(app.SettingsFile());
    Start();
    EXPECT_EQ(dialog->ProxyPort->text(), "");
    // ...and before the exit the file is back, with its proxy.
    ASSERT_TRUE(QDir(app.SettingsFile()).removeRecursively());
    const QByteArray stored = "[Main]\nProxy=stored:3128\nVolume=70\n";
    TempAppFolder::Write(app.SettingsFile(), stored);
    Stop();
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), stored);
}

namespace {

// Debian's tinyproxy on 127.0.0.1 and a free port, with its configuration
// and log in a folder of its own; stopped when the test ends. It lets
// through only requests with the login "listener:secret".
class TinyProxy {
public:
    static bool Installed() { return access("/usr/bin/tinyproxy", X_OK) == 0; }

    TinyProxy() {
        port_ = UnusedPort();
        const QString conf = dir_.path() + "/tinyproxy.conf";
        TempAppFolder::Write(conf, QStringLiteral("Port %1\nListen 127.0.0.1\nTimeout 30\n"
                                                  "MaxClients 8\nAllow 127.0.0.1\n"
                                                  "BasicAuth listener secret\n"
                                                  "LogFile \"%2/tinyproxy.log\"\nLogLevel Info\n")
                                       .arg(port_)
                                       .arg(dir_.path())
                                       .toUtf8());
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        // Under timeout, so that it stops by itself even when this program
        // is killed before the destructor runs; terminate() reaches it
        // through timeout.
        process_.start("timeout",
                       {"--foreground", "-k", "5", "300", "/usr/bin/tinyproxy", "-d", "-c", conf});
    }
    ~TinyProxy() {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    // Waits until the proxy accepts connections (at most about 10 s).
    bool Ready() {
        if (!process_.waitForStarted(5000))
            return false;
        for (int i = 0; i < 50 && process_.state() == QProcess::Running; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(200))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    quint16 Port() const { return port_; }
    QByteArray Log() const { return TempAppFolder::Read(dir_.path() + "/tinyproxy.log"); }

private:
    QTemporaryDir dir_;
    quint16 port_ = 0;
    QProcess process_;
};

StreamMount Station() {
    StreamMount m;
    m.audioFile = quorane::test::fixtureAudio("tone440.mp3");
    m.contentType = "audio/mpeg";
    m.icyName = "Proxy Test FM";
    m.icyBr = "128";
    return m;
}

} // namespace

TEST_F(ProxyDialog, StreamsFromTheMainWindowGoThroughTheProxyUntilItIsEmptied) {
    if (!TinyProxy::Installed())
        GTEST_SKIP() << "tinyproxy is not installed";
    IcyServer server;
    server.addStream("/live", Station());
    const QByteArray url = QByteArray::fromStdString(server.url("/live"));
    TinyProxy proxy;
    ASSERT_TRUE(proxy.Ready());
    Start();
    ASSERT_NE(Playback().AudioLibHandle, nullptr);
    TForm1 *form = program->Form1;
    form->FavoriteUrls[0] = url;

    // Typed as the group box shows it, with a login.
    EXPECT_TRUE(WhileOpen([&] {
        QTest::keyClicks(dialog->ProxyPort,
                         QStringLiteral("[listener:secret]@127.0.0.1:%1").arg(proxy.Port()));
        QTest::keyClick(dialog->ProxyPort, Qt::Key_Return);
    }));
    form->FavoriteButtonClick(1);
    ASSERT_TRUE(WaitForOpen());
    ASSERT_NE(Playback().Channel, 0u) << form->StatusPanel(0).toStdString();
    EXPECT_EQ(form->StatusPanel(0), "Playing " + QString::fromUtf8(url));
    EXPECT_EQ(Playback().Bass.BASS_ChannelIsActive(Playback().Channel), DWORD(BASS_ACTIVE_PLAYING));
    // The proxy passes the headers on in its own "name: value" form.
    EXPECT_TRUE(form->StatusPanel(1).endsWith(" 128k")) << form->StatusPanel(1).toStdString();
    // The proxy announces itself in the request it forwards, and logs it.
    const std::string viaProxy = server.lastRequestHeaders("/live");
    EXPECT_NE(viaProxy.find("Via: "), std::string::npos) << viaProxy;
    EXPECT_NE(viaProxy.find("tinyproxy"), std::string::npos) << viaProxy;
    EXPECT_TRUE(proxy.Log().contains("/live")) << proxy.Log().constData();
    EXPECT_EQ(server.connections("/live"), 1);
    const DWORD throughProxy = Playback().Channel;

    // A proxy that is not there: the stream playing keeps its connection,
    // the next open fails and the server sees nobody.
    const QString unreachable = QStringLiteral("127.0.0.1:%1").arg(UnusedPort());
    dialog->ProxyPort->setText(unreachable);
    EXPECT_EQ(Playback().Bass.BASS_ChannelIsActive(throughProxy), DWORD(BASS_ACTIVE_PLAYING));
    form->FavoriteButtonClick(1);
    ASSERT_TRUE(WaitForOpen());
    EXPECT_EQ(Playback().Channel, 0u);
    EXPECT_EQ(form->StatusPanel(0), "Can't open " + QString::fromUtf8(url));
    EXPECT_EQ(server.connections("/live"), 1);

    // The proxy checks the login: a wrong one is refused there, and the
    // server sees nobody.
    dialog->ProxyPort->setText(QStringLiteral("[listener:wrong]@127.0.0.1:%1").arg(proxy.Port()));
    form->FavoriteButtonClick(1);
    ASSERT_TRUE(WaitForOpen());
    EXPECT_EQ(Playback().Channel, 0u);
    EXPECT_EQ(form->StatusPanel(0), "Can't open " + QString::fromUtf8(url));
    EXPECT_EQ(server.connections("/live"), 1);

    // Emptied: straight to the server again, from the list this time.
    dialog->ProxyPort->clear();
    form->Stations.Insert(0, "Local FM\t\t\t\t\t" + QString::fromUtf8(url) + "\t");
    form->Model->SetRowCount(form->Stations.Count());
    form->SelectRow(0);
    form->sListView1DblClick();
    ASSERT_TRUE(WaitForOpen());
    ASSERT_NE(Playback().Channel, 0u) << form->StatusPanel(0).toStdString();
    EXPECT_EQ(Playback().Bass.BASS_ChannelIsActive(Playback().Channel), DWORD(BASS_ACTIVE_PLAYING));
    EXPECT_EQ(form->StatusPanel(0), "Local FM");
    EXPECT_EQ(server.connections("/live"), 2);
    const std::string direct = server.lastRequestHeaders("/live");
    EXPECT_EQ(direct.find("tinyproxy"), std::string::npos) << direct;
    EXPECT_EQ(direct.find("Via: "), std::string::npos) << direct;
    form->Stations.Delete(0); // keep the station file as it was
}
