#include "Connection.h"

namespace quorane::engine {

Connection::Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline)
    : serial_(serial), url_(options.url), timeline_(timeline) {
    source_ = std::make_unique<HttpSource>(std::move(options), ring_,
                                           [this](const std::string &block, uint64_t byte) {
                                               timeline_.addAtByte(serial_, byte, block);
                                           });
}

Connection::Connection(uint32_t serial, HttpSource::Options options, PlaybackTimeline &timeline,
                       Hls hls)
    : serial_(serial), url_(options.url), timeline_(timeline), hls_(true) {
    HlsSource::Options o{options.url, std::move(hls.playlist), std::move(hls.answer), hls.resumeAt,
                         options.net, options.bufferMs,        options.proc,          options.user};
    source_ = std::make_unique<HlsSource>(std::move(o), ring_,
                                          [this](const std::string &block, uint64_t byte) {
                                              timeline_.addAtByte(serial_, byte, block);
                                          });
}

Connection::~Connection() {
    stop();
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
}

} // namespace quorane::engine
