#include "Engine.h"

#include "EngineLimits.h"
#include "EngineLog.h"
#include "ErrorState.h"

#include <cmath>
#include <cstdlib>
#include <curl/curl.h>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace quorane::engine {

namespace {

// The one engine, made by the first call into the library.
Engine *theEngine = nullptr;
// Set once the first BASS_Init has set up libcurl (and the TLS library under it).
bool curlStarted = false;

// The library is linked never to be unmapped (see audio/CMakeLists.txt): a
// dlclose leaves it, and a later load finds this same engine. So this runs as
// the process ends, and releases what a freed engine still holds. An engine
// that was never freed may still have stream threads using both, so then
// they stay.
__attribute__((destructor)) void releaseEngine() {
    if (theEngine && !theEngine->initialised()) {
        delete theEngine;
        theEngine = nullptr;
        if (curlStarted)
            curl_global_cleanup();
        curlStarted = false;
    }
}

} // namespace

Engine &Engine::instance() {
    static Engine *engine = [] {
        theEngine = new Engine;
        theEngine->netTimeoutMs_ = kDefaultNetTimeoutMs;
        theEngine->netBufferMs_ = kDefaultNetBufferMs;
        theEngine->reconnectLimitMs_ = kDefaultReconnectLimitMs;
        return theEngine;
    }();
    return *engine;
}

int Engine::init(int device, DWORD freq) {
    static std::once_flag libraries;
    std::call_once(libraries, [] {
        curlStarted = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        // A radio stream joined mid-frame makes FFmpeg complain on every
        // station change; the engine reports failures through its error codes.
        av_log_set_level(EngineLog::enabled(LogLevel::Debug) ? AV_LOG_DEBUG : AV_LOG_QUIET);
    });
    if (device < -1)
        return BASS_ERROR_ILLPARAM;
    if (freq == 0)
        freq = 44100;
    if (freq < 8000 || freq > 384000)
        return BASS_ERROR_ILLPARAM;
    std::lock_guard lock(mutex_);
    if (initialised_)
        return BASS_ERROR_ALREADY;
    // Device 0 is "no sound": the silent output, still paced in real time.
    int error = output_.open(static_cast<int>(freq), device == 0);
    if (error != BASS_OK)
        return error;
    initialised_ = true;
    return BASS_OK;
}

bool Engine::free() {
    std::map<DWORD, std::shared_ptr<Stream>> streams;
    {
        std::lock_guard lock(mutex_);
        if (!initialised_)
            return false;
        streams.swap(streams_);
        output_.close();
        initialised_ = false;
        ++generation_;
    }
    // Joined outside the lock: a notification running now may call back in.
    for (auto &[handle, stream] : streams)
        stream->shutdown();
    return true;
}

bool Engine::initialised() {
    std::lock_guard lock(mutex_);
    return initialised_;
}

bool Engine::setConfig(DWORD option, DWORD value) {
    switch (option) {
    case BASS_CONFIG_NET_TIMEOUT:
        netTimeoutMs_ = value;
        return true;
    case BASS_CONFIG_NET_BUFFER:
        netBufferMs_ = value;
        return true;
    case BASS_CONFIG_NET_PLAYLIST:
        playlists_ = value;
        return true;
    case BASS_CONFIG_NET_RECONNECT_LIMIT:
        reconnectLimitMs_ = value;
        return true;
    default:
        return false;
    }
}

bool Engine::getConfig(DWORD option, DWORD &value) {
    switch (option) {
    case BASS_CONFIG_NET_TIMEOUT:
        value = netTimeoutMs_;
        return true;
    case BASS_CONFIG_NET_BUFFER:
        value = netBufferMs_;
        return true;
    case BASS_CONFIG_NET_PLAYLIST:
        value = playlists_;
        return true;
    case BASS_CONFIG_NET_RECONNECT_LIMIT:
        value = reconnectLimitMs_;
        return true;
    default:
        return false;
    }
}

bool Engine::setConfigPtr(DWORD option, const void *value) {
    const char *text = static_cast<const char *>(value);
    std::lock_guard lock(proxyMutex_);
    if (option == BASS_CONFIG_NET_CAFILE) {
        caFile_ = text ? text : "";
        return true;
    }
    if (option != BASS_CONFIG_NET_PROXY)
        return false;
    proxyText_ = text ? text : "";
    proxy_ = ProxySetting::parse(text);
    return true;
}

const void *Engine::getConfigPtr(DWORD option) {
    std::lock_guard lock(proxyMutex_);
    if (option == BASS_CONFIG_NET_CAFILE)
        return caFile_.empty() ? nullptr : caFile_.c_str();
    if (option != BASS_CONFIG_NET_PROXY)
        return nullptr;
    return proxyText_.empty() ? nullptr : proxyText_.c_str();
}

DWORD Engine::createUrlStream(const char *url, DOWNLOADPROC *proc, void *user) {
    OpenRequest request;
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        if (!initialised_)
            return fail<DWORD>(BASS_ERROR_INIT, 0);
        request.outputRate = output_.rate();
        generation = generation_;
    }
    if (!url)
        return fail<DWORD>(BASS_ERROR_FILEFORM, 0);
    request.url = url;
    {
        std::lock_guard lock(proxyMutex_);
        request.net.proxy = proxy_;
        request.net.caFile = caFile_;
    }
    request.net.timeoutMs = netTimeoutMs_;
    request.bufferMs = std::max<DWORD>(netBufferMs_, 1000);
    request.reconnectLimitMs = reconnectLimitMs_;
    request.followPlaylists = playlists_ > 0;
    request.proc = proc;
    request.user = user;

    int error = BASS_OK;
    std::shared_ptr<Stream> stream = Stream::open(request, error);
    if (!stream)
        return fail<DWORD>(error, 0);

    std::unique_lock lock(mutex_);
    if (!initialised_ || generation != generation_) {
        lock.unlock();
        stream->shutdown();
        return fail<DWORD>(BASS_ERROR_INIT, 0);
    }
    if (!output_.attach(&stream->voice())) {
        lock.unlock();
        stream->shutdown();
        return fail<DWORD>(BASS_ERROR_MEM, 0);
    }
    DWORD handle = nextStream_++;
    stream->setHandle(handle);
    streams_.emplace(handle, stream);
    stream->startControl();
    setError(BASS_OK);
    return handle;
}

bool Engine::freeStream(DWORD handle) {
    std::shared_ptr<Stream> stream;
    {
        std::lock_guard lock(mutex_);
        auto it = streams_.find(handle);
        if (it == streams_.end())
            return false;
        stream = std::move(it->second);
        streams_.erase(it);
        output_.detach(&stream->voice());
    }
    stream->shutdown();
    return true;
}

std::shared_ptr<Stream> Engine::find(DWORD handle) {
    std::lock_guard lock(mutex_);
    auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second;
}

bool Engine::setVolume(float v) {
    output_.setVolume(v);
    return true;
}

float Engine::volume() {
    return output_.volume();
}

} // namespace quorane::engine
