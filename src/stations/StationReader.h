#pragma once
// StationReader: turns the bytes of a station file, fed in blocks as they
// are read, into its lines, so that reading never holds the raw bytes, the
// decoded text and the list at once: only the lines kept and one block.
// The encoding is fixed before the first block (by the file's mark, see
// StationFile), or, for Utf8ElseWindows1252, line by line: lists are pasted
// together from several sources, so one line copied from a Windows list
// must not turn the UTF-8 of every other line into mojibake. Lines end at
// CR LF, a lone CR or LF; a line end at the very end adds no line; the text
// ends at its first NUL. One object per read; UI thread (it runs inside a
// read of the station list).
#include "stations/StationLines.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <memory>

class StationReader {
public:
    // Utf8ElseWindows1252: each line that is valid UTF-8 as UTF-8, any
    // other line as windows-1252.
    enum class Encoding { Utf16LE, Utf16BE, Utf8, Windows1252, CodePage, Utf8ElseWindows1252 };

    explicit StationReader(Encoding encoding);
    ~StationReader();

    // Makes room for the text of `bytes` of input, the size of the file.
    void Reserve(qsizetype bytes);
    // Decodes the block and takes the lines it completes.
    void Feed(QByteArrayView bytes);
    // True once a NUL ended the text: the rest of the file need not be read.
    bool Ended() const { return ended_; }
    // The lines, the unterminated last one included, with no room to spare.
    StationLines Finish();

    // All of `bytes` decoded at once (a cut-off last character becomes
    // U+FFFD); line ends are kept.
    static QString Decode(Encoding encoding, QByteArrayView bytes);

private:
    void Split(QStringView text);
    // Utf8ElseWindows1252: splits the bytes themselves (CR, LF and NUL are
    // the same bytes in both encodings and never part of a UTF-8 sequence)
    // and decodes each line as it ends.
    void SplitBytes(QByteArrayView bytes);
    void AppendDecoded(QByteArrayView line);
    // Hands each line that `text` ends to `take`, joined to the line begun
    // in the blocks before (`pending`), and keeps the unended rest there.
    template <class View, class Text, class Take>
    void SplitAtLineEnds(View text, Text &pending, Take take);

    const Encoding encoding_;
    // A stateful decoder for the multi-byte encodings, so a character cut
    // by a block boundary is joined again; null for windows-1252, and a
    // per-line UTF-8 decoder for Utf8ElseWindows1252.
    std::unique_ptr<QStringDecoder> decoder_;
    StationLines lines_;
    QString pending_;         // the line begun but not yet ended
    QByteArray pendingBytes_; // the same, undecoded, for Utf8ElseWindows1252
    QString lineText_;        // Utf8ElseWindows1252: room reused for each line's text
    bool pendingCr_ = false;  // the last block ended in CR: an LF next is its pair
    bool ended_ = false;
};
