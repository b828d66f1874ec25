#include "recording/SyncFramer.h"

void SyncFramer::Feed(quint64 pos, QByteArrayView bytes) {
    if (!started_ || pos != bufferPos_ + quint64(buffer_.size())) {
        // The first bytes, or bytes that never came in between: find the
        // frames again from here.
        buffer_.clear();
        bufferPos_ = pos;
        inStep_ = false;
        started_ = true;
    }
    buffer_.append(bytes.data(), bytes.size());
    Scan(false);
}

void SyncFramer::Finish() {
    Scan(true);
    buffer_.clear();
}

void SyncFramer::Scan(bool atEnd) {
    qsizetype at = 0;
    const qsizetype size = buffer_.size();
    const auto view = [&](qsizetype from) {
        return QByteArrayView(buffer_.constData() + from, size - from);
    };
    while (size - at >= headerBytes_ || (atEnd && size - at > 0)) {
        const qsizetype length = FrameAt(view(at));
        if (length <= 0) {
            inStep_ = false;
            ++at;
            continue;
        }
        if (!inStep_) {
            if (size - at < length + headerBytes_) {
                if (!atEnd)
                    break;
                ++at;
                continue;
            }
            if (FrameAt(view(at + length)) <= 0 || !Alike(view(at), view(at + length))) {
                ++at;
                continue;
            }
            inStep_ = true;
        }
        if (size - at < length)
            break;
        TakeFrame(view(at).first(length), bufferPos_ + quint64(at));
        at += length;
    }
    buffer_.remove(0, at);
    bufferPos_ += quint64(at);
}
