#include "Connection.h"

namespace quorane::engine {

Connection::Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline)
    : serial_(serial), url_(options.url), timeline_(timeline) {
    source_ = std::make_unique<HttpSource>(
        std::move(options), ring_,
        [this](const std::string &block, uint64_t byte) { blockArrived(block, byte); });
}

Connection::Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline,
                       Hls hls)
    : serial_(serial), url_(options.url), timeline_(timeline), hls_(true) {
    HlsSource::Options o{options.url, std::move(hls.playlist), std::move(hls.answer), hls.resumeAt,
                         options.net, options.bufferMs,        options.proc,          options.user};
    source_ = std::make_unique<HlsSource>(
        std::move(o), ring_,
        [this](const std::string &block, uint64_t byte) { blockArrived(block, byte); });
}

Connection::~Connection() {
    stop();
}

void Connection::setTap(StreamTap &tap) {
    tap_ = &tap;
    ring_.setObserver([this](uint64_t pos, const uint8_t *data, size_t len) {
        startTap();
        tap_->bytes(serial_, pos, data, len);
    });
}

void Connection::blockArrived(const std::string &block, uint64_t byte) {
    timeline_.addAtByte(serial_, byte, block);
    if (tap_) {
        startTap();
        tap_->meta(serial_, byte, block);
    }
}

// The answer is complete by the first audio byte or block (download thread).
void Connection::startTap() {
    if (tapStarted_)
        return;
    tapStarted_ = true;
    tap_->connectionStarted(serial_, source_->answer().contentType, ring_);
}

void Connection::startDownload() {
    source_->start();
}

void Connection::startDecoder(PcmRing &out, const std::atomic<bool> &playing, int outRate,
                              const std::string &firstBytes, bool titlesFromComments) {
    StreamDecoder::CommentCallback onComment;
    if (titlesFromComments)
        onComment = [this](const std::string &block, uint64_t frame) {
            timeline_.addAtFrame(PlaybackTimeline::Kind::Meta, frame, block);
        };
    StreamDecoder::PositionCallback onPosition;
    if (!titlesFromComments)
        onPosition = [this](uint64_t end, uint64_t frame) {
            timeline_.reachedByte(serial_, end, frame);
        };
    decoder_ =
        std::make_unique<StreamDecoder>(ring_, out, playing, outRate, source_->answer().contentType,
                                        firstBytes, std::move(onComment), std::move(onPosition));
    decoder_->setOutputSpeed(outputSpeed_);
    if (tap_)
        decoder_->setLevelCallback(
            [this, outRate](uint64_t pos, uint32_t frames, float meanSquare) {
                tap_->level(serial_, pos, frames, static_cast<uint32_t>(outRate), meanSquare);
            });
    decoder_->start();
}

void Connection::cancel() {
    // The decoder, if the open started it, reads the ring: its abort ends
    // the decoder's wait too.
    ring_.abort();
    source_->cancel();
}

void Connection::stop() {
    ring_.abort();
    source_->stop();
    if (decoder_)
        decoder_->stop();
    timeline_.dropConnection(serial_);
    if (tap_)
        tap_->connectionGone(serial_);
}

} // namespace quorane::engine
