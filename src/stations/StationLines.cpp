#include "stations/StationLines.h"

#include <cstring>
#include <stdexcept>

QString StationLines::At(qsizetype i) const {
    const Text t = Raw(i);
    if (t.utf16)
        return QString(reinterpret_cast<const QChar *>(t.utf16), t.size);
    return QString::fromLatin1(t.latin1, t.size);
}

StationLines::Entry StationLines::Store(QStringView line) {
    // The entry keeps 32 bits of length; a station file is far shorter.
    if (quint64(line.size()) > quint64(UINT32_MAX))
        throw std::length_error("station line too long");
    Entry e;
    e.size = quint32(line.size());
    // Narrowed in one pass that also tells whether anything was lost: a
    // character above U+00FF leaves a high bit in `high`.
    const qsizetype at = text_.size();
    Grow(line.size());
    char *out = text_.data() + at;
    const char16_t *in = line.utf16();
    char16_t high = 0;
    for (qsizetype k = 0; k < line.size(); ++k) {
        out[k] = char(in[k]);
        high = char16_t(high | in[k]);
    }
    if (high <= 0xFF) {
        e.offset = at;
        return e;
    }
    // UTF-16 units start on an even offset, so the search reads them aligned.
    text_.truncate(at + at % 2);
    if (at % 2 != 0)
        text_[at] = '\0';
    e.wide = true;
    e.offset = text_.size();
    Grow(line.size() * qsizetype(sizeof(char16_t)));
    std::memcpy(text_.data() + e.offset, in, size_t(line.size()) * sizeof(char16_t));
    return e;
}

// Makes text_ `more` bytes longer, growing its room by half at a time so
// that a read of many lines reallocates rarely.
void StationLines::Grow(qsizetype more) {
    const qsizetype need = text_.size() + more;
    if (need > text_.capacity())
        text_.reserve(qMax(need, text_.capacity() + text_.capacity() / 2));
    text_.resize(need);
}

void StationLines::Append(QStringView line) {
    entries_.append(Store(line));
}

void StationLines::Insert(qsizetype i, QStringView line) {
    entries_.insert(i, Store(line));
}

void StationLines::RemoveAt(qsizetype i) {
    const Entry &e = entries_.at(i);
    garbage_ += qsizetype(e.size) * (e.wide ? 2 : 1);
    entries_.removeAt(i);
    CompactIfWasteful();
}

void StationLines::Clear() {
    text_ = QByteArray();
    entries_ = QList<Entry>();
    garbage_ = 0;
}

void StationLines::Reserve(qsizetype bytes) {
    if (bytes > text_.capacity())
        text_.reserve(bytes);
}

void StationLines::Squeeze() {
    text_.squeeze();
    entries_.squeeze();
}

// Once more than half of the buffer is text of removed lines (and it is
// worth the copy), the lines still kept are copied into a fresh buffer.
void StationLines::CompactIfWasteful() {
    if (garbage_ < (1 << 16) || garbage_ * 2 < text_.size())
        return;
    StationLines kept;
    kept.text_.reserve(text_.size() - garbage_ + entries_.size());
    kept.entries_.reserve(entries_.size());
    for (qsizetype i = 0; i < entries_.size(); ++i)
        kept.Append(At(i));
    *this = std::move(kept);
}

QStringList StationLines::ToStringList() const {
    QStringList out;
    out.reserve(Count());
    for (qsizetype i = 0; i < Count(); ++i)
        out.append(At(i));
    return out;
}

StationLines StationLines::FromStringList(const QStringList &lines) {
    StationLines out;
    out.entries_.reserve(lines.size());
    for (const QString &line : lines)
        out.Append(line);
    out.Squeeze();
    return out;
}

bool operator==(const StationLines &a, const StationLines &b) {
    if (a.Count() != b.Count())
        return false;
    for (qsizetype i = 0; i < a.Count(); ++i) {
        const StationLines::Text x = a.Raw(i), y = b.Raw(i);
        // The form follows from the text alone: lines stored in different
        // forms differ.
        if (x.size != y.size || (x.latin1 == nullptr) != (y.latin1 == nullptr))
            return false;
        if (x.latin1 ? std::memcmp(x.latin1, y.latin1, size_t(x.size)) != 0
                     : std::memcmp(x.utf16, y.utf16, size_t(x.size) * sizeof(char16_t)) != 0)
            return false;
    }
    return true;
}
