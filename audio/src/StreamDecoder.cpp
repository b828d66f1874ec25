#include "StreamDecoder.h"

#include "EngineLimits.h"
#include "EngineLog.h"
#include "FormatLibrary.h"

#include "bass.h"

#include <algorithm>
#include <cctype>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace quorane::engine {

StreamDecoder::StreamDecoder(ByteRing &in, PcmRing &out, const std::atomic<bool> &playing,
                             int outRate, std::string contentType, std::string firstBytes,
                             CommentCallback onComment, PositionCallback onPosition)
    : in_(in), out_(out), playing_(playing), outRate_(outRate),
      contentType_(std::move(contentType)), firstBytes_(std::move(firstBytes)),
      onComment_(std::move(onComment)), onPosition_(std::move(onPosition)) {}

StreamDecoder::~StreamDecoder() {
    stop();
}

void StreamDecoder::start() {
    thread_ = std::thread(&StreamDecoder::run, this);
}

int StreamDecoder::waitForFirstAudio(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    if (!wake_.wait_until(lock, deadline, [&] { return settled_; }))
        return BASS_ERROR_TIMEOUT;
    return firstError_;
}

bool StreamDecoder::firstAudio(int &error) {
    std::lock_guard lock(mutex_);
    error = firstError_;
    return settled_;
}

