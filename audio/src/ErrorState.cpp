#include "ErrorState.h"

#include "bass.h"

namespace quorane::engine {

namespace {
// Owned by each thread: one entry point's outcome never leaks into another thread.
thread_local int tlsError = BASS_OK;
} // namespace

void setError(int code) {
    tlsError = code;
}
int lastError() {
    return tlsError;
}

} // namespace quorane::engine
