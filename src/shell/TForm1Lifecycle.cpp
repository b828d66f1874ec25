// The main window's start-up and its part of the shutdown, and the settings
// file it reads at start and writes at exit.
#include "online/ListServerAddress.h"
#include "platform/AppDir.h"
#include "platform/AppPaths.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/PathResolver.h"
#include "platform/Prompts.h"
#include "playback/AudioStartup.h"
#include "playback/StreamPlayer.h"
#include "shell/SkinManager.h"
#include "shell/TForm1.h"
#include "shell/TrayIcon.h"
#include "stations/StationListModel.h"
#include "window/Dispatch.h"

#include <QFileInfo>
#include <QSlider>

namespace {

// Overflow raises, every other x87 fault gives the default result; 64-bit
// mantissa, round to nearest. SSE arithmetic is left as the platform set it.
void LoadControlWord() {
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short word = 0x1337;
    asm volatile("fldcw %0" : : "m"(word));
#endif
}

QString StationFilePath(const QString &spelling) {
    return ResolvePath(AppPaths::DataDir() + spelling);
}

// Runs one start-up step; whatever it raises, our own errors, a lack of
// memory or anything else, is shown once and the start-up goes on with the
// next step. Returns false when the step failed.
template <class F> bool StartupStep(F &&step) {
    try {
        step();
        return true;
    } catch (const QuoraneError &e) {
        ShowErrorBox(e.message());
    } catch (const std::bad_alloc &) {
        ShowErrorBox(QStringLiteral("Not enough memory to start Quorane completely; files it "
                                    "could not read are left as they are"));
    } catch (const std::exception &e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        ShowErrorBox(QStringLiteral("Quorane met an unexpected error while starting"));
    }
    return false;
}

} // namespace

// The add-ons' handles (0: not loaded), kept for the life of the process.
std::array<DWORD, 17> PluginHandles{};

void TForm1::FormCreate() {
    LoadControlWord();
    ApplicationEvents::Of(this)->OnMinimize = [this] {
        Dispatch([&] { TrayIcon1MinimizeToTray(); });
    };
    AppDir = AppPaths::ExecutableDir();
    // An installed copy keeps the user's files in the configuration folder.
    AppPaths::SeedDataDir();
    sSkinManager1->SetSkinDirectory(AppPaths::DataDir() + QStringLiteral("Skins/"));

    const QString stationFile = StationFilePath(QStringLiteral("Data/stations.txt"));
    // A file that is there but could not be read (no right, not a file, too
    // little memory) must survive this run; a missing one is simply created
    // at exit.
    stationFileUnread_ = QFileInfo::exists(stationFile);
    stationsRevisionAtStart_ = Stations.Revision();
    const bool stationsRead = StartupStep([&] { Stations.LoadFromFile(stationFile); });
    Model->SetRowCount(Stations.Count());
    if (stationsRead)
        stationFileUnread_ = false;
    stationsRevisionAtStart_ = Stations.Revision();

    AudioStartResult audio;
    if (!StartupStep([&] {
            audio = StartAudio(Playback, AppDir, static_cast<void *>(this), PluginHandles);
        }))
        audio.outcome = AudioStartResult::NotLoaded;
    if (audio.outcome == AudioStartResult::WrongVersion) {
        Prompts::Current().Message(
            nullptr, QStringLiteral("Error"),
            QStringLiteral("An incorrect version of BASS.DLL was loaded. Please download complete "
                           "distributive."),
            Prompts::Icon::Error);
        // The program ends here: no window is shown and no file is written.
        StartupAborted = true;
        return;
    }
    if (audio.outcome == AudioStartResult::NotLoaded && !audio.reason.isEmpty()) {
        // Quorane still runs, without playback; nothing calls into the engine.
        ShowErrorBox(
            QStringLiteral("The audio engine %1 could not be loaded (%2). Quorane runs "
                           "without playback")
                .arg(ResolvePath(AppDir + QStringLiteral("Plugins/libbass.so")), audio.reason));
    }

    StartupStep([&] { LoadSettings(); });
}

void TForm1::FormDestroy() {
    // Each step runs even when the one before failed: an unwritable settings
    // file must not cost the user the station list, nor leave the engine
    // running while the program ends.
    Dispatch([&] { SaveSettings(); });
    Dispatch([&] { SaveHistory(); });
    Dispatch([&] {
        // No open may still be inside the engine when it goes.
        Player->Shutdown();
        StopAudio(Playback);
        Playback.Channel = 0;
    });
    Dispatch([&] {
        const bool untouched = Stations.Revision() == stationsRevisionAtStart_;
        if (!(stationFileUnread_ && untouched))
            Stations.SaveToFile(StationFilePath(QStringLiteral("data/stations.txt")));
    });
    Stations.Clear();
}

void TForm1::LoadSettings() {
    const IniFile ini(AppPaths::SettingsFile());
    QString reason;
    if (ini.Unreadable(&reason)) {
        // The run goes on with the default settings, and the file keeps the
        // user's: nothing is written over it at exit.
        ShowErrorBox(QStringLiteral("Cannot open file \"%1\". %2. Quorane runs with its default "
                                    "settings and leaves the file as it is")
                         .arg(ini.FileName(), reason));
        return;
    }
    const QString main = QStringLiteral("Main");
    sTrackBar1->setValue(ini.ReadInteger(main, QStringLiteral("Volume"), 50));
    sSkinManager1->SetSkinName(
        ini.ReadString(main, QStringLiteral("SkinName"), SkinManager::DefaultSkinName()));
    // Title notifications are on unless the file says Notify=0.
    Notifyontitlechange1->setChecked(ini.ReadInteger(main, QStringLiteral("Notify"), 1) != 0);
    for (int n = 1; n <= 14; ++n) {
        const QString value =
            ini.ReadString(QStringLiteral("Favorites"), QStringLiteral("Fav%1").arg(n), QString());
        FavoriteUrls[n - 1] = CodePage::ToAnsi(value);
    }
    // The user's own list server, if any; read here only, never written.
    const QString problem =
        ListServerAddress::Configure(ini.ReadString(main, QStringLiteral("ListServer"), QString()));
    settingsRead_ = true;
    if (!problem.isEmpty())
        ShowErrorBox(problem);
    LoadDirectorySetting(ini);
}

void TForm1::SaveSettings() {
    // Settings that were never read (the file could not be read, or the
    // start-up failed before) are not written over the user's file.
    if (!settingsRead_)
        return;
    IniFile ini(AppPaths::SettingsFile());
    // One write for all keys: a crash or a kill meanwhile leaves the old file.
    ini.BeginBatch();
    const QString main = QStringLiteral("Main");
    ini.WriteInteger(main, QStringLiteral("Volume"), sTrackBar1->value());
    ini.WriteString(main, QStringLiteral("SkinName"), sSkinManager1->SkinName());
    // Only a choice away from the default is written, so that a file with
    // every setting at its default has exactly the keys it always had.
    if (Notifyontitlechange1->isChecked())
        ini.DeleteKey(main, QStringLiteral("Notify"));
    else
        ini.WriteInteger(main, QStringLiteral("Notify"), 0);
    for (int n = 1; n <= 14; ++n)
        ini.WriteString(QStringLiteral("Favorites"), QStringLiteral("Fav%1").arg(n),
                        CodePage::FromAnsi(FavoriteUrls[n - 1]));
    ini.Commit();
}
