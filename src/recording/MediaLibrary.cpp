#include "recording/MediaLibrary.h"

#include "platform/LibraryNames.h"

#include <dlfcn.h>
#include <mutex>

namespace {

template <typename F> bool Resolve(void *handle, const char *name, F &out) {
    out = reinterpret_cast<F>(dlsym(handle, name));
    return out != nullptr;
}

struct Loaded {
    MediaLibrary library;
    bool ok = false;
    QString reason;
};

Loaded Load() {
    Loaded l;
    // The soname of the libavformat the recorder was built against: its ABI
    // is the one the headers describe.
    const QByteArray name = QByteArray(LibraryNames::ContainerLibraryPrefix) +
                            QByteArray::number(LIBAVFORMAT_VERSION_MAJOR);
    void *handle = dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        l.reason = QString::fromLocal8Bit(dlerror());
        return l;
    }
    MediaLibrary &m = l.library;
    // Symbols of libavcodec and libavutil are found through libavformat,
    // which depends on them.
    const bool ok =
        Resolve(handle, "avformat_alloc_context", m.allocContext) &
        Resolve(handle, "avformat_open_input", m.openInput) &
        Resolve(handle, "avformat_find_stream_info", m.findStreamInfo) &
        Resolve(handle, "avformat_close_input", m.closeInput) &
        Resolve(handle, "av_find_input_format", m.findInputFormat) &
        Resolve(handle, "av_read_frame", m.readFrame) &
        Resolve(handle, "avio_alloc_context", m.ioAllocContext) &
        Resolve(handle, "avio_context_free", m.ioContextFree) &
        Resolve(handle, "avformat_alloc_output_context2", m.allocOutput) &
        Resolve(handle, "avformat_new_stream", m.newStream) &
        Resolve(handle, "avformat_write_header", m.writeHeader) &
        Resolve(handle, "av_write_frame", m.writeFrame) &
        Resolve(handle, "av_write_trailer", m.writeTrailer) &
        Resolve(handle, "avformat_free_context", m.freeContext) &
        Resolve(handle, "avio_open", m.ioOpen) & Resolve(handle, "avio_closep", m.ioClose) &
        Resolve(handle, "av_packet_alloc", m.packetAlloc) &
        Resolve(handle, "av_packet_free", m.packetFree) &
        Resolve(handle, "av_packet_unref", m.packetUnref) & Resolve(handle, "av_malloc", m.malloc) &
        Resolve(handle, "av_freep", m.freep) & Resolve(handle, "av_dict_set", m.dictSet) &
        Resolve(handle, "av_strerror", m.strerror) &
        Resolve(handle, "av_channel_layout_default", m.defaultLayout) &
        Resolve(handle, "av_rescale_q", m.rescale);
    if (!ok) {
        l.reason =
            QStringLiteral("%1 lacks a function the recorder needs").arg(QString::fromLatin1(name));
        return l; // the handle stays: FFmpeg's libraries are not made to unload
    }
    l.ok = true;
    return l;
}

} // namespace

const MediaLibrary *MediaLibrary::Get(QString *reason) {
    static const Loaded loaded = Load();
    if (!loaded.ok && reason)
        *reason = loaded.reason;
    return loaded.ok ? &loaded.library : nullptr;
}

QString MediaLibrary::ErrorText(int error) const {
    char text[256] = {0};
    strerror(error, text, sizeof text);
    return QString::fromLocal8Bit(text);
}
