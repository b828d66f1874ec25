// The C entry points of the engine. Each sets the calling thread's error code
// (BASS_OK on success). Entry points the player never needs are generated from
// the list in bass_entrypoints.h and fail with BASS_ERROR_NOTAVAIL.
#include "bass.h"

#include "Engine.h"
#include "ErrorState.h"

#include <cmath>
#include <sys/stat.h>

using quorane::engine::Engine;
using quorane::engine::fail;
using quorane::engine::setError;

namespace {

template <typename T> T ok(T value) {
    setError(BASS_OK);
    return value;
}

} // namespace

extern "C" {

BOOL BASS_SetConfig(DWORD option, DWORD value) {
    if (!Engine::instance().setConfig(option, value))
        return fail<BOOL>(BASS_ERROR_ILLPARAM, FALSE);
    return ok<BOOL>(TRUE);
}

DWORD BASS_GetConfig(DWORD option) {
    DWORD value = 0;
    if (!Engine::instance().getConfig(option, value))
        return fail<DWORD>(BASS_ERROR_ILLPARAM, 0xFFFFFFFFu);
    return ok(value);
}

BOOL BASS_SetConfigPtr(DWORD option, const void *value) {
    if (!Engine::instance().setConfigPtr(option, value))
        return fail<BOOL>(BASS_ERROR_ILLPARAM, FALSE);
    return ok<BOOL>(TRUE);
}

const void *BASS_GetConfigPtr(DWORD option) {
    if (option != BASS_CONFIG_NET_PROXY && option != BASS_CONFIG_NET_CAFILE)
        return fail<const void *>(BASS_ERROR_ILLPARAM, nullptr);
    return ok(Engine::instance().getConfigPtr(option));
}

DWORD BASS_GetVersion(void) {
    return ok<DWORD>(BASS_VERSION_FULL);
}

int BASS_ErrorGetCode(void) {
    return quorane::engine::lastError();
}

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, void * /*win*/, const void * /*clsid*/) {
    int error = Engine::instance().init(device, freq);
    if (error != BASS_OK)
        return fail<BOOL>(error, FALSE);
    return ok<BOOL>(TRUE);
}

BOOL BASS_Free(void) {
    if (!Engine::instance().free())
        return fail<BOOL>(BASS_ERROR_INIT, FALSE);
    return ok<BOOL>(TRUE);
}

BOOL BASS_SetVolume(float volume) {
    if (!Engine::instance().initialised())
        return fail<BOOL>(BASS_ERROR_INIT, FALSE);
    if (!(volume >= 0.0f && volume <= 1.0f)) // also refuses NaN
        return fail<BOOL>(BASS_ERROR_ILLPARAM, FALSE);
    Engine::instance().setVolume(volume);
    return ok<BOOL>(TRUE);
}

float BASS_GetVolume(void) {
    if (!Engine::instance().initialised())
        return fail<float>(BASS_ERROR_INIT, -1.0f);
    return ok(Engine::instance().volume());
}

DWORD BASS_PluginLoad(const char *file, DWORD /*flags*/) {
    // Every format is built in; add-on files are recognised, never loaded.
    struct stat st {};
    if (!file || stat(file, &st) != 0)
        return fail<DWORD>(BASS_ERROR_FILEOPEN, 0);
    return fail<DWORD>(BASS_ERROR_FORMAT, 0);
}

DWORD BASS_StreamCreateURL(const char *url, DWORD /*offset*/, DWORD /*flags*/, DOWNLOADPROC *proc,
                           void *user) {
    return Engine::instance().createUrlStream(url, proc, user);
}

BOOL BASS_StreamFree(DWORD handle) {
    if (!Engine::instance().freeStream(handle))
        return fail<BOOL>(BASS_ERROR_HANDLE, FALSE);
    return ok<BOOL>(TRUE);
}

QWORD BASS_StreamGetFilePosition(DWORD handle, DWORD mode) {
    constexpr QWORD kFailed = 0xFFFFFFFFFFFFFFFFull;
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<QWORD>(BASS_ERROR_HANDLE, kFailed);
    QWORD value = 0;
    if (!stream->filePosition(mode, value))
        return fail<QWORD>(BASS_ERROR_ILLPARAM, kFailed);
    return ok(value);
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<DWORD>(BASS_ERROR_HANDLE, BASS_ACTIVE_STOPPED);
    return ok(stream->activity());
}

const char *BASS_ChannelGetTags(DWORD handle, DWORD tags) {
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<const char *>(BASS_ERROR_HANDLE, nullptr);
    const char *result = stream->tags(tags);
    if (!result)
        return fail<const char *>(BASS_ERROR_NOTAVAIL, nullptr);
    return ok(result);
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL /*restart*/) {
    // A live stream cannot start over; play resumes where it stopped.
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<BOOL>(BASS_ERROR_HANDLE, FALSE);
    stream->setPlaying(true);
    return ok<BOOL>(TRUE);
}

BOOL BASS_ChannelStop(DWORD handle) {
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<BOOL>(BASS_ERROR_HANDLE, FALSE);
    stream->setPlaying(false);
    return ok<BOOL>(TRUE);
}

DWORD BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD /*param*/, SYNCPROC *proc, void *user) {
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<DWORD>(BASS_ERROR_HANDLE, 0);
    // The upper bits carry delivery flags; every sync runs on the stream's
    // control thread.
    type &= 0x00FFFFFFu;
    if ((type != BASS_SYNC_META && type != BASS_SYNC_STALL && type != BASS_SYNC_END) || !proc)
        return fail<DWORD>(BASS_ERROR_ILLPARAM, 0);
    DWORD sync = Engine::instance().newSyncHandle();
    stream->addSync(sync, type, proc, user);
    return ok(sync);
}

BOOL BASS_ChannelSetTap(DWORD handle, TAPPROC *proc, void *user) {
    auto stream = Engine::instance().find(handle);
    if (!stream)
        return fail<BOOL>(BASS_ERROR_HANDLE, FALSE);
    stream->setTap(proc, user);
    return ok<BOOL>(TRUE);
}

} // extern "C"

// The rest of the list: present so that the player's loader finds every
// name, failing cleanly because Quorane never needs them.
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define QUORANE_NOT_AVAILABLE_0(ret, name, params, failure)                                        \
    extern "C" ret name params {                                                                   \
        return fail<ret>(BASS_ERROR_NOTAVAIL, (ret)(failure));                                     \
    }
#define QUORANE_NOT_AVAILABLE_1(ret, name, params, failure)
#define QUORANE_BASS_ENTRY(ret, name, params, failure, implemented)                                \
    QUORANE_NOT_AVAILABLE_##implemented(ret, name, params, failure)
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY
