#include "IcyDemuxer.h"

#include <algorithm>

namespace quorane::engine {

IcyDemuxer::IcyDemuxer(long metaint, AudioSink audio, MetaSink meta)
    : metaint_(metaint), audio_(std::move(audio)), meta_(std::move(meta)), audioLeft_(metaint) {}

bool IcyDemuxer::feed(const uint8_t *data, size_t len) {
    if (metaint_ <= 0) {
        audioBytes_ += len;
        return len == 0 || audio_(data, len);
    }
    const uint8_t *end = data + len;
    while (data < end) {
        size_t avail = static_cast<size_t>(end - data);
        switch (state_) {
        case State::Audio: {
            size_t n = std::min(avail, static_cast<size_t>(audioLeft_));
            audioBytes_ += n;
            if (!audio_(data, n))
                return false;
            data += n;
            audioLeft_ -= static_cast<long>(n);
            if (audioLeft_ == 0)
                state_ = State::Length;
            break;
        }
        case State::Length:
            metaLeft_ = static_cast<size_t>(*data++) * 16;
            block_.clear();
            if (metaLeft_ == 0) {
                state_ = State::Audio;
                audioLeft_ = metaint_;
            } else {
                state_ = State::Meta;
            }
            break;
        case State::Meta: {
            size_t n = std::min(avail, metaLeft_);
            block_.append(reinterpret_cast<const char *>(data), n);
            data += n;
            metaLeft_ -= n;
            if (metaLeft_ == 0) {
                finishBlock();
                state_ = State::Audio;
                audioLeft_ = metaint_;
            }
            break;
        }
        }
    }
    return true;
}

void IcyDemuxer::finishBlock() {
    // The padding is not part of the text.
    size_t nul = block_.find('\0');
    if (nul != std::string::npos)
        block_.resize(nul);
    if (block_.empty() || block_ == lastBlock_)
        return;
    lastBlock_ = block_;
    meta_(lastBlock_);
}

} // namespace quorane::engine
