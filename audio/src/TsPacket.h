// The pieces of MPEG-TS that the engine reads itself in HLS segments: the
// 188-byte packets, their payloads, and the PAT and PMT that say which PID
// carries what. Outside input: every read stays inside the packet.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quorane::engine::ts {

inline constexpr size_t kPacket = 188;
inline constexpr uint8_t kSync = 0x47;

struct Payload {
    bool unitStart = false;
    unsigned pid = 0;
    const uint8_t *data = nullptr;
    size_t size = 0;
};

// The payload of the TS packet at p (kPacket bytes); data is nullptr when it
// carries none.
inline Payload payloadOf(const uint8_t *p) {
    Payload out;
    out.unitStart = (p[1] & 0x40) != 0;
    out.pid = (unsigned(p[1] & 0x1F) << 8) | p[2];
    unsigned control = (p[3] >> 4) & 3;
    size_t start = 4;
    if (control & 2)
        start += 1 + size_t(p[4]);
    if (!(control & 1) || start >= kPacket)
        return out;
    out.data = p + start;
    out.size = kPacket - start;
    return out;
}

// The section a PSI payload starts (after its pointer field): its bytes
// from table_id up to the CRC, or nullptr when it does not fit the packet.
inline const uint8_t *section(const Payload &pl, uint8_t tableId, size_t &length) {
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
inline unsigned pmtPidOf(const Payload &pl) {
    size_t length = 0;
    const uint8_t *s = section(pl, 0x00, length);
    for (size_t i = 8; s && i + 4 <= length; i += 4) {
        unsigned program = (unsigned(s[i]) << 8) | s[i + 1];
        if (program != 0)
            return (unsigned(s[i + 2] & 0x1F) << 8) | s[i + 3];
    }
    return 0;
}

// The first stream a PMT lists whose type `wanted` accepts: its PID (0 when
// there is none) and its type.
template <typename Wanted>
unsigned streamPidOf(const Payload &pl, Wanted wanted, uint8_t *typeOut = nullptr) {
    size_t length = 0;
    const uint8_t *s = section(pl, 0x02, length);
    if (!s || length < 12)
        return 0;
    size_t i = 12 + ((size_t(s[10] & 0x0F) << 8) | s[11]);
    while (i + 5 <= length) {
        uint8_t type = s[i];
        unsigned pid = (unsigned(s[i + 1] & 0x1F) << 8) | s[i + 2];
        size_t infoLength = (size_t(s[i + 3] & 0x0F) << 8) | s[i + 4];
        if (wanted(type)) {
            if (typeOut)
                *typeOut = type;
            return pid;
        }
        i += 5 + infoLength;
    }
    return 0;
}

// Walks the packets of a segment until it ends or loses sync, following its
// PAT to its PMT: onPmt(payload) for each packet of the PMT, then
// onPacket(offset, payload) for every packet, PAT and PMT included (data is
// nullptr for a packet without payload).
template <typename OnPmt, typename OnPacket>
void walk(const uint8_t *data, size_t size, OnPmt onPmt, OnPacket onPacket) {
    unsigned pmtPid = 0;
    for (size_t at = 0; at + kPacket <= size && data[at] == kSync; at += kPacket) {
        Payload pl = payloadOf(data + at);
        if (pl.data && pl.pid == 0) {
            if (unsigned pid = pmtPidOf(pl))
                pmtPid = pid;
        } else if (pl.data && pmtPid && pl.pid == pmtPid) {
            onPmt(pl);
        }
        onPacket(at, pl);
    }
}

// Where the body of the PES packet starting at p (n bytes) begins, after its
// header (start code, stream id, length, two flag bytes, header length), or
// 0 when the header does not fit.
inline size_t pesBodyStart(const uint8_t *p, size_t n) {
    if (n < 9 || p[0] != 0 || p[1] != 0 || p[2] != 1)
        return 0;
    size_t body = 9 + size_t(p[8]);
    return body <= n ? body : 0;
}

} // namespace quorane::engine::ts
