// The stream-title parser on any metadata block: the title it takes out is
// a piece of the block, never more.
#include "playback/StreamTitle.h"

#include <QByteArray>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray block(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray title = RawStreamTitle(block);
    if (title.size() > block.size())
        std::abort();
    return 0;
}
