// The program's life in one process: the three windows created in order,
// the start-up reading the station file and the settings, and the shutdown
// writing the settings, the station list and the three windows' geometry.
#include "BuildPaths.h"
#include "IniSections.h"
#include "common/FileSizeLimit.h"
#include "common/TempAppFolder.h"
#include "online/ui/TForm2.h"
#include "online/ui/TForm3.h"
#include "platform/CodePage.h"
#include "shell/Program.h"
#include "shell/SkinManager.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSlider>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

// True while the library file is loaded into the process.
bool EngineMapped(const QByteArray &path) {
    void *h = dlopen(path.constData(), RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

QByteArray FirstRunSettings() {
    QByteArray s = "[Main]\nProxy=\nVolume=50\nSkinName=Winter2003 (internal)\n[Favorites]\n";
    for (int n = 1; n <= 14; ++n)
        s += "Fav" + QByteArray::number(n) + "=\n";
    return s;
}

struct Lifecycle : ::testing::Test {
    TempAppFolder app;
    // Runs a whole program life: start-up, then shutdown without a loop.
    void RunOnce(const std::function<void(Program &)> &whileRunning = {}) {
        Program program;
        ASSERT_FALSE(program.Aborted());
        program.Form1->show();
        if (whileRunning)
            whileRunning(program);
        program.Form1->close();
        program.Shutdown();
    }
    QList<ScriptedPrompts::Shown> Errors() const { return app.prompts.ErrorBoxes(); }
};

} // namespace

TEST_F(Lifecycle, FirstRunWithoutFilesReportsTheStationFileAndWritesEverything) {
    RunOnce([&](Program &p) {
        EXPECT_EQ(p.Form1->Model->RowCount(), 0);
        EXPECT_EQ(p.Form1->sTrackBar1->value(), 50);
        EXPECT_EQ(p.Form1->windowTitle(), "Quorane");
        EXPECT_EQ(p.Form2->windowTitle(), "Proxy settings");
        EXPECT_EQ(p.Form3->windowTitle(), "Add a new station");
    });
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.startsWith("Cannot open file \"" + app.StationFile() + "\". "))
        << errors[0].text.toStdString();
    EXPECT_TRUE(errors[0].text.endsWith("."));
    EXPECT_EQ(errors[0].title, "Quorane");

    EXPECT_TRUE(QFile::exists(app.StationFile()));
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), QByteArray());
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), FirstRunSettings());
    // The find window's geometry first, then the song history window's,
    // TForm3's, TForm2's and the main window's.
    const QByteArray geometry = TempAppFolder::Read(app.GeometryFile());
    EXPECT_EQ(IniSections(geometry),
              QStringList({"Find stations", "Song history", "Add a new station", "Proxy settings",
                           "Quorane"}));
    EXPECT_TRUE(geometry.contains("[Quorane]\nTop=0\nLeft=0\nWidth="));
    EXPECT_TRUE(geometry.contains("WindowState=0"));
}

TEST_F(Lifecycle, EveryStationIsShownAndTheListIsWrittenBackWithCrLf) {
    TempAppFolder::Write(app.StationFile(), "\xEF\xBB\xBF"
                                            "A\tx\tg\tc\tl\thttp://a/\t\nB\nC\tdesc");
    RunOnce([&](Program &p) {
        EXPECT_EQ(p.Form1->Stations.Count(), 3);
        EXPECT_EQ(p.Form1->Model->RowCount(), 3); // the last station is visible too
        EXPECT_EQ(p.Form1->Model->Text(2, 1), "C");
        EXPECT_EQ(p.Form1->Model->Text(0, 4), "http://a/");
    });
    EXPECT_TRUE(Errors().isEmpty());
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()),
              QByteArray("A\tx\tg\tc\tl\thttp://a/\t\r\nB\r\nC\tdesc\r\n"));
}

