// The one audio output of the engine: an SDL device at the rate BASS_Init was
// given, stereo float. Its callback mixes every playing stream's PcmRing,
// scaled by the output volume, and plays silence for a stream that has no
// data ready. When no sound device can be opened it falls back to SDL's
// silent "dummy" driver, which still consumes audio in real time, so streams
// run on a machine without sound.
#pragma once

#include "PcmRing.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace quorane::engine {

// What the output needs of a stream: its decoded audio and whether to play it.
struct Voice {
    explicit Voice(size_t frames) : pcm(frames) {}
    PcmRing pcm;
    // Written by API calls (play, stop), read by the output callback.
    std::atomic<bool> playing{false};
};

class AudioOutput {
public:
    // Opens the default device (silentOnly = false) or the silent one, which
    // then consumes `silentSpeed` times faster than real time. Returns a BASS
    // error code.
    int open(int rate, bool silentOnly, int silentSpeed = 1);
    void close();
    bool isOpen() const { return device_ != 0; }
    int rate() const { return rate_; }
    // How many times faster than real time the output consumes (1 but for
    // a silent output made faster for tests).
    int speed() const { return speed_; }

    // Attaches a stream to the mix. Returns false when all slots are taken.
    bool attach(Voice *voice);
    // Detaches it; once this returns the callback no longer touches it.
    void detach(Voice *voice);

    void setVolume(float v) { volume_.store(v, std::memory_order_relaxed); }
    float volume() const { return volume_.load(std::memory_order_relaxed); }

private:
    static void callback(void *self, uint8_t *stream, int len);
    void shutdownSdl();

    static constexpr size_t kSlots = 64;
    uint32_t device_ = 0; // SDL device id; owned by the API thread under the engine lock
    int rate_ = 0;        // same
    int speed_ = 1;       // same
    bool subsystem_ =
        false; // SDL's audio subsystem was started (else only the silent driver); same
    // The streams being mixed: written by API calls, read by the callback.
    std::array<std::atomic<Voice *>, kSlots> slots_{};
    std::atomic<float> volume_{1.0f}; // output volume 0..1, read by the callback
};

} // namespace quorane::engine