void StreamDecoder::stop() {
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void StreamDecoder::settle(int error) {
    std::lock_guard lock(mutex_);
    if (settled_)
        return;
    settled_ = true;
    firstError_ = error;
    wake_.notify_all();
}

std::string StreamDecoder::demuxerFor(const std::string &contentType,
                                      const std::string &firstBytes) {
    // The bytes win over the label: FLAC mounts usually carry Ogg FLAC.
    if (firstBytes.rfind("OggS", 0) == 0)
        return "ogg";
    if (firstBytes.rfind("fLaC", 0) == 0)
        return "flac";
    // AAC in LOAS/LATM, often labelled as plain AAC, and MP4 by its first box.
    if (firstBytes.size() >= 2 && static_cast<uint8_t>(firstBytes[0]) == 0x56 &&
        (static_cast<uint8_t>(firstBytes[1]) & 0xE0) == 0xE0)
        return "loas";
    if (firstBytes.size() >= 8 && firstBytes.compare(4, 4, "ftyp") == 0)
        return "mp4";
    std::string type = contentType.substr(0, contentType.find(';'));
    type.erase(
        std::remove_if(type.begin(), type.end(), [](unsigned char c) { return std::isspace(c); }),
        type.end());
    for (char &c : type)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (type == "audio/mpeg" || type == "audio/mp3" || type == "audio/mpeg3" ||
        type == "audio/x-mpeg")
        return "mp3";
    if (type == "audio/aac" || type == "audio/aacp" || type == "audio/x-aac" ||
        type == "audio/x-aacp")
        return "aac";
    if (type == "application/ogg" || type == "audio/ogg" || type == "audio/x-ogg" ||
        type == "audio/opus" || type == "audio/vorbis")
        return "ogg";
    if (type == "audio/flac" || type == "audio/x-flac")
        return "flac";
    if (type == "video/mp2t" || type == "audio/mp2t")
        return "mpegts";
    if (type == "audio/mp4" || type == "audio/x-m4a" || type == "audio/m4a")
        return "mp4";
    if (type == "audio/aac-latm" || type == "audio/loas" || type == "audio/mp4a-latm")
        return "loas";
    return "";
}

std::string StreamDecoder::blockFromTags(const AVDictionary *tags) {
    const AVDictionaryEntry *title = av_dict_get(tags, "title", nullptr, 0);
    const AVDictionaryEntry *artist = av_dict_get(tags, "artist", nullptr, 0);
    std::string t = title ? title->value : "";
    std::string a = artist ? artist->value : "";
    if (t.empty() && a.empty())
        return "";
    std::string text = a.empty() ? t : t.empty() ? a : a + " - " + t;
    return "StreamTitle='" + text + "';";
}

long StreamDecoder::readInput(uint8_t *buf, size_t size) {
    // Until the stream plays, bytes are taken in small steps: what the
    // decoder has not taken still counts as buffered in the player's wait,
    // so taking a whole chunk for the first frame would delay the start.
    if (!playing_.load(std::memory_order_relaxed))
        size = std::min(size, kPrePlayReadBytes);
    return in_.read(buf, size);
}

int StreamDecoder::readPacket(void *opaque, uint8_t *buf, int size) {
    auto *self = static_cast<StreamDecoder *>(opaque);
    long n = self->readInput(buf, static_cast<size_t>(size));
    if (n < 0)
        return AVERROR_EXIT;
    if (n == 0)
        return AVERROR_EOF;
    return static_cast<int>(n);
}

int StreamDecoder::interrupted(void *opaque) {
    return static_cast<StreamDecoder *>(opaque)->aborted_ ? 1 : 0;
}

bool StreamDecoder::startsWithId3(const std::string &bytes) {
    return bytes.rfind("ID3", 0) == 0;
}

int StreamDecoder::open() {
    std::string name = demuxerFor(contentType_, firstBytes_);
    QLOG_INFO("demuxer %s for type \"%s\"", name.empty() ? "probed" : name.c_str(),
              contentType_.c_str());
    // A bare MP3 or ADTS stream needs no container demuxer: libavcodec's
    // parser finds its frames. An ID3 tag in front (a file rather than a
    // station) is read by libavformat's demuxer, which also takes its title.
    if ((name == "mp3" || name == "aac") && !startsWithId3(firstBytes_))
        return openElementary(name == "mp3" ? AV_CODEC_ID_MP3 : AV_CODEC_ID_AAC);
    return openContainer(name);
}

int StreamDecoder::openElementary(int codecId) {
    const AVCodec *decoder = avcodec_find_decoder(static_cast<AVCodecID>(codecId));
    if (!decoder)
        return BASS_ERROR_FORMAT;
    codec_ = avcodec_alloc_context3(decoder);
    parser_ = av_parser_init(codecId);
    if (!codec_ || !parser_)
        return BASS_ERROR_MEM;
    if (avcodec_open2(codec_, decoder, nullptr) < 0)
        return BASS_ERROR_FORMAT;
    streamIndex_ = 0;
    parseBuffer_.resize(kAvioChunk + AV_INPUT_BUFFER_PADDING_SIZE);
    return BASS_OK;
}

int StreamDecoder::openContainer(const std::string &name) {
    formatLib_ = FormatLibrary::get();
    if (!formatLib_)
        return BASS_ERROR_FORMAT;
    const FormatLibrary &lib = *formatLib_;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kAvioChunk));
    avio_ = lib.ioAllocContext(buffer, kAvioChunk, 0, this, &StreamDecoder::readPacket, nullptr,
                               nullptr);
    format_ = lib.allocContext();
    if (!avio_ || !format_) {
        if (!avio_)
            av_free(buffer);
        return BASS_ERROR_MEM;
    }
    avio_->seekable = 0;
    format_->pb = avio_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->interrupt_callback = {&StreamDecoder::interrupted, this};
    // A small probe: a stream joined in the middle of an MP3 frame otherwise
    // costs seconds of probing before the first sound.
    format_->probesize = kProbeBytes;
    format_->format_probesize = kProbeBytes;
    format_->max_analyze_duration = AV_TIME_BASE / 2;

    const AVInputFormat *forced = name.empty() ? nullptr : lib.findInputFormat(name.c_str());
    if (lib.openInput(&format_, nullptr, forced, nullptr) < 0) {
        format_ = nullptr; // freed by avformat_open_input on failure
        return aborted_ ? BASS_ERROR_UNKNOWN : BASS_ERROR_FORMAT;
    }
    // A demuxer chosen from the Content-Type already knows the codec from its
    // header; the decoder learns the rest from the first frame. Analysing the
    // stream first would only delay the first sound.
    bool known = forced && format_->nb_streams > 0 &&
                 format_->streams[0]->codecpar->codec_id != AV_CODEC_ID_NONE;
    if (!known && lib.findStreamInfo(format_, nullptr) < 0)
        return aborted_ ? BASS_ERROR_UNKNOWN : BASS_ERROR_FORMAT;
    // Not av_find_best_stream: it passes over a stream whose rate is not known
    // yet, which is the case here without the analysis.
    const AVCodec *decoder = nullptr;
    for (unsigned i = 0; i < format_->nb_streams && !decoder; ++i) {
        const AVCodecParameters *par = format_->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO)
            decoder = avcodec_find_decoder(par->codec_id);
        if (decoder)
            streamIndex_ = static_cast<int>(i);
    }
    if (!decoder)
        return BASS_ERROR_FORMAT;
    codec_ = avcodec_alloc_context3(decoder);
    if (!codec_)
        return BASS_ERROR_MEM;
    if (avcodec_parameters_to_context(codec_, format_->streams[streamIndex_]->codecpar) < 0 ||
        avcodec_open2(codec_, decoder, nullptr) < 0)
        return BASS_ERROR_FORMAT;
    return BASS_OK;
}

