// The readers of HLS MPEG-TS segments on any bytes: the timed titles lie on
// packet boundaries inside the segment, and the bare audio is never longer
// than the segment, its packet map only grows, and a segment cut short gives
// a beginning of the same audio.
#include "TsAudioReader.h"
#include "TsId3Reader.h"

#include <cstdint>
#include <cstdlib>

using quorane::engine::TsAudioReader;
using quorane::engine::TsId3Reader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (const TsId3Reader::Title &t : TsId3Reader::titles(data, size))
        if (t.offset % 188 != 0 || t.offset + 188 > size || t.block.empty())
            std::abort();

    TsAudioReader::Audio whole = TsAudioReader::extract(data, size);
    if (whole.bytes.size() > size || whole.before.empty() || whole.before.size() > size / 188 + 1)
        std::abort();
    for (size_t i = 1; i < whole.before.size(); ++i)
        if (whole.before[i] < whole.before[i - 1])
            std::abort();
    if (whole.before.back() != whole.bytes.size() || whole.at(size) != whole.bytes.size())
        std::abort();
    size_t cut = size >= 188 ? size - 188 : 0;
    TsAudioReader::Audio part = TsAudioReader::extract(data, cut);
    if (!whole.bytes.empty() && whole.bytes.compare(0, part.bytes.size(), part.bytes) != 0)
        std::abort();
    return 0;
}
