#include "PlaybackTimeline.h"

#include <algorithm>

namespace quorane::engine {

PlaybackTimeline::PlaybackTimeline(size_t maxWaiting) : max_(std::max<size_t>(maxWaiting, 1)) {}

void PlaybackTimeline::addAtByte(uint32_t connection, uint64_t byte, std::string block) {
    std::lock_guard lock(mutex_);
    byTag_.push_back({connection, byte, std::move(block)});
    // Nothing decodes (the stream is stopped) while the server floods us:
    // the oldest titles are out of date anyway.
    if (byTag_.size() > max_)
        byTag_.pop_front();
}

void PlaybackTimeline::reachedByte(uint32_t connection, uint64_t end, uint64_t frame) {
    std::lock_guard lock(mutex_);
    while (!byTag_.empty() && byTag_.front().connection == connection &&
           byTag_.front().byte < end) {
        insertReady({Kind::Meta, frame, std::move(byTag_.front().block), 0});
        byTag_.pop_front();
    }
}

void PlaybackTimeline::addAtFrame(Kind kind, uint64_t frame, std::string block, uint32_t tag) {
    std::lock_guard lock(mutex_);
    insertReady({kind, frame, std::move(block), tag});
}

void PlaybackTimeline::dropConnection(uint32_t connection) {
    std::lock_guard lock(mutex_);
    byTag_.erase(std::remove_if(byTag_.begin(), byTag_.end(),
                                [&](const ByteTagged &b) { return b.connection == connection; }),
                 byTag_.end());
}

void PlaybackTimeline::insertReady(Event e) {
    auto before = [](const Event &a, const Event &b) {
        if (a.frame != b.frame)
            return a.frame < b.frame;
        return a.kind == Kind::Resumed && b.kind == Kind::Meta;
    };
    ready_.insert(std::upper_bound(ready_.begin(), ready_.end(), e, before), std::move(e));
    if (ready_.size() > max_)
        ready_.pop_front();
}

uint64_t PlaybackTimeline::nextFrame() const {
    std::lock_guard lock(mutex_);
    return ready_.empty() ? kNone : ready_.front().frame;
}

std::vector<PlaybackTimeline::Event> PlaybackTimeline::takePlayed(uint64_t played) {
    std::vector<Event> due;
    std::lock_guard lock(mutex_);
    while (!ready_.empty() && ready_.front().frame < played) {
        due.push_back(std::move(ready_.front()));
        ready_.pop_front();
    }
    return due;
}

} // namespace quorane::engine
