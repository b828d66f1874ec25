// The exit while a name lookup hangs: the player (stalled_exit_child, the
// real Program::Main under a resolver that never answers while it runs) is
// closed while the engine waits on the lookup, either a reconnect's (it
// played, then lost its connection) or the first open's (the station is
// still connecting). The lookup answers only as the process ends, after the
// engine was released and unloaded: the process must still end normally
// with status 0, with the station list and the settings written, and a
// station still connecting must not hold the exit up until the engine's
// answer limit (8 s).
#include "BuildPaths.h"
#include "common/TempAppFolder.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <string>

namespace {

// Runs the child in `app` (with `mode`, if any) to its end; its output, or
// a failure when it did not end normally with status 0.
testing::AssertionResult RunChild(const TempAppFolder &app, const QStringList &mode,
                                  std::string &out) {
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
    child.start("timeout", QStringList{"--foreground", "-k", "5", "150",
                                       quorane::test::BuildPath("STALLED_EXIT_CHILD"), app.App()} +
                               mode);
    if (!child.waitForStarted(30000))
        return testing::AssertionFailure() << "the player did not start";
    const bool ended = child.waitForFinished(90000);
    out = QString::fromLocal8Bit(child.readAll()).toStdString();
    if (!ended) {
        // SIGTERM, which timeout hands on: a SIGKILL would end timeout alone.
        child.terminate();
        if (!child.waitForFinished(10000))
            child.kill();
        child.waitForFinished();
        return testing::AssertionFailure() << "the player did not end\n" << out;
    }
    if (child.exitStatus() != QProcess::NormalExit)
        return testing::AssertionFailure() << "crashed\n" << out;
    if (child.exitCode() != 0)
        return testing::AssertionFailure() << "status " << child.exitCode() << "\n" << out;
    return testing::AssertionSuccess();
}

void ExpectListWritten(const TempAppFolder &app) {
    const QByteArray stations = TempAppFolder::Read(app.StationFile());
    EXPECT_TRUE(stations.startsWith("Added Radio\t\t\t\t\thttp://added.example/\t\r\nStalled FM\t"))
        << stations.toStdString();
    EXPECT_TRUE(stations.endsWith("\r\nBeta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n"))
        << stations.toStdString();
    EXPECT_TRUE(TempAppFolder::Read(app.SettingsFile()).startsWith("[Main]\n"));
}

const char *const kBeta = "Beta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n";

} // namespace

TEST(StalledLookupExit, EndsNormallyAndWritesTheListWhileALookupHangs) {
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), kBeta);
    std::string out;
    ASSERT_TRUE(RunChild(app, {}, out));
    // The close came while the reconnect's lookup waited, and it still
    // waited when the shutdown was over.
    EXPECT_NE(out.find("closing while 1 lookup(s) wait"), std::string::npos) << out;
    EXPECT_NE(out.find("shutdown done, lookups waiting: 1"), std::string::npos) << out;
    EXPECT_EQ(out.find("error box"), std::string::npos) << out;
    ExpectListWritten(app);
}

TEST(StalledLookupExit, AStationStillConnectingDoesNotHoldTheExitUp) {
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), kBeta);
    std::string out;
    ASSERT_TRUE(RunChild(app, {"connecting"}, out));
    EXPECT_NE(out.find("closing while 1 lookup(s) wait"), std::string::npos) << out;
    EXPECT_NE(out.find("shutdown done, lookups waiting: 1"), std::string::npos) << out;
    EXPECT_EQ(out.find("error box"), std::string::npos) << out;
    const size_t at = out.find("shutdown took ");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_LT(std::stol(out.substr(at + 14)), 3000) << out;
    ExpectListWritten(app);
}
