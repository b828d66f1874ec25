#include "Id3Tag.h"

#include <cstring>

namespace quorane::engine {

namespace {

uint32_t synchsafe(const uint8_t *p) {
    return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) |
           (uint32_t(p[2] & 0x7F) << 7) | uint32_t(p[3] & 0x7F);
}

uint32_t bigEndian(const uint8_t *p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

void appendUtf8(std::string &out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A text frame's body (encoding byte, then the text) as UTF-8, up to the
// first terminator: a frame may list several values, the first one counts.
std::string frameText(const uint8_t *p, size_t n) {
    std::string out;
    if (n < 1)
        return out;
    uint8_t encoding = p[0];
    ++p;
    --n;
    if (encoding == 0 || encoding == 3) { // Latin-1, UTF-8
        for (size_t i = 0; i < n && p[i]; ++i) {
            if (encoding == 3 || p[i] < 0x80)
                out += static_cast<char>(p[i]);
            else
                appendUtf8(out, p[i]);
        }
        return out;
    }
    if (encoding != 1 && encoding != 2)
        return out;
    bool little = false; // UTF-16 without a byte order mark is big-endian
    size_t i = 0;
    if (encoding == 1 && n >= 2 &&
        ((p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF))) {
        little = p[0] == 0xFF;
        i = 2;
    }
    for (; i + 1 < n; i += 2) {
        uint32_t u = little ? (p[i] | (p[i + 1] << 8)) : ((p[i] << 8) | p[i + 1]);
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < n) {
            uint32_t lo = little ? (p[i + 2] | (p[i + 3] << 8)) : ((p[i + 2] << 8) | p[i + 3]);
            if (lo >= 0xDC00 && lo < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        appendUtf8(out, u);
    }
    return out;
}

} // namespace

size_t Id3Tag::length(const uint8_t *data, size_t size) {
    if (size < 10 || std::memcmp(data, "ID3", 3) != 0 || data[3] == 0xFF || data[4] == 0xFF ||
        (data[6] | data[7] | data[8] | data[9]) & 0x80)
        return 0;
    size_t total = 10 + synchsafe(data + 6) + ((data[5] & 0x10) ? 10 : 0);
    return total <= size ? total : 0;
}

std::string Id3Tag::titleBlock(const uint8_t *data, size_t size) {
    size_t total = length(data, size);
    if (total == 0)
        return {};
    const int version = data[3];
    const bool v22 = version == 2;
    const size_t headerSize = v22 ? 6 : 10;
    size_t pos = 10;
    size_t end = 10 + synchsafe(data + 6);
    if ((data[5] & 0x40) && !v22 && pos + 4 <= end) { // extended header
        uint32_t ext = version >= 4 ? synchsafe(data + pos) : bigEndian(data + pos, 4) + 4;
        pos += ext;
    }
    std::string title, artist;
    while (pos + headerSize <= end) {
        const uint8_t *h = data + pos;
        if (h[0] == 0)
            break; // padding
        size_t frameSize =
            v22 ? bigEndian(h + 3, 3) : (version >= 4 ? synchsafe(h + 4) : bigEndian(h + 4, 4));
        pos += headerSize;
        if (frameSize > end - pos)
            break;
        std::string id(reinterpret_cast<const char *>(h), v22 ? 3 : 4);
        if (id == "TIT2" || id == "TT2")
            title = frameText(data + pos, frameSize);
        else if (id == "TPE1" || id == "TP1")
            artist = frameText(data + pos, frameSize);
        pos += frameSize;
    }
    if (title.empty() && artist.empty())
        return {};
    std::string text = artist.empty() ? title : title.empty() ? artist : artist + " - " + title;
    return "StreamTitle='" + text + "';";
}

} // namespace quorane::engine
