// One BASS_StreamCreateURL in progress, as the engine sees it, so that
// BASS_Free can end it: the open runs on its caller's thread and may wait up
// to the answer limit on a name lookup that hangs, and a player that exits
// must not wait that long for it. The open (its caller's thread) tells this
// which connection it waits on now; cancel() (BASS_Free's thread) ends that
// connection's download at once and every one the open starts after it.
#pragma once

#include <memory>
#include <mutex>

namespace quorane::engine {

class Connection;
class Stream;

class PendingOpen {
public:
    // The open waits on `conn` of `stream` now; cancelled at once when the
    // open was.
    void watch(const std::shared_ptr<Stream> &stream, const std::shared_ptr<Connection> &conn);
    void cancel();
    bool cancelled() const;

private:
    mutable std::mutex mutex_; // guards the fields below
    bool cancelled_ = false;
    // The open owns both; they may go any time the open lets go. A
    // connection reports to its stream until it is gone, so it is never
    // held here without its stream.
    std::weak_ptr<Stream> stream_;
    std::weak_ptr<Connection> conn_;
};

} // namespace quorane::engine
