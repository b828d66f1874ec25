// The desktop session's end is a normal end: the player, asked by the session
// manager to save, runs its full shutdown and exits 0 within 3 s, and the
// station file, the settings file and the window places hold the run's
// changes exactly as the user's Exit writes them.
#include "BuildPaths.h"
#include "IniSections.h"
#include "common/TempAppFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

TEST(SessionEnd, RunsTheFullShutdownAndExitsZeroWithinThreeSeconds) {
    TempAppFolder app;
    const QByteArray stations = "Alpha\tJazz\tJazz\tUSA\tEnglish\thttp://alpha.example/\t\r\n"
                                "Beta\tNews\tNews\tUK\tEnglish\thttp://beta.example/\t\r\n";
    TempAppFolder::Write(app.StationFile(), stations);

    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SDL_AUDIODRIVER", "dummy");
    env.insert("XDG_CONFIG_HOME", app.Config());
    env.remove("SESSION_MANAGER"); // never the real desktop session's
    child.setProcessEnvironment(env);
    // Under timeout, so that it ends even when this test is killed first.
    child.start("timeout", {"--foreground", "-k", "5", "120",
                            quorane::test::BuildPath("SESSION_END_CHILD"), app.App()});
    ASSERT_TRUE(child.waitForStarted(30000));
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
        FAIL() << "the player is still running after the session's end\n" << out.toStdString();
    }
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit) << out.toStdString();
    ASSERT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("ended ")) << out.toStdString();
    EXPECT_FALSE(out.contains("error box")) << out.toStdString();

    EXPECT_EQ(TempAppFolder::Read(app.StationFile()),
              "Session Radio\tend\tTalk\tUK\tEnglish\thttp://session.example/\t\r\n" + stations);
    const QByteArray settings = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(settings.contains("\nVolume=37\n")) << settings.toStdString();
    EXPECT_TRUE(settings.contains("\nFav1=http://session.example/\n")) << settings.toStdString();
    EXPECT_EQ(IniSections(TempAppFolder::Read(app.GeometryFile())),
              (QStringList{"Add a new station", "Proxy settings", "Quorane"}));
}
