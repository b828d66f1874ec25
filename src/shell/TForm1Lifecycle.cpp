// The main window's start-up and its part of the shutdown, and the settings
// file it reads at start and writes at exit.
#include "platform/AppDir.h"
#include "platform/AppPaths.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/PathResolver.h"
#include "platform/Prompts.h"
#include "playback/AudioStartup.h"
#include "playback/PlaybackState.h"
#include "playback/StreamTitle.h"
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
    return ResolvePath(AppDir + spelling);
}

} // namespace

// The add-ons' handles (0: not loaded), kept for the life of the process.
std::array<DWORD, 17> PluginHandles{};

void TForm1::FormCreate() {
    LoadControlWord();
    ApplicationEvents::Of(this)->OnMinimize = [this] {
        Dispatch([&] { TrayIcon1MinimizeToTray(); });
    };
    SetTitleView(this);
    AppDir = AppPaths::ExecutableDir();
    sSkinManager1->SetSkinDirectory(AppDir + QStringLiteral("Skins/"));

    const QString stationFile = StationFilePath(QStringLiteral("Data/stations.txt"));
    try {
        Stations.LoadFromFile(stationFile);
        Model->SetRowCount(Stations.Count());
    } catch (const QuoraneError &e) {
        Model->SetRowCount(Stations.Count());
        // A file that is there but unreadable must survive this run; a missing
        // one is simply created at exit.
        stationFileUnread_ = QFileInfo::exists(stationFile);
        ShowErrorBox(e.message());
    }
    stationsRevisionAtStart_ = Stations.Revision();

    const AudioStartResult audio = StartAudio(AppDir, static_cast<void *>(this), PluginHandles);
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
    if (audio.outcome == AudioStartResult::NotLoaded) {
        // Quorane still runs, without playback; nothing calls into the engine.
        ShowErrorBox(
            QStringLiteral("The audio engine %1 could not be loaded (%2). Quorane runs "
                           "without playback")
                .arg(ResolvePath(AppDir + QStringLiteral("Plugins/libbass.so")), audio.reason));
    }

    LoadSettings();
}

void TForm1::FormDestroy() {
    // Each step runs even when the one before failed: an unwritable settings
    // file must not cost the user the station list, nor leave the engine
    // running while the program ends.
    Dispatch([&] { SaveSettings(); });
    Dispatch([&] {
        StopAudio();
        Channel = 0;
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
    const QString main = QStringLiteral("Main");
    sTrackBar1->setValue(ini.ReadInteger(main, QStringLiteral("Volume"), 50));
    sSkinManager1->SetSkinName(
        ini.ReadString(main, QStringLiteral("SkinName"), SkinManager::DefaultSkinName()));
    for (int n = 1; n <= 14; ++n) {
        const QString value =
            ini.ReadString(QStringLiteral("Favorites"), QStringLiteral("Fav%1").arg(n), QString());
        FavoriteUrls[n - 1] = CodePage::ToAnsi(value);
    }
}

void TForm1::SaveSettings() {
    IniFile ini(AppPaths::SettingsFile());
    const QString main = QStringLiteral("Main");
    ini.WriteInteger(main, QStringLiteral("Volume"), sTrackBar1->value());
    ini.WriteString(main, QStringLiteral("SkinName"), sSkinManager1->SkinName());
    for (int n = 1; n <= 14; ++n)
        ini.WriteString(QStringLiteral("Favorites"), QStringLiteral("Fav%1").arg(n),
                        CodePage::FromAnsi(FavoriteUrls[n - 1]));
}
