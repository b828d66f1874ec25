#include "FormatLibrary.h"

#include "EngineLog.h"

#include <dlfcn.h>

namespace quorane::engine {

namespace {

template <typename F> bool resolve(void *handle, const char *name, F &out) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    if (!out)
        QLOG_INFO("libavformat has no %s", name);
    return out != nullptr;
}

const FormatLibrary *load() {
    static FormatLibrary lib;
    // The soname of the libavformat the engine was built against: its ABI
    // is the one the headers describe.
    const char *name = FormatLibrarySoname;
    void *handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        QLOG_INFO("cannot load %s: %s", name, dlerror());
        return nullptr;
    }
    bool ok = resolve(handle, "avformat_alloc_context", lib.allocContext) &
              resolve(handle, "avformat_open_input", lib.openInput) &
              resolve(handle, "avformat_find_stream_info", lib.findStreamInfo) &
              resolve(handle, "avformat_close_input", lib.closeInput) &
              resolve(handle, "av_find_input_format", lib.findInputFormat) &
              resolve(handle, "av_read_frame", lib.readFrame) &
              resolve(handle, "avio_alloc_context", lib.ioAllocContext) &
              resolve(handle, "avio_context_free", lib.ioContextFree);
    if (!ok)
        return nullptr; // the handle stays: FFmpeg's libraries are not made to unload
    QLOG_INFO("loaded %s for a container stream", name);
    return &lib;
}

} // namespace

const FormatLibrary *FormatLibrary::get() {
    static const FormatLibrary *lib = load();
    return lib;
}

} // namespace quorane::engine
