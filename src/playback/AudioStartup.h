#pragma once
// The main window's audio start-up and shutdown in one place: load the engine
// from the application folder, check its version, open output, follow
// playlists and load the add-ons; and at the end release and unload it. The
// main window shows the messages and decides what happens next. UI thread.
#include "bass.h"
#include "playback/Dynamic_Bass.h"

#include <QString>
#include <array>

// What StartAudio achieved. Owned by the caller.
struct AudioStartResult {
    enum Outcome {
        Started,      // loaded, version accepted, output and add-ons set up
        NotLoaded,    // the engine is missing or incomplete: nothing was called
        WrongVersion, // loaded, but not version 2.4: nothing after the check was called
    };
    Outcome outcome = NotLoaded;
    QString reason;    // NotLoaded: why (AudioLibraryError())
    DWORD version = 0; // BASS_GetVersion(), when the engine loaded
};

// The version the player is written for, in the upper 16 bits of
// BASS_GetVersion(): 2.4. The lower 16 bits may hold anything.
inline constexpr DWORD AcceptedAudioVersion = 0x0204;

// Loads the engine into `engine`. appDir is the application folder with its trailing "/". Loads
// appDir + "Plugins/libbass.so"; when it loads and passes the version gate,
// opens the default output at 44100 Hz for ownerWindow, turns on playlist
// following and loads the seventeen add-ons from appDir + "plugins/" into
// PluginHandles (0 for one that did not load; no message).
AudioStartResult StartAudio(DynamicBass &engine, const QString &appDir, void *ownerWindow,
                            std::array<DWORD, 17> &PluginHandles);

// Releases output and unloads the engine, only when it is loaded.
void StopAudio(DynamicBass &engine);
