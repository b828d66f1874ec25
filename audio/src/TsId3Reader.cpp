#include "TsId3Reader.h"

#include "Id3Tag.h"
#include "TsPacket.h"

namespace quorane::engine {

namespace {

constexpr uint8_t kMetadataStreamType = 0x15;
// A timed ID3 tag is a few hundred bytes; one this large is not a title.
constexpr size_t kMaxTagBytes = 64 * 1024;

// A PES packet of the metadata stream being gathered.
struct Pes {
    bool open = false;
    size_t offset = 0;
    std::string bytes;
};

void finish(Pes &pes, std::vector<TsId3Reader::Title> &out) {
    if (!pes.open)
        return;
    pes.open = false;
    const auto *p = reinterpret_cast<const uint8_t *>(pes.bytes.data());
    size_t n = pes.bytes.size();
    size_t body = ts::pesBodyStart(p, n);
    if (body == 0 || body >= n)
        return;
    std::string block = Id3Tag::titleBlock(p + body, n - body);
    if (!block.empty())
        out.push_back({pes.offset, std::move(block)});
}

} // namespace

std::vector<TsId3Reader::Title> TsId3Reader::titles(const uint8_t *data, size_t size) {
    std::vector<Title> out;
    unsigned metaPid = 0;
    Pes pes;
    ts::walk(
        data, size,
        [&](const ts::Payload &pmt) {
            if (unsigned pid =
                    ts::streamPidOf(pmt, [](uint8_t type) { return type == kMetadataStreamType; }))
                metaPid = pid;
        },
        [&](size_t at, const ts::Payload &pl) {
            if (!metaPid || !pl.data || pl.pid != metaPid)
                return;
            if (pl.unitStart) {
                finish(pes, out);
                pes.open = true;
                pes.offset = at;
                pes.bytes.clear();
            }
            if (pes.open && pes.bytes.size() + pl.size <= kMaxTagBytes)
                pes.bytes.append(reinterpret_cast<const char *>(pl.data), pl.size);
        });
    finish(pes, out);
    return out;
}

} // namespace quorane::engine
