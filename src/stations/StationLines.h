#pragma once
// StationLines: the lines of a station list, stored compactly because a list
// may hold a million of them. Every line's text sits in one shared buffer:
// a line whose characters are all below U+0100 (nearly every station) as one
// Latin-1 byte a character, any other line as its UTF-16 units, so every
// line comes back exactly as it was stored, lone surrogates included. A line
// costs its characters plus a 16-byte entry, where a QString in a list costs
// twice its characters plus about 56 bytes of header, allocator and slot.
// Removed lines leave their text behind until the buffer is compacted. The
// owner's thread only (the UI thread for the list the window shows).
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class StationLines {
public:
    // A stored line as the search reads it in place: either Latin-1 bytes
    // or UTF-16 units, `size` of them.
    struct Text {
        const char *latin1 = nullptr;    // set for a Latin-1 line
        const char16_t *utf16 = nullptr; // set for any other line
        qsizetype size = 0;
    };

    qsizetype Count() const { return entries_.size(); }
    bool IsEmpty() const { return entries_.isEmpty(); }
    // Line i (0 <= i < Count(), unchecked) as text, and in place.
    QString At(qsizetype i) const;
    Text Raw(qsizetype i) const {
        const Entry &e = entries_.at(i);
        const char *at = text_.constData() + e.offset;
        if (e.wide)
            return {nullptr, reinterpret_cast<const char16_t *>(at), qsizetype(e.size)};
        return {at, nullptr, qsizetype(e.size)};
    }

    void Append(QStringView line);
    void Insert(qsizetype i, QStringView line);
    void RemoveAt(qsizetype i);
    void Clear();
    // Makes room for `bytes` of text in advance, so that a read whose size
    // is known never copies the buffer to grow it.
    void Reserve(qsizetype bytes);
    // Gives back the room the buffers grew into, once a read is complete.
    void Squeeze();

    QStringList ToStringList() const;
    static StationLines FromStringList(const QStringList &lines);
    // Equal when both hold the same texts in the same order.
    friend bool operator==(const StationLines &a, const StationLines &b);

private:
    // Where a line's text starts in text_, its length in characters and
    // whether they are UTF-16 units (else Latin-1 bytes).
    struct Entry {
        qint64 offset = 0;
        quint32 size = 0;
        bool wide = false;
    };
    Entry Store(QStringView line);
    void Grow(qsizetype more);
    void CompactIfWasteful();

    QByteArray text_;
    QList<Entry> entries_;
    qsizetype garbage_ = 0; // bytes of text_ that no entry refers to any more
};
