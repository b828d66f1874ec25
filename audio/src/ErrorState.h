// The last error of each calling thread, as BASS_ErrorGetCode reports it.
#pragma once

namespace quorane::engine {

// Sets the calling thread's error code (BASS_OK after a successful call).
void setError(int code);
int lastError();

// Sets the error and returns the given failure value, for one-line exits.
template <typename T> T fail(int code, T value) {
    setError(code);
    return value;
}

} // namespace quorane::engine