TEST_F(Lifecycle, AStationFileThatCannotBeReadIsNotOverwrittenUnlessTheListChanged) {
    // A folder where the file should be: it exists, but cannot be read.
    QDir().mkpath(app.StationFile());
    RunOnce();
    ASSERT_EQ(Errors().size(), 1); // the read; no failed write at exit
    EXPECT_TRUE(QFileInfo(app.StationFile()).isDir());
    // The settings are still read and written back faithfully.
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), FirstRunSettings());

    app.prompts.shown.clear();
    RunOnce([](Program &p) { p.Form1->Stations.Insert(0, "Added\t\t\t\t\thttp://new/\t\t"); });
    // The user changed the list: it must be saved, and the failure is told.
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[1].text.startsWith("Cannot create file \"")) << errors[1].text.toStdString();
}

TEST_F(Lifecycle, SettingsAreReadClampedAndWrittenBack) {
    TempAppFolder::Write(app.StationFile(), "");
    const QString longUrl = "http://" + QString(3000, 'a');
    TempAppFolder::Write(app.SettingsFile(),
                         "[Main]\nVolume=150\nSkinName=NoSuchSkin\n[Favorites]\nFav1=http://one/\n"
                         "Fav14=\"http://fourteen/\"\nFav3=" +
                             longUrl.toUtf8() + "\n");
    RunOnce([&](Program &p) {
        TForm1 *f = p.Form1;
        EXPECT_EQ(f->sTrackBar1->value(), 100);
        EXPECT_EQ(f->FavoriteUrls[0], "http://one/");
        EXPECT_EQ(f->FavoriteUrls[13], "http://fourteen/");
        EXPECT_EQ(f->FavoriteUrls[2].size(), 2047);
        EXPECT_EQ(f->FavoriteUrls[1], "");
        EXPECT_EQ(f->sSkinManager1->SkinName(), SkinManager::BuiltInSkin());
        f->sTrackBar1->setValue(30);
        f->FavoriteUrls[4] = "http://five/";
    });
    const QByteArray ini = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(ini.contains("Volume=30\n"));
    EXPECT_TRUE(ini.contains("SkinName=Winter2003 (internal)\n"));
    EXPECT_TRUE(ini.contains("Fav5=http://five/\n"));
    EXPECT_TRUE(ini.contains("Fav14=http://fourteen/\n"));
    EXPECT_TRUE(ini.contains("Fav3=http://" + QByteArray(2040, 'a') + "\n"));

    for (const auto &[stored, expected] :
         std::vector<std::pair<QByteArray, int>>{{"-5", 0}, {"abc", 50}, {"", 50}, {"0x20", 32}}) {
        TempAppFolder::Write(app.SettingsFile(), "[Main]\nVolume=" + stored + "\n");
        Program program;
        EXPECT_EQ(program.Form1->sTrackBar1->value(), expected) << stored.constData();
        program.Shutdown();
    }
}

TEST_F(Lifecycle, FavouritesLoseOnlyWhatTheEightBitPageCannotHold) {
    ASSERT_TRUE(CodePage::SetForTesting("windows-1252"));
    TempAppFolder::Write(app.StationFile(), "");
    TempAppFolder::Write(app.SettingsFile(), "[Favorites]\nFav2=http://caf\xC3\xA9/\n");
    // The file itself is 8-bit text: é is one byte there.
    TempAppFolder::Write(app.SettingsFile(), "[Favorites]\nFav2=http://caf\xE9/\n");
    RunOnce([](Program &p) {
        EXPECT_EQ(p.Form1->FavoriteUrls[1], QByteArray("http://caf\xE9/"));
        p.Form1->FavoriteUrls[2] = CodePage::ToAnsi(QString::fromUtf8("http://\u0420\u0430/"));
    });
    const QByteArray ini = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(ini.contains("Fav2=http://caf\xE9/\n"));
    EXPECT_TRUE(ini.contains("Fav3=http://?\?/\n"));
    CodePage::SetForTesting(QByteArray());
}

TEST_F(Lifecycle, AnUnwritableSettingsFileStillSavesTheStations) {
    TempAppFolder::Write(app.StationFile(), "One\r\n");
    // A link to a folder that does not exist: the file reads as missing, and
    // every write to it fails.
    ASSERT_TRUE(QFile::link(app.App() + "gone/Quorane.ini", app.SettingsFile()));
    RunOnce([](Program &p) { p.Form1->Stations.Insert(0, "Zero"); });
    const auto errors = Errors();
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.last().text, "Unable to write to " + app.SettingsFile() + ".");
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), QByteArray("Zero\r\nOne\r\n"));
}

