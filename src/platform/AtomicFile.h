#pragma once
// Writes a whole file through a temporary file in the same folder that is
// renamed over the old one only when every byte reached the disk, so a full
// disk, a missing right or a crash never leaves a half-written or emptied
// file. Returns false and the system's reason when the file was not replaced.
#include <QByteArray>
#include <QString>

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *reason);
