// The desktop session's end is a normal end: the player, asked by the session
// manager to save, runs its full shutdown and exits 0 within 3 s, and the
// station file, the settings file and the window places hold the run's
// changes exactly as the user's Exit writes them. A save that fails then is
// told on standard error; no box waits for someone who is logging out.
#include "BuildPaths.h"
#include "IniSections.h"
#include "common/TempAppFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

const QByteArray Stations = "Alpha\tJazz\tJazz\tUSA\tEnglish\thttp://alpha.example/\t\r\n"
                            "Beta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n";

// Runs the player's own run in a process of its own on `app` until the
// session's end has ended it; its output, standard error included.
QString RunUntilTheSessionEnds(const TempAppFolder &app, const QStringList &extra = {}) {
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_CONFIG_HOME", app.Config());
    env.remove("SESSION_MANAGER"); // never the real desktop session's
    child.setProcessEnvironment(env);
    // Under timeout, so that it ends even when this test is killed first.
    child.start("timeout", QStringList{"--foreground", "-k", "5", "120",
                                       quorane::test::BuildPath("SESSION_END_CHILD"), app.App()} +
                               extra);
    EXPECT_TRUE(child.waitForStarted(30000));
    // Generous: the start-up on a loaded machine; the 3 s of the end itself
    // are measured by the child from the moment it announced the end.
    const bool ended = child.waitForFinished(60000);
    const QString out = QString::fromLocal8Bit(child.readAll());
    if (!ended) {
        // SIGTERM, which timeout hands on: a SIGKILL would end timeout alone.
        child.terminate();
        if (!child.waitForFinished(10000))
            child.kill();
        child.waitForFinished();
        ADD_FAILURE() << "the player is still running after the session's end\n"
                      << out.toStdString();
        return out;
    }
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("ended ")) << out.toStdString();
    EXPECT_FALSE(out.contains("error box")) << out.toStdString();
    return out;
}

void ExpectSettingsAndPlacesWritten(const TempAppFolder &app) {
    const QByteArray settings = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(settings.contains("\nVolume=37\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("\nFav1=http://session.example/\n")) << settings.toStdString();
    EXPECT_EQ(IniSections(TempAppFolder::Read(app.GeometryFile())),
              (QStringList{"Find stations", "Song history", "Add a new station", "Proxy settings",
                           "Quorane"}));
}

} // namespace

TEST(SessionEnd, RunsTheFullShutdownAndExitsZeroWithinThreeSeconds) {
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), Stations);
    RunUntilTheSessionEnds(app);
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()),
              "Session Radio\tend\tTalk\tUK\tEnglish\thttp://session.example/\t\r\n" + Stations);
    ExpectSettingsAndPlacesWritten(app);
}

TEST(SessionEnd, ASaveThatFailsIsToldOnStandardErrorAndEveryOtherStepStillRuns) {
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), Stations);
    const QString out = RunUntilTheSessionEnds(app, {"--without-data"});
    EXPECT_TRUE(out.contains("Quorane: Cannot create file \"" + app.App() + "data/stations.txt\""))
        << out.toStdString();
    ExpectSettingsAndPlacesWritten(app);
}