TEST_F(Lifecycle, GeometryComesBackAndAMaximisedWindowKeepsItsLastNormalPosition) {
    TempAppFolder::Write(app.StationFile(), "");
    TempAppFolder::Write(app.GeometryFile(),
                         "[Quorane]\nTop=40\nLeft=30\nWidth=700\nHeight=500\nWindowState=7\n");
    RunOnce([](Program &p) {
        EXPECT_EQ(p.Form1->pos(), QPoint(30, 40));
        EXPECT_EQ(p.Form1->size(), QSize(700, 500));
        EXPECT_FALSE(p.Form1->isMaximized()); // 7 leaves the state alone
        p.Form1->showMaximized();
    });
    const QByteArray geometry = TempAppFolder::Read(app.GeometryFile());
    EXPECT_TRUE(geometry.contains("[Quorane]\nTop=40\nLeft=30\n")) << geometry.constData();
    EXPECT_TRUE(geometry.contains("WindowState=2")) << geometry.constData();
    RunOnce([](Program &p) { EXPECT_TRUE(p.Form1->isMaximized()); });
}

TEST_F(Lifecycle, StartsTheRealEngineAndReleasesItAtShutdown) {
    TempAppFolder::Write(app.StationFile(), "");
    const QByteArray engine = QFile::encodeName(app.EngineFile());
    RunOnce([&](Program &p) {
        ASSERT_NE(p.Form1->Playback.AudioLibHandle, nullptr);
        EXPECT_EQ(p.Form1->Playback.Bass.BASS_GetVersion() >> 16, 0x0204u);
        EXPECT_TRUE(EngineMapped(engine));
    });
    // It stays mapped (a lookup thread of libcurl may still return into it),
    // but released: it no longer plays anything.
    void *h = dlopen(engine.constData(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(h, nullptr);
    auto create =
        reinterpret_cast<decltype(&BASS_StreamCreateURL)>(dlsym(h, "BASS_StreamCreateURL"));
    auto error = reinterpret_cast<decltype(&BASS_ErrorGetCode)>(dlsym(h, "BASS_ErrorGetCode"));
    ASSERT_TRUE(create && error);
    EXPECT_EQ(create("http://127.0.0.1:9/", 0, 0, nullptr, nullptr), 0u);
    EXPECT_EQ(error(), BASS_ERROR_INIT) << "the engine was not freed at the shutdown";
    dlclose(h);
    EXPECT_TRUE(Errors().isEmpty());
}

TEST_F(Lifecycle, WithoutTheEngineOneBoxSaysSoAndTheSettingsSurvive) {
    app.RemoveEngine();
    TempAppFolder::Write(app.StationFile(), "A\r\n");
    const QByteArray settings =
        "[Main]\nProxy=host:3128\nVolume=70\nSkinName=Winter2003 (internal)\n"
        "[Favorites]\nFav1=http://one/\n";
    TempAppFolder::Write(app.SettingsFile(), settings);
    RunOnce([](Program &p) {
        EXPECT_EQ(p.Form1->Playback.AudioLibHandle, nullptr);
        EXPECT_EQ(p.Form1->sTrackBar1->value(), 70);
    });
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].text.contains(app.EngineFile())) << errors[0].text.toStdString();
    EXPECT_TRUE(errors[0].text.contains("without playback"));
    const QByteArray after = TempAppFolder::Read(app.SettingsFile());
    EXPECT_TRUE(after.contains("Proxy=host:3128\nVolume=70\n"));
    EXPECT_TRUE(after.contains("Fav1=http://one/\n"));
}

