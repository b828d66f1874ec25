// Placeholder until the engine lands: every entry point exists and fails with
// BASS_ERROR_NOTAVAIL, so the player's loader finds a complete library.
#include "bass.h"

namespace {
thread_local int lastError = BASS_OK;
}

extern "C" int BASS_ErrorGetCode(void) { return lastError; }

#define QUORANE_BASS_ENTRY(ret, name, params, fail, implemented)                                   \
    QUORANE_BASS_ENTRY_IF_NOT_ERROR(ret, name, params, fail)
#define QUORANE_BASS_ENTRY_IF_NOT_ERROR(ret, name, params, fail)                                   \
    extern "C" QUORANE_BASS_API ret name params {                                                  \
        lastError = BASS_ERROR_NOTAVAIL;                                                           \
        return (ret)(fail);                                                                        \
    }
#define BASS_ErrorGetCode BASS_ErrorGetCode_unused
#include "bass_entrypoints.h"
#undef BASS_ErrorGetCode
