#include "EngineTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <thread>

namespace quorane::test {

EngineSession::EngineSession(int device, DWORD freq) {
    ok_ = BASS_Init(device, freq, 0, nullptr, nullptr) == TRUE;
}

EngineSession::~EngineSession() {
    if (ok_)
        BASS_Free();
}

DWORD MetaRecorder::attach(DWORD stream) {
    return BASS_ChannelSetSync(stream, BASS_SYNC_META, 0, &MetaRecorder::onSync, this);
}

void MetaRecorder::onSync(DWORD, DWORD channel, DWORD, void *user) {
    auto *self = static_cast<MetaRecorder *>(user);
    const char *block = BASS_ChannelGetTags(channel, BASS_TAG_META);
    std::lock_guard lock(self->mutex_);
    self->blocks_.push_back(block ? block : "<null>");
    self->cv_.notify_all();
}

std::vector<std::string> MetaRecorder::waitFor(size_t count, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, limit, [&] { return blocks_.size() >= count; });
    return blocks_;
}

std::vector<std::string> MetaRecorder::blocks() {
    std::lock_guard lock(mutex_);
    return blocks_;
}

DiskOutput::DiskOutput() : path_("/tmp/quorane-capture-" + std::to_string(getpid()) + ".raw") {
    const char *old = std::getenv("SDL_AUDIODRIVER");
    oldDriver_ = old ? old : "";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
}

DiskOutput::~DiskOutput() {
    if (oldDriver_.empty())
        unsetenv("SDL_AUDIODRIVER");
    else
        setenv("SDL_AUDIODRIVER", oldDriver_.c_str(), 1);
    unsetenv("SDL_DISKAUDIOFILE");
    std::remove(path_.c_str());
}

std::vector<float> DiskOutput::channel(int which) const {
    std::ifstream in(path_, std::ios::binary);
    std::vector<float> all;
    float frame[2];
    while (in.read(reinterpret_cast<char *>(frame), sizeof frame))
        all.push_back(frame[which]);
    return all;
}

std::vector<float> DiskOutput::left() const {
    return channel(0);
}

std::vector<float> DiskOutput::right() const {
    return channel(1);
}

size_t DiskOutput::frames() const {
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0)
        return 0;
    return static_cast<size_t>(st.st_size) / (2 * sizeof(float));
}

size_t firstSound(const std::vector<float> &s, float level) {
    for (size_t i = 0; i < s.size(); ++i)
        if (std::fabs(s[i]) > level)
            return i;
    return s.size();
}

void SyncCounter::onSync(DWORD, DWORD, DWORD data, void *user) {
    auto *self = static_cast<SyncCounter *>(user);
    std::lock_guard lock(self->mutex_);
    self->values_.push_back(data);
}

int SyncCounter::count() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(values_.size());
}

std::vector<DWORD> SyncCounter::values() {
    std::lock_guard lock(mutex_);
    return values_;
}

bool finishesWithin(std::function<void()> fn, std::chrono::milliseconds limit) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    // Detached, and the future comes from a promise rather than std::async,
    // whose future would wait for the call in its destructor.
    std::thread([fn = std::move(fn), done] {
        fn();
        done->set_value();
    }).detach();
    return finished.wait_for(limit) == std::future_status::ready;
}

std::vector<std::string> tagLines(const char *tags) {
    std::vector<std::string> lines;
    for (const char *p = tags; p && *p; p += std::char_traits<char>::length(p) + 1)
        lines.emplace_back(p);
    return lines;
}

bool waitUntil(const std::function<bool()> &pred, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

StreamMount radioMount(const std::string &sample, const std::string &contentType, bool shoutcast) {
    StreamMount m;
    m.audioFile = fixtureAudio(sample);
    m.contentType = contentType;
    m.shoutcastStatus = shoutcast;
    m.icyName = "Quorane Test FM";
    m.icyBr = "128";
    m.bytesPerSecond = 16000;
    return m;
}

std::string titleOf(const std::string &block) {
    const std::string key = "StreamTitle='";
    size_t b = block.find(key);
    size_t e = block.find("';", b == std::string::npos ? 0 : b);
    if (b == std::string::npos || e == std::string::npos)
        return "";
    return block.substr(b + key.size(), e - b - key.size());
}

uint16_t closedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

} // namespace quorane::test
