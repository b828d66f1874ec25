#pragma once
// The disk side that every SongFile shares: writing all of a block to a
// QFile, and closing it with its bytes on the disk, each failing with the
// system's reason. Writer thread.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace SongFileIo {
bool Open(QFile &file, const QString &path, QString &reason);
bool Write(QFile &file, const QByteArray &bytes, QString &reason);
// Flushes, syncs and closes; the file is closed afterwards either way.
bool Close(QFile &file, QString &reason);
} // namespace SongFileIo
