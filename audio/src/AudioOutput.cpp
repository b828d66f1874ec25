#include "AudioOutput.h"

#include "EngineLimits.h"

#include "bass.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>

namespace quorane::engine {

int AudioOutput::open(int rate, bool silentOnly, int silentSpeed) {
    // The player handles SIGINT and SIGTERM itself; SDL's own handlers would
    // swallow them into an event queue that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A driver named in SDL_AUDIODRIVER that does not exist makes the audio
    // subsystem itself fail; the silent driver still serves.
    subsystem_ = !silentOnly && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kOutputFrames;
    want.callback = &AudioOutput::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // SDL converts to whatever the device wants: the callback always sees
    // the format asked for here.
    SDL_AudioDeviceID dev = 0;
    if (subsystem_)
        dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (dev == 0) {
        // No usable sound device (a headless machine): the silent driver
        // keeps streams running at real-time pace.
        // Told of a rate that many times higher, the silent driver paces
        // itself that much faster, while the mix stays at `rate`.
        if (silentOnly)
            want.freq = rate * std::max(silentSpeed, 1);
        if (SDL_AudioInit("dummy") == 0)
            dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (dev == 0) {
        shutdownSdl();
        return BASS_ERROR_DRIVER;
    }
    device_ = dev;
    rate_ = rate;
    speed_ = silentOnly ? std::max(silentSpeed, 1) : 1;
    SDL_PauseAudioDevice(dev, 0);
    return BASS_OK;
}

void AudioOutput::shutdownSdl() {
    if (subsystem_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO); // also ends a driver chosen afterwards
    else
        SDL_AudioQuit();
    subsystem_ = false;
}

void AudioOutput::close() {
    if (!device_)
        return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    for (auto &slot : slots_)
        slot.store(nullptr);
    shutdownSdl();
}

bool AudioOutput::attach(Voice *voice) {
    for (auto &slot : slots_) {
        Voice *expected = nullptr;
        if (slot.compare_exchange_strong(expected, voice))
            return true;
    }
    return false;
}

void AudioOutput::detach(Voice *voice) {
    for (auto &slot : slots_) {
        Voice *expected = voice;
        slot.compare_exchange_strong(expected, nullptr);
    }
    // SDL runs the callback under the device lock: taking it once waits out
    // a callback that may still hold the old pointer.
    if (device_) {
        SDL_LockAudioDevice(device_);
        SDL_UnlockAudioDevice(device_);
    }
}

void AudioOutput::callback(void *self, uint8_t *stream, int len) {
    auto *out = static_cast<AudioOutput *>(self);
    auto *samples = reinterpret_cast<float *>(stream);
    size_t frames = static_cast<size_t>(len) / (2 * sizeof(float));
    float gain = out->volume_.load(std::memory_order_relaxed);
    // The first playing stream is written over the buffer, the others are
    // added to it: the usual single station costs one pass.
    bool written = false;
    for (auto &slot : out->slots_) {
        Voice *v = slot.load(std::memory_order_acquire);
        if (v && v->playing.load(std::memory_order_acquire)) {
            v->pcm.mixInto(samples, frames, gain, !written);
            written = true;
        }
    }
    if (!written)
        std::memset(stream, 0, static_cast<size_t>(len));
}

} // namespace quorane::engine
