#pragma once
// FFmpeg's container library (libavformat, with the libavcodec and libavutil
// it brings), loaded by the recorder the first time it writes an .m4a file
// or reads an MP4 stream, never before: the player starts and plays without
// mapping it. Its name is LibraryNames::ContainerLibraryPrefix and the
// major version built against (the library the engine
// loads for its container demuxers too). Loaded once for the life of the
// process and never unloaded; Get is safe on any thread.
#include <QString>

extern "C" {
#include <libavformat/avformat.h>
}

struct MediaLibrary {
    // libavformat
    decltype(&avformat_alloc_context) allocContext;
    decltype(&avformat_open_input) openInput;
    decltype(&avformat_find_stream_info) findStreamInfo;
    decltype(&avformat_close_input) closeInput;
    decltype(&av_find_input_format) findInputFormat;
    decltype(&av_read_frame) readFrame;
    decltype(&avio_alloc_context) ioAllocContext;
    decltype(&avio_context_free) ioContextFree;
    decltype(&avformat_alloc_output_context2) allocOutput;
    decltype(&avformat_new_stream) newStream;
    decltype(&avformat_write_header) writeHeader;
    decltype(&av_write_frame) writeFrame;
    decltype(&av_write_trailer) writeTrailer;
    decltype(&avformat_free_context) freeContext;
    decltype(&avio_open) ioOpen;
    decltype(&avio_closep) ioClose;
    // libavcodec
    decltype(&av_packet_alloc) packetAlloc;
    decltype(&av_packet_free) packetFree;
    decltype(&av_packet_unref) packetUnref;
    // libavutil
    decltype(&av_malloc) malloc;
    decltype(&av_freep) freep;
    decltype(&av_dict_set) dictSet;
    decltype(&av_strerror) strerror;
    decltype(&av_channel_layout_default) defaultLayout;
    decltype(&av_rescale_q) rescale;

    // The loaded library, or null (with the reason) when it cannot be loaded.
    static const MediaLibrary *Get(QString *reason = nullptr);
    // An FFmpeg error code as text.
    QString ErrorText(int error) const;
};
