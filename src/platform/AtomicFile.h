#pragma once
// Writes a whole file through a temporary file in the same folder that is
// renamed over the old one only when every byte reached the disk, so a full
// disk, a missing right or a crash never leaves a half-written or emptied
// file. The new file keeps the permissions of the file it replaces; a file
// that did not exist gets `newFileMode` when one is given (the settings file,
// which holds the proxy's password, is 0600), else the usual 0666 less the
// umask. Returns false and the system's reason when the file was not replaced.
#include <QByteArray>
#include <QString>

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *reason,
                         int newFileMode = -1);
