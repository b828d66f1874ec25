// A stand-in for the audio engine, built several times with different defines
// to give the loader every kind of library it must accept or refuse:
//   FAKE_VERSION       what BASS_GetVersion reports
//   FAKE_OMIT_FIRST    the first entry point (BASS_SetConfig) is missing
//   FAKE_OMIT_LAST     the last entry point (BASS_FXReset) is missing
// The calls the start-up makes are appended, one line each, to the file named
// by QUORANE_FAKE_ENGINE_LOG, so a test can check their order and arguments.
// BASS_PluginLoad succeeds exactly for files that exist.
#include "bass.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#ifndef FAKE_VERSION
#define FAKE_VERSION 0x02040010u
#endif

namespace {

void logLine(const char *format, ...) __attribute__((format(printf, 1, 2)));

void logLine(const char *format, ...) {
    const char *path = std::getenv("QUORANE_FAKE_ENGINE_LOG");
    if (!path || !*path)
        return;
    FILE *f = std::fopen(path, "ab");
    if (!f)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(f, format, args);
    va_end(args);
    std::fputc('\n', f);
    std::fclose(f);
}

DWORD nextPluginHandle = 0x100;

} // namespace

// The hand-written entry points below replace the generated ones, which are
// renamed out of the way.
#define BASS_GetVersion BASS_GetVersion_generated
#define BASS_Init BASS_Init_generated
#define BASS_SetConfig BASS_SetConfig_generated
#define BASS_PluginLoad BASS_PluginLoad_generated
#define BASS_Free BASS_Free_generated
#define BASS_FXReset BASS_FXReset_generated

#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented)                                   \
    extern "C" __attribute__((visibility("default"))) ret name params {                            \
        return (ret)(fail);                                                                        \
    }
#include "bass_entrypoints.h"
#undef QUORANE_BASS_ENTRY

#undef BASS_GetVersion
#undef BASS_Init
#undef BASS_SetConfig
#undef BASS_PluginLoad
#undef BASS_Free
#undef BASS_FXReset

extern "C" {

__attribute__((visibility("default"))) DWORD BASS_GetVersion(void) {
    logLine("BASS_GetVersion");
    return FAKE_VERSION;
}

__attribute__((visibility("default"))) BOOL BASS_Init(int device, DWORD freq, DWORD flags,
                                                      void *win, const void *clsid) {
    logLine("BASS_Init %d %u %u %p %p", device, freq, flags, win, clsid);
    return TRUE;
}

#ifndef FAKE_OMIT_FIRST
__attribute__((visibility("default"))) BOOL BASS_SetConfig(DWORD option, DWORD value) {
    logLine("BASS_SetConfig %u %u", option, value);
    return TRUE;
}
#endif

__attribute__((visibility("default"))) DWORD BASS_PluginLoad(const char *file, DWORD flags) {
    logLine("BASS_PluginLoad %s %u", file, flags);
    FILE *f = std::fopen(file, "rb");
    if (!f)
        return 0;
    std::fclose(f);
    return nextPluginHandle++;
}

__attribute__((visibility("default"))) BOOL BASS_Free(void) {
    logLine("BASS_Free");
    return TRUE;
}

#ifndef FAKE_OMIT_LAST
__attribute__((visibility("default"))) BOOL BASS_FXReset(DWORD handle) {
    return handle != 0;
}
#endif

} // extern "C"
