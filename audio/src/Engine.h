// The engine's process-wide state behind the C entry points: settings, the
// output, and the table of open streams by handle. Every member is guarded by
// mutex_ unless its comment says otherwise; streams are handed out as
// shared_ptr so that a call in progress keeps its stream alive while another
// thread frees the handle.
#pragma once

#include "AudioOutput.h"
#include "PendingOpen.h"
#include "ProxySetting.h"
#include "Stream.h"

#include "bass.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace quorane::engine {

class Engine {
public:
    static Engine &instance();

    int init(int device, DWORD freq);
    bool free();
    bool initialised();

    bool setConfig(DWORD option, DWORD value);
    bool getConfig(DWORD option, DWORD &value);
    bool setConfigPtr(DWORD option, const void *value);
    const void *getConfigPtr(DWORD option);

    DWORD createUrlStream(const char *url, DOWNLOADPROC *proc, void *user);
    bool freeStream(DWORD handle);
    std::shared_ptr<Stream> find(DWORD handle);
    DWORD newSyncHandle() { return nextSync_.fetch_add(1); }

    bool setVolume(float v);
    float volume();

private:
    Engine() = default;

    std::mutex mutex_;
    bool initialised_ = false;
    uint64_t generation_ = 0; // bumped by every free(), so an open that raced it is dropped
    AudioOutput output_;
    std::map<DWORD, std::shared_ptr<Stream>> streams_;
    std::set<PendingOpen *> opening_; // opens in progress, each on its caller's thread
    DWORD nextStream_ = 0x10001;      // never reused: a freed handle stays invalid

    std::atomic<DWORD> nextSync_{1};
    // Settings, readable without mutex_ (an open copies them at its start).
    std::atomic<DWORD> netTimeoutMs_;
    std::atomic<DWORD> netBufferMs_;
    std::atomic<DWORD> playlists_{0};
    std::atomic<DWORD> reconnectLimitMs_;
    std::atomic<DWORD> silentSpeed_{1}; // BASS_CONFIG_SILENT_SPEED
    std::mutex proxyMutex_;             // guards the three fields below
    std::string proxyText_;
    ProxySetting proxy_;
    std::string caFile_; // BASS_CONFIG_NET_CAFILE, "" = the system's store only
};

} // namespace quorane::engine
