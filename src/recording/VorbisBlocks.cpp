#include "recording/VorbisBlocks.h"

namespace {

// Reads a byte string from its last bit to its first: Vorbis packs fields
// from the low bit up, so read this way each field comes out whole, its
// highest bit first.
class BackwardBits {
public:
    explicit BackwardBits(const QByteArray &bytes)
        : bytes_(bytes), left_(qint64(bytes.size()) * 8) {}
    qint64 Left() const { return left_; }
    qint64 Read(int count) {
        qint64 value = 0;
        for (int i = 0; i < count && left_ > 0; ++i) {
            --left_;
            value = value << 1 | ((uint8_t(bytes_[qsizetype(left_ / 8)]) >> (left_ % 8)) & 1);
        }
        return value;
    }

private:
    const QByteArray &bytes_;
    qint64 left_; // bits not read yet; the next one read is bit left_ - 1
};

constexpr int ModeBits = 41; // block flag 1, window type 16, transform type 16, mapping 8

} // namespace

VorbisBlocks::VorbisBlocks(const QByteArray &identification, const QByteArray &setup) {
    if (identification.size() < 30 || !identification.startsWith("\x01vorbis") ||
        setup.size() < 8 || !setup.startsWith("\x05vorbis"))
        return;
    shortBlock_ = 1 << (uint8_t(identification[28]) & 0x0F);
    longBlock_ = 1 << (uint8_t(identification[28]) >> 4);
    BackwardBits bits(setup);
    // The framing bit ends the header.
    while (bits.Left() > 0 && bits.Read(1) == 0) {
    }
    const qint64 modesEnd = bits.Left();
    // Count mode entries from the last one back while they look like
    // entries (mapping below 64, window and transform types 0); the count
    // field in front of the list, six bits, tells where it starts.
    int count = 0, found = 0;
    while (bits.Left() >= ModeBits + 6 && count < 64) {
        if (bits.Read(8) > 63 || bits.Read(16) != 0 || bits.Read(16) != 0)
            break;
        bits.Read(1);
        ++count;
        BackwardBits peek = bits;
        if (peek.Read(6) + 1 == count)
            found = count;
    }
    if (found == 0)
        return;
    // Read them again from the last one: the block flag is each one's first bit.
    BackwardBits again(setup);
    again.Read(int(again.Left() - modesEnd));
    modeLong_.resize(found);
    for (int m = found - 1; m >= 0; --m) {
        again.Read(ModeBits - 1);
        modeLong_[m] = again.Read(1) != 0;
    }
    while ((1 << modeBits_) < found)
        ++modeBits_;
}

int VorbisBlocks::BlockSize(const QByteArray &packet) const {
    if (!Valid() || packet.isEmpty() || (uint8_t(packet[0]) & 1) != 0)
        return 0;
    // The mode number follows the packet type bit, low bits first.
    const int mode = (uint8_t(packet[0]) >> 1) & ((1 << modeBits_) - 1);
    if (mode >= modeLong_.size())
        return 0;
    return modeLong_[mode] ? longBlock_ : shortBlock_;
}
