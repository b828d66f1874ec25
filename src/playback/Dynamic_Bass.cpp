#include "playback/Dynamic_Bass.h"

#include "platform/LibraryNames.h"

#include <QFile>
#include <dlfcn.h>

DynamicBass::~DynamicBass() {
    UnloadAudioLibrary();
}

bool DynamicBass::LoadAudioLibrary(const QString &path) {
    if (AudioLibHandle)
        return true;

    // A bare file name makes dlopen search LD_LIBRARY_PATH, the run path and
    // the system folders: the dynamic loader's own search path.
    const QByteArray file =
        QFile::encodeName(path.isEmpty() ? LibraryNames::EngineFileName() : path);
    dlerror();
    void *handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *reason = dlerror();
        lastError_ = reason ? QString::fromLocal8Bit(reason)
                            : QStringLiteral("cannot load ") + QFile::decodeName(file);
        return false;
    }

    // Fill a table of our own first, so that `Bass` never holds a half set.
    BassEntryPoints table;
    const char *missing = nullptr;
#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented)                                   \
    table.name = reinterpret_cast<decltype(table.name)>(dlsym(handle, #name));                     \
    if (!table.name && !missing)                                                                   \
        missing = #name;
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY

    if (missing) {
        dlclose(handle);
        Bass = BassEntryPoints{};
        lastError_ = QStringLiteral("missing entry point ") + QString::fromLatin1(missing);
        return false;
    }
    Bass = table;
    AudioLibHandle = handle;
    lastError_.clear();
    return true;
}

void DynamicBass::UnloadAudioLibrary() {
    if (!AudioLibHandle)
        return;
    Bass.BASS_Free();
    dlclose(AudioLibHandle);
    AudioLibHandle = nullptr;
    Bass = BassEntryPoints{};
}
