#include "playback/AudioStartup.h"

#include "platform/CodePage.h"
#include "platform/LibraryNames.h"
#include "platform/PathResolver.h"
#include "playback/Dynamic_Bass.h"

namespace {
// The playlist option and its value: a URL that names a playlist is followed
// by the engine itself.
constexpr DWORD ConfigNetPlaylist = BASS_CONFIG_NET_PLAYLIST;
constexpr DWORD FollowPlaylists = 2;
} // namespace

AudioStartResult StartAudio(DynamicBass &engine, const QString &appDir, void *ownerWindow,
                            std::array<DWORD, 17> &PluginHandles) {
    AudioStartResult result;
    PluginHandles.fill(0);

    // Quorane writes the folder "Plugins" here and "plugins" for the add-ons;
    // both mean the one folder, whatever its case on disk.
    const QString enginePath =
        ResolvePath(appDir + QStringLiteral("Plugins/") + LibraryNames::EngineFileName());
    if (!engine.LoadAudioLibrary(enginePath)) {
        result.outcome = AudioStartResult::NotLoaded;
        result.reason = engine.AudioLibraryError();
        return result;
    }

    result.version = engine.Bass.BASS_GetVersion();
    if ((result.version >> 16) != AcceptedAudioVersion) {
        result.outcome = AudioStartResult::WrongVersion;
        return result;
    }

    // Neither result is consulted: a failure shows when a stream will not open.
    engine.Bass.BASS_Init(-1, 44100, 0, ownerWindow, nullptr);
    engine.Bass.BASS_SetConfig(ConfigNetPlaylist, FollowPlaylists);

    for (size_t i = 0; i < PluginHandles.size(); ++i) {
        const QString addOn = ResolvePath(
            appDir + QStringLiteral("plugins/") +
            LibraryNames::ToPlatform(QString::fromLatin1(LibraryNames::AddOnWindowsNames[i])));
        PluginHandles[i] = engine.Bass.BASS_PluginLoad(CodePage::ToAnsi(addOn).constData(), 0);
    }
    result.outcome = AudioStartResult::Started;
    return result;
}

void StopAudio(DynamicBass &engine) {
    if (!engine.AudioLibHandle)
        return;
    engine.Bass.BASS_Free();
    engine.UnloadAudioLibrary();
}
