#pragma once
// Splits one connection's audio bytes into the units a recording is cut at
// (frames, pages, packets) and finds the titles a stream carries in itself
// (Ogg comment headers). The bytes are outside input: any bytes are read
// without going out of bounds, and bytes that are not the stream's form are
// skipped until it is found again. One subclass per form; Create picks it.
// Writer thread.
#include "recording/SongFile.h"
#include "recording/StreamUnit.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>

class StreamFramer {
public:
    // A title found in the stream at byte `Pos`.
    struct Title {
        quint64 Pos = 0;
        QString Text;
    };

    virtual ~StreamFramer() = default;

    // The framer for a connection's Content-Type and first bytes (at least
    // FormBytes of them unless the connection ended sooner).
    static std::unique_ptr<StreamFramer> Create(const QByteArray &contentType,
                                                QByteArrayView firstBytes);
    static constexpr qsizetype FormBytes = 16;

    // The connection's bytes from `pos` on, in order; a `pos` beyond the end
    // of what came before means bytes that never came.
    virtual void Feed(quint64 pos, QByteArrayView bytes) = 0;
    // The connection's bytes have ended: what is still held is complete.
    virtual void Finish() {}
    // The file name extension for this form, without the dot.
    virtual QString Extension() const = 0;
    // A file for a song of this stream.
    virtual std::unique_ptr<SongFile> NewFile() const = 0;

    // The units and titles completed since the last call.
    QList<StreamUnit> TakeUnits();
    QList<Title> TakeTitles();
    // Why this stream cannot be recorded; empty while it can.
    QString Problem() const { return problem_; }

protected:
    QList<StreamUnit> units_;
    QList<Title> titles_;
    QString problem_;
};
