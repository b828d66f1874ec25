// The stream-title parser on any metadata block: the title it takes out is
// a piece of the block, never more, and a block with one plain quoted entry
// gives exactly its text.
#include "playback/StreamTitle.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray block(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray title = RawStreamTitle(block);
    if (title.size() > block.size() || !block.contains(title))
        std::abort();
    // The same bytes as the title of a well-formed block: the parser must
    // take out exactly what was put in (a quote inside stays).
    const QByteArray text = block.left(64).replace(';', ':').replace('\0', ' ');
    const QByteArray built = "StreamTitle='" + text + "';StreamUrl='';";
    if (RawStreamTitle(built) != text)
        std::abort();
    return 0;
}
