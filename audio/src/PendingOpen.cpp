#include "PendingOpen.h"

#include "Connection.h"
#include "Stream.h"

namespace quorane::engine {

void PendingOpen::watch(const std::shared_ptr<Stream> &stream,
                        const std::shared_ptr<Connection> &conn) {
    std::lock_guard lock(mutex_);
    stream_ = stream;
    conn_ = conn;
    if (cancelled_)
        conn->cancel();
}

void PendingOpen::cancel() {
    // Declared in this order, so that should the open have let go of them
    // meanwhile, the connection goes before its stream (and both only join
    // threads already told to end).
    std::shared_ptr<Stream> stream;
    std::shared_ptr<Connection> conn;
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    stream = stream_.lock();
    if (stream)
        conn = conn_.lock();
    if (conn)
        conn->cancel();
}

bool PendingOpen::cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

} // namespace quorane::engine