TEST_F(Lifecycle, AnEngineOfAnotherVersionEndsTheProgramWithoutWritingAnything) {
    app.InstallEngine(quorane::test::BuildPath("FAKE_ENGINE_V203"));
    TempAppFolder::Write(app.StationFile(), "\xEF\xBB\xBF"
                                            "A\nB");
    TempAppFolder::Write(app.SettingsFile(), "[Main]\nVolume=7\n");
    {
        Program program;
        EXPECT_TRUE(program.Aborted());
        EXPECT_FALSE(program.Form1->isVisible());
        program.Shutdown();
    }
    const auto shown = app.prompts.Messages();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].title, "Error");
    EXPECT_EQ(
        shown[0].text,
        "An incorrect version of BASS.DLL was loaded. Please download complete distributive.");
    EXPECT_EQ(shown[0].icon, Prompts::Icon::Error);
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), QByteArray("\xEF\xBB\xBF"
                                                                 "A\nB"));
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), QByteArray("[Main]\nVolume=7\n"));
    EXPECT_FALSE(QFile::exists(app.GeometryFile()));
}

TEST_F(Lifecycle, ASettingsFileThatCannotBeReadIsReportedOnceAndNeverReplaced) {
    // Something that is not a file where the settings file belongs; a file
    // of another owner or without rights fails the same read (see the INI
    // tests, which run that case as another user).
    TempAppFolder::Write(app.StationFile(), "One\r\n");
    ASSERT_TRUE(QDir().mkpath(app.SettingsFile()));
    TempAppFolder::Write(app.SettingsFile() + "/inside", "kept");
    RunOnce([](Program &p) {
        EXPECT_EQ(p.Form1->sTrackBar1->value(), 50) << "the run uses the defaults";
        p.Form1->sTrackBar1->setValue(80);
        p.Form1->Stations.Insert(0, "Zero");
    });
    const auto errors = Errors();
    ASSERT_EQ(errors.size(), 1) << "one box, at start-up";
    EXPECT_TRUE(errors[0].text.startsWith("Cannot open file \"" + app.SettingsFile() + "\". "))
        << errors[0].text.toStdString();
    EXPECT_TRUE(QFileInfo(app.SettingsFile()).isDir());
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile() + "/inside"), "kept");
    EXPECT_EQ(TempAppFolder::Read(app.StationFile()), QByteArray("Zero\r\nOne\r\n"))
        << "the station list is still saved";
}

TEST_F(Lifecycle, ASettingsWriteThatFailsHalfWayLeavesTheOldFile) {
    TempAppFolder::Write(app.StationFile(), "");
    QByteArray old = "[Main]\nProxy=\nVolume = 70\nSkinName = Snow\n[Favorites]\n";
    for (int n = 1; n <= 14; ++n)
        old += "Fav" + QByteArray::number(n) + " = http://" + QByteArray::number(n) + ".example/\n";
    TempAppFolder::Write(app.SettingsFile(), old);
    {
        // Room for the proxy's write, which changes nothing, but not for all
        // of the new settings.
        FileSizeLimit limit(old.size() + 8);
        RunOnce([](Program &p) {
            p.Form1->sTrackBar1->setValue(90);
            p.Form1->FavoriteUrls[13] =
                "http://a-much-longer-address.example/" + QByteArray(200, 'x');
        });
    }
    ASSERT_FALSE(Errors().isEmpty());
    EXPECT_EQ(Errors().last().text, "Unable to write to " + app.SettingsFile() + ".");
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), old);
}

TEST_F(Lifecycle, ADialogNotShownKeepsItsStoredPlace) {
    TempAppFolder::Write(app.StationFile(), "");
    TempAppFolder::Write(app.GeometryFile(), "[Proxy settings]\nTop=120\nLeft=340\n"
                                             "[Add a new station]\nTop=15\nLeft=25\n"
                                             "WindowState=0\n");
    RunOnce([](Program &p) { p.Form3->move(600, 400); });
    const QByteArray geometry = TempAppFolder::Read(app.GeometryFile());
    EXPECT_TRUE(geometry.contains("[Proxy settings]\nTop=120\nLeft=340\n")) << geometry.constData();
    EXPECT_TRUE(geometry.contains("[Add a new station]\nTop=15\nLeft=25\n"))
        << geometry.constData();
}
