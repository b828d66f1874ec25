// The exit while a name lookup hangs: the player (stalled_exit_child, the
// real Program::Main under a resolver that never answers while it runs)
// plays a station, loses its connection, and is closed while the engine's
// reconnect waits on the lookup. The lookup answers only as the process
// ends, after the engine was released and unloaded: the process must still
// end normally with status 0, with the station list and the settings
// written.
#include "BuildPaths.h"
#include "common/TempAppFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

TEST(StalledLookupExit, EndsNormallyAndWritesTheListWhileALookupHangs) {
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(),
                         "Beta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n");

    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_CONFIG_HOME", app.Config());
    env.insert("LD_PRELOAD", quorane::test::BuildPath("STALL_RESOLVER"));
    // Under AddressSanitizer the preload comes before its runtime.
    const QString asan = env.value("ASAN_OPTIONS");
    env.insert("ASAN_OPTIONS",
               (asan.isEmpty() ? QString() : asan + ":") + "verify_asan_link_order=0");
    child.setProcessEnvironment(env);
    // Under timeout, so that it ends even when this test is killed first.
    child.start("timeout", {"--foreground", "-k", "5", "150",
                            quorane::test::BuildPath("STALLED_EXIT_CHILD"), app.App()});
    ASSERT_TRUE(child.waitForStarted(30000));
    const bool ended = child.waitForFinished(90000);
    const std::string out = QString::fromLocal8Bit(child.readAll()).toStdString();
    if (!ended) {
        // SIGTERM, which timeout hands on: a SIGKILL would end timeout alone.
        child.terminate();
        if (!child.waitForFinished(10000))
            child.kill();
        child.waitForFinished();
        FAIL() << "the player did not end\n" << out;
    }
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << "crashed\n" << out;
    ASSERT_EQ(child.exitCode(), 0) << out;
    // The close came while the reconnect's lookup waited, and it still
    // waited when the shutdown was over.
    EXPECT_NE(out.find("closing while 1 lookup(s) wait"), std::string::npos) << out;
    EXPECT_NE(out.find("shutdown done, lookups waiting: 1"), std::string::npos) << out;
    EXPECT_EQ(out.find("error box"), std::string::npos) << out;

    const QByteArray stations = TempAppFolder::Read(app.StationFile());
    EXPECT_TRUE(stations.startsWith("Added Radio\t\t\t\t\thttp://added.example/\t\r\nStalled FM\t"))
        << stations.toStdString();
    EXPECT_TRUE(stations.endsWith("\r\nBeta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n"))
        << stations.toStdString();
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).startsWith("[Main]\n"));
}
