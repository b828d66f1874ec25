// libavformat, loaded the first time a stream needs one of its container
// demuxers (Ogg, MP4, MPEG-TS, LOAS, FLAC, an MP3 that starts with an ID3
// tag, or a stream whose type is unknown). MP3 and ADTS AAC, which most
// stations send, are framed by libavcodec's own parsers, so an engine that
// only plays those never maps libavformat and the libraries it pulls in
// (network protocols, subtitles, Blu-ray, ...): on Debian 12 about 4 MB of
// resident pages, a tenth of the engine's whole footprint while it plays.
//
// The library is loaded once for the life of the process and never unloaded;
// `get` is safe to call from any thread.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/macros.h>
}

namespace quorane::engine {

// The one list of the libraries the engine opens by name at run time, each
// as it is handed to dlopen. A package must depend on what ships each of
// them itself: dpkg-shlibdeps sees only what is linked (tests/package checks
// the package's Depends against this list).
inline constexpr char FormatLibrarySoname[] =
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR);
inline constexpr const char *LoadedByName[] = {FormatLibrarySoname};

struct FormatLibrary {
    decltype(&avformat_alloc_context) allocContext;
    decltype(&avformat_open_input) openInput;
    decltype(&avformat_find_stream_info) findStreamInfo;
    decltype(&avformat_close_input) closeInput;
    decltype(&av_find_input_format) findInputFormat;
    decltype(&av_read_frame) readFrame;
    decltype(&avio_alloc_context) ioAllocContext;
    decltype(&avio_context_free) ioContextFree;

    // The loaded library, or nullptr when it cannot be loaded (logged once).
    static const FormatLibrary *get();
};

} // namespace quorane::engine
