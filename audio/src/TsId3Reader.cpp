#include "TsId3Reader.h"

#include "Id3Tag.h"

namespace quorane::engine {

namespace {

constexpr size_t kTsPacket = 188;
constexpr uint8_t kMetadataStreamType = 0x15;
// A timed ID3 tag is a few hundred bytes; one this large is not a title.
constexpr size_t kMaxTagBytes = 64 * 1024;

struct Payload {
    bool unitStart = false;
    unsigned pid = 0;
    const uint8_t *data = nullptr;
    size_t size = 0;
};

// The payload of the TS packet at p (kTsPacket bytes), or size 0.
Payload payloadOf(const uint8_t *p) {
    Payload out;
    out.unitStart = (p[1] & 0x40) != 0;
    out.pid = (unsigned(p[1] & 0x1F) << 8) | p[2];
    unsigned control = (p[3] >> 4) & 3;
    size_t start = 4;
    if (control & 2)
        start += 1 + size_t(p[4]);
    if (!(control & 1) || start >= kTsPacket)
        return out;
    out.data = p + start;
    out.size = kTsPacket - start;
    return out;
}

// The section a PSI payload starts (after its pointer field): its bytes
// from table_id up to the CRC, or nullptr when it does not fit the packet.
const uint8_t *section(const Payload &pl, uint8_t tableId, size_t &length) {
    if (!pl.unitStart || pl.size < 1)
        return nullptr;
    size_t at = 1 + size_t(pl.data[0]);
    if (at + 3 > pl.size || pl.data[at] != tableId)
        return nullptr;
    const uint8_t *s = pl.data + at;
    size_t sectionLength = (size_t(s[1] & 0x0F) << 8) | s[2];
    if (sectionLength < 9 || at + 3 + sectionLength > pl.size)
        return nullptr;
    length = 3 + sectionLength - 4; // without the CRC
    return s;
}

// The PMT PID of the first program in a PAT, or 0.
unsigned pmtPidOf(const Payload &pl) {
    size_t length = 0;
    const uint8_t *s = section(pl, 0x00, length);
    for (size_t i = 8; s && i + 4 <= length; i += 4) {
        unsigned program = (unsigned(s[i]) << 8) | s[i + 1];
        if (program != 0)
            return (unsigned(s[i + 2] & 0x1F) << 8) | s[i + 3];
    }
    return 0;
}

// The PID of the metadata stream a PMT lists, or 0.
unsigned metadataPidOf(const Payload &pl) {
    size_t length = 0;
    const uint8_t *s = section(pl, 0x02, length);
    if (!s || length < 12)
        return 0;
    size_t i = 12 + ((size_t(s[10] & 0x0F) << 8) | s[11]);
    while (i + 5 <= length) {
        uint8_t type = s[i];
        unsigned pid = (unsigned(s[i + 1] & 0x1F) << 8) | s[i + 2];
        size_t infoLength = (size_t(s[i + 3] & 0x0F) << 8) | s[i + 4];
        if (type == kMetadataStreamType)
            return pid;
        i += 5 + infoLength;
    }
    return 0;
}

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
    // PES header: start code, stream id, length, two flag bytes, header length.
    if (n < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1)
        return;
    size_t body = 9 + size_t(p[8]);
    if (body >= n)
        return;
    std::string block = Id3Tag::titleBlock(p + body, n - body);
    if (!block.empty())
        out.push_back({pes.offset, std::move(block)});
}

} // namespace

std::vector<TsId3Reader::Title> TsId3Reader::titles(const uint8_t *data, size_t size) {
    std::vector<Title> out;
    unsigned pmtPid = 0, metaPid = 0;
    Pes pes;
    for (size_t at = 0; at + kTsPacket <= size; at += kTsPacket) {
        const uint8_t *p = data + at;
        if (p[0] != 0x47)
            break; // lost sync: not a segment we read further
        Payload pl = payloadOf(p);
        if (!pl.data)
            continue;
        if (pl.pid == 0) {
            if (unsigned pid = pmtPidOf(pl))
                pmtPid = pid;
        } else if (pmtPid && pl.pid == pmtPid) {
            if (unsigned pid = metadataPidOf(pl))
                metaPid = pid;
        } else if (metaPid && pl.pid == metaPid) {
            if (pl.unitStart) {
                finish(pes, out);
                pes.open = true;
                pes.offset = at;
                pes.bytes.clear();
            }
            if (pes.open && pes.bytes.size() + pl.size <= kMaxTagBytes)
                pes.bytes.append(reinterpret_cast<const char *>(pl.data), pl.size);
        }
    }
    finish(pes, out);
    return out;
}

} // namespace quorane::engine
