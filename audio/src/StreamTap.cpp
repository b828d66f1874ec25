#include "StreamTap.h"

#include "ByteRing.h"

#include <algorithm>

namespace quorane::engine {

namespace {

// Enough for the header pages of any Ogg stream and an MP4 init section.
constexpr size_t kHeadBytes = 64 * 1024;
// Blocks and decoded packets kept of the newest connection: a minute of
// packets is more than the download buffer ever holds ahead of the decoder.
constexpr size_t kKeptBlocks = 64;
constexpr size_t kKeptLevels = 3000;

} // namespace

void StreamTap::setHandle(DWORD handle) {
    std::lock_guard lock(mutex_);
    handle_ = handle;
}

void StreamTap::call(const BASS_TAPEVENT &e) {
    if (proc_)
        proc_(handle_, &e, user_);
}

void StreamTap::callWithBytes(DWORD kind, uint32_t serial, uint64_t pos, const void *data,
                              size_t len) {
    BASS_TAPEVENT e{};
    e.kind = kind;
    e.connection = serial;
    e.pos = pos;
    e.data = data;
    e.length = static_cast<DWORD>(len);
    call(e);
}

void StreamTap::callLevel(uint32_t serial, const Level &l) {
    BASS_TAPEVENT e{};
    e.kind = BASS_TAP_LEVEL;
    e.connection = serial;
    e.pos = l.pos;
    e.frames = l.frames;
    e.rate = l.rate;
    e.level = l.meanSquare;
    call(e);
}

void StreamTap::connectionStarted(uint32_t serial, const std::string &contentType,
                                  const ByteRing &ring) {
    std::lock_guard lock(mutex_);
    serial_ = serial;
    contentType_ = contentType;
    ring_ = &ring;
    head_.clear();
    blocks_.clear();
    levels_.clear();
    delivered_ = 0;
    callWithBytes(BASS_TAP_CONNECTION, serial, 0, contentType_.data(), contentType_.size());
}

void StreamTap::connectionGone(uint32_t serial) {
    std::lock_guard lock(mutex_);
    if (serial == serial_)
        ring_ = nullptr;
}

void StreamTap::bytes(uint32_t serial, uint64_t pos, const uint8_t *data, size_t len) {
    std::lock_guard lock(mutex_);
    if (serial == serial_) {
        if (pos < kHeadBytes && pos == head_.size())
            head_.append(reinterpret_cast<const char *>(data),
                         std::min<size_t>(len, kHeadBytes - head_.size()));
        // What set() already handed over from the ring is not sent twice.
        if (pos + len <= delivered_)
            return;
        size_t skip = delivered_ > pos ? static_cast<size_t>(delivered_ - pos) : 0;
        data += skip;
        pos += skip;
        len -= skip;
        delivered_ = pos + len;
    }
    callWithBytes(BASS_TAP_DATA, serial, pos, data, len);
}

void StreamTap::meta(uint32_t serial, uint64_t pos, const std::string &block) {
    std::lock_guard lock(mutex_);
    if (serial == serial_) {
        blocks_.emplace_back(pos, block);
        if (blocks_.size() > kKeptBlocks)
            blocks_.pop_front();
    }
    callWithBytes(BASS_TAP_META, serial, pos, block.data(), block.size());
}

void StreamTap::level(uint32_t serial, uint64_t pos, uint32_t frames, uint32_t rate,
                      float meanSquare) {
    std::lock_guard lock(mutex_);
    const Level l{pos, frames, rate, meanSquare};
    if (serial == serial_) {
        levels_.push_back(l);
        if (levels_.size() > kKeptLevels)
            levels_.pop_front();
    }
    callLevel(serial, l);
}

void StreamTap::set(TAPPROC *proc, void *user) {
    std::lock_guard lock(mutex_);
    proc_ = proc;
    user_ = user;
    if (proc_ && serial_ != 0)
        replay();
}

// Hands the new proc the newest connection as far as it is kept: its start,
// its first bytes, then what the ring still holds after them (a jump in
// position when the two do not meet), its blocks and its levels.
void StreamTap::replay() {
    callWithBytes(BASS_TAP_CONNECTION, serial_, 0, contentType_.data(), contentType_.size());
    std::string recent;
    uint64_t recentAt = ring_ ? ring_->copyWritten(head_.size(), recent) : head_.size();
    if (!head_.empty())
        callWithBytes(BASS_TAP_DATA, serial_, 0, head_.data(), head_.size());
    if (!recent.empty())
        callWithBytes(BASS_TAP_DATA, serial_, recentAt, recent.data(), recent.size());
    delivered_ = std::max<uint64_t>(head_.size(), recentAt + recent.size());
    for (const auto &[pos, block] : blocks_)
        callWithBytes(BASS_TAP_META, serial_, pos, block.data(), block.size());
    for (const Level &l : levels_)
        callLevel(serial_, l);
}

} // namespace quorane::engine
