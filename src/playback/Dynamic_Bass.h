#pragma once
// Dynamic_Bass: the player's only road into the audio engine. The engine is a
// shared library loaded at run time from the application folder; its entry
// points are looked up by name into the table `Bass`, and callers write
// `Bass.BASS_StreamFree(Channel)`. The table and the list of names both come
// from bass_entrypoints.h, which the engine expands too, so the two sides
// cannot disagree about a name or a signature.
//
// Everything here belongs to the UI thread: loading, unloading and the table.
// The engine's own threads never touch it.
#include "bass.h"

#include <QString>

// The engine's 98 entry points, in the order they are looked up. Every member
// is null while the engine is not loaded; use the table only while
// AudioLibHandle is not null.
struct BassEntryPoints {
#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented) ret(*name) params = nullptr;
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY
};

// The number of entry points in the table.
inline constexpr int BassEntryPointCount = 0
#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented) +1
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY
    ;

// The engine's loader and its table: the one object through which the
// player reaches the engine. The playback object is one (PlaybackState); a
// loader test makes its own. Everything here is written on the UI thread
// only, by loading and unloading; while the engine is loaded the table does
// not change, so the player's open worker and the engine's notification
// threads may call through it.
class DynamicBass {
public:
    DynamicBass() = default;
    DynamicBass(const DynamicBass &) = delete;
    DynamicBass &operator=(const DynamicBass &) = delete;
    // Unloads the engine if it is still loaded.
    ~DynamicBass();

    // Loads the engine from path (an empty path searches the dynamic
    // loader's path for the engine's file name) and looks up all entry
    // points. True when loaded and complete. A second call while loaded
    // returns true and changes nothing. On failure nothing stays loaded, the
    // table is empty and AudioLibraryError() says why. Never shows anything
    // to the user.
    bool LoadAudioLibrary(const QString &path);

    // Releases output and unloads the engine when it is loaded; calls
    // nothing when it is not. AudioLibHandle is null afterwards.
    void UnloadAudioLibrary();

    // Why the last LoadAudioLibrary failed (the loader's message, or
    // "missing entry point NAME"); empty after a successful load.
    QString AudioLibraryError() const { return lastError_; }

    // The entry points, filled by LoadAudioLibrary and cleared by unloading.
    BassEntryPoints Bass;
    // The loaded engine library (dlopen handle); nullptr = not loaded.
    void *AudioLibHandle = nullptr;

private:
    QString lastError_;
};