void StreamDecoder::close() {
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    swr_free(&swr_);
    if (parser_) {
        av_parser_close(parser_);
        parser_ = nullptr;
    }
    if (format_)
        formatLib_->closeInput(&format_);
    if (avio_) {
        av_freep(&avio_->buffer);
        formatLib_->ioContextFree(&avio_);
    }
}

void StreamDecoder::run() {
    int error = open();
    if (error != BASS_OK) {
        QLOG_INFO("decoder could not open the stream (error %d)", error);
        settle(error);
    } else {
        if (onComment_ && format_)
            checkComments(nullptr);
        decodeAll();
        settle(aborted_ ? BASS_ERROR_UNKNOWN : garbage_ ? BASS_ERROR_FORMAT : BASS_ERROR_ENDED);
    }
    close();
    finished_ = true;
}

void StreamDecoder::decodeAll() {
    AVPacket *pkt = av_packet_alloc();
    int badPackets = 0;
    while (pkt && !aborted_) {
        int r = format_ ? formatLib_->readFrame(format_, pkt) : parseFrame(pkt);
        if (r == AVERROR(EAGAIN))
            continue;
        if (r < 0)
            break;
        if (onComment_ && format_)
            checkComments(pkt);
        if (onPosition_ && pkt->stream_index == streamIndex_) {
            // Not every demuxer knows where a packet came from; what the
            // decoder has read so far is then the nearest we know.
            uint64_t end =
                pkt->pos >= 0 ? static_cast<uint64_t>(pkt->pos) + pkt->size : in_.consumed();
            onPosition_(end, out_.framesWritten());
        }
        if (pkt->stream_index == streamIndex_) {
            levelFrames_ = 0;
            levelSum_ = 0;
            bool decoded = decodePacket(pkt);
            if (onLevel_ && levelFrames_ > 0)
                onLevel_(pkt->pos >= 0 ? static_cast<uint64_t>(pkt->pos) : in_.consumed(),
                         static_cast<uint32_t>(levelFrames_),
                         static_cast<float>(levelSum_ / static_cast<double>(levelFrames_ * 2)));
            if (decoded)
                badPackets = 0;
            // Garbage that merely looks like a stream at first: give up
            // instead of spinning through it for minutes.
            else if (++badPackets > 500 && !gotAudio_) {
                garbage_ = true;
                break;
            }
        }
        av_packet_unref(pkt);
    }
    if (!aborted_) {
        // Drain what the decoder still holds: the stream ended.
        avcodec_send_packet(codec_, nullptr);
        decodePacket(nullptr);
    }
    av_packet_free(&pkt);
}

int StreamDecoder::parseFrame(AVPacket *pkt) {
    while (!aborted_) {
        if (parseAt_ == parseHave_) {
            long n = readInput(parseBuffer_.data(), kAvioChunk);
            if (n < 0)
                return AVERROR_EXIT;
            // The parser hands over each frame as soon as the length its
            // header gives has arrived, so what it still holds at the end is
            // a cut-off frame: not worth decoding.
            if (n == 0)
                return AVERROR_EOF;
            parseAt_ = 0;
            parseHave_ = static_cast<size_t>(n);
            // The parser may read a few bytes past the end it is given.
            std::memset(parseBuffer_.data() + parseHave_, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        }
        uint8_t *data = nullptr;
        int size = 0;
        int used = av_parser_parse2(parser_, codec_, &data, &size, parseBuffer_.data() + parseAt_,
                                    static_cast<int>(parseHave_ - parseAt_), AV_NOPTS_VALUE,
                                    AV_NOPTS_VALUE, 0);
        if (used < 0)
            return AVERROR_INVALIDDATA;
        parseAt_ += static_cast<size_t>(used);
        parsed_ += static_cast<uint64_t>(used);
        if (size > 0) {
            if (av_new_packet(pkt, size) < 0)
                return AVERROR(ENOMEM);
            std::memcpy(pkt->data, data, static_cast<size_t>(size));
            pkt->stream_index = 0;
            // The frame ends where the parser has read to.
            pkt->pos = static_cast<int64_t>(parsed_ - std::min<uint64_t>(parsed_, size));
            sinceFrame_ = 0;
            return 0;
        }
        // Bytes that hold no frame at all (a page of HTML sent as audio):
        // not this codec.
        sinceFrame_ += static_cast<size_t>(used);
        if (!gotAudio_ && sinceFrame_ > static_cast<size_t>(kProbeBytes)) {
            garbage_ = true;
            return AVERROR_INVALIDDATA;
        }
    }
    return AVERROR_EXIT;
}

bool StreamDecoder::decodePacket(AVPacket *pkt) {
    if (pkt) {
        int r = avcodec_send_packet(codec_, pkt);
        if (r < 0 && r != AVERROR(EAGAIN))
            return false;
    }
    if (!frame_)
        frame_ = av_frame_alloc();
    bool ok = frame_ != nullptr;
    while (frame_ && !aborted_ && avcodec_receive_frame(codec_, frame_) >= 0) {
        ok = pushFrame(frame_) && ok;
        av_frame_unref(frame_);
    }
    return ok;
}

bool StreamDecoder::pushFrame(AVFrame *frame) {
    int channels = frame->ch_layout.nb_channels;
    if (channels <= 0 || frame->sample_rate <= 0 || frame->nb_samples <= 0)
        return false;
    if (!swr_ || frame->sample_rate != swrInRate_ || frame->format != swrInFormat_ ||
        channels != swrInChannels_) {
        swr_free(&swr_);
        AVChannelLayout inLayout;
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, channels);
        else
            av_channel_layout_copy(&inLayout, &frame->ch_layout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        int r = swr_alloc_set_opts2(&swr_, &stereo, AV_SAMPLE_FMT_FLT, outRate_, &inLayout,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                    0, nullptr);
        av_channel_layout_uninit(&inLayout);
        if (r < 0 || swr_init(swr_) < 0) {
            swr_free(&swr_);
            return false;
        }
        swrInRate_ = frame->sample_rate;
        swrInFormat_ = frame->format;
        swrInChannels_ = channels;
    }
    int room = swr_get_out_samples(swr_, frame->nb_samples);
    if (room <= 0)
        return true;
    converted_.resize(static_cast<size_t>(room) * 2);
    auto *outPtr = reinterpret_cast<uint8_t *>(converted_.data());
    int got = swr_convert(swr_, &outPtr, room, const_cast<const uint8_t **>(frame->extended_data),
                          frame->nb_samples);
    if (got < 0)
        return false;
    if (onLevel_) {
        const float *x = converted_.data();
        double sum = 0;
        for (size_t i = 0, n = static_cast<size_t>(got) * 2; i < n; ++i)
            sum += static_cast<double>(x[i]) * x[i];
        levelSum_ += sum;
        levelFrames_ += static_cast<uint64_t>(got);
    }
    return writePcm(converted_.data(), static_cast<size_t>(got));
}

bool StreamDecoder::writePcm(const float *frames, size_t count) {
    if (!gotAudio_) {
        // A stream joined in the middle decodes to silence first: its first
        // MP3 frame's bit reservoir lies before the join, and the synthesis
        // filter starts empty. Those exact zeros would only delay the sound.
        const size_t most = static_cast<size_t>(outRate_) * kMaxLeadingSilenceMs / 1000;
        while (count > 0 && leadingSilence_ < most && frames[0] == 0.0f && frames[1] == 0.0f) {
            frames += 2;
            --count;
            ++leadingSilence_;
        }
    }
    while (count > 0 && !aborted_) {
        // Until playback starts only the output's first callback is decoded
        // ahead: what stays undecoded counts as buffered for the player's
        // buffer wait, and one callback's worth starts the sound without a gap.
        bool playing = playing_.load();
        size_t limit = playing ? out_.capacityFrames() : kOutputFrames;
        size_t buffered = out_.availableFrames();
        size_t n = buffered < limit ? out_.write(frames, std::min(count, limit - buffered)) : 0;
        frames += n * 2;
        count -= n;
        if (n > 0 && !gotAudio_) {
            gotAudio_ = true;
            QLOG_INFO("first audio decoded after %llu bytes of the stream",
                      static_cast<unsigned long long>(in_.consumed()));
            settle(BASS_OK);
        }
        if (count == 0)
            break;
        // Full: sleep until half the buffer has played (the output callback
        // takes no lock, so it cannot wake this thread), so that a playing
        // stream wakes this thread a few times a second only (more often when
        // a silent output runs faster than real time); before playback,
        // until wake() says it started. stop() wakes it at once.
        std::unique_lock lock(mutex_);
        auto woken = [&] { return aborted_.load() || playing_.load() != playing; };
        if (playing) {
            size_t want = std::max(out_.capacityFrames() / 2, count);
            size_t missing = want > out_.freeFrames() ? want - out_.freeFrames() : 0;
            long ms = std::max<long>(static_cast<long>(missing * 1000 / outRate_ / outputSpeed_),
                                     outputSpeed_ > 1 ? 1 : 5);
            wake_.wait_for(lock, std::chrono::milliseconds(ms), woken);
        } else {
            wake_.wait(lock, woken);
        }
    }
    return true;
}

void StreamDecoder::wake() {
    std::lock_guard lock(mutex_);
    wake_.notify_all();
}

void StreamDecoder::checkComments(AVPacket *pkt) {
    std::string block;
    AVStream *st = format_->streams[streamIndex_];
    bool changed = !pkt; // the first look after opening
    if (st->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) {
        st->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
        changed = true;
    }
    if (format_->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) {
        format_->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
        changed = true;
    }
    if (pkt) {
        size_t size = 0;
        const uint8_t *data = av_packet_get_side_data(pkt, AV_PKT_DATA_METADATA_UPDATE, &size);
        if (data) {
            AVDictionary *dict = nullptr;
            if (av_packet_unpack_dictionary(data, size, &dict) >= 0)
                block = blockFromTags(dict);
            av_dict_free(&dict);
        }
    }
    if (block.empty() && changed) {
        block = blockFromTags(st->metadata);
        if (block.empty())
            block = blockFromTags(format_->metadata);
        // Some demuxers (Opus) append the next section's comments to the
        // old ones; starting empty keeps each song's title its own.
        av_dict_free(&st->metadata);
    }
    if (block.empty() || block == lastComment_)
        return;
    lastComment_ = block;
    onComment_(block, out_.framesWritten());
}

} // namespace quorane::engine
