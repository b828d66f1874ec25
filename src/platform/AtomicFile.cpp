#include "platform/AtomicFile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <sys/stat.h>

namespace {

QFileDevice::Permissions PermissionsOf(int mode) {
    QFileDevice::Permissions p;
    if (mode & S_IRUSR)
        p |= QFileDevice::ReadOwner | QFileDevice::ReadUser;
    if (mode & S_IWUSR)
        p |= QFileDevice::WriteOwner | QFileDevice::WriteUser;
    if (mode & S_IRGRP)
        p |= QFileDevice::ReadGroup;
    if (mode & S_IWGRP)
        p |= QFileDevice::WriteGroup;
    if (mode & S_IROTH)
        p |= QFileDevice::ReadOther;
    if (mode & S_IWOTH)
        p |= QFileDevice::WriteOther;
    return p;
}

} // namespace

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *reason,
                         int newFileMode) {
    QSaveFile out(path);
    const bool existed = QFileInfo::exists(path);
    // Unbuffered: a buffered write reports success and a failing flush at
    // commit() still renames the truncated file into place.
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    // QSaveFile gives the temporary file the old file's permissions; a new
    // file gets its mode before the first byte is in it, so a secret is
    // never readable by others, not even for a moment.
    if (ok && !existed && newFileMode >= 0)
        ok = out.setPermissions(PermissionsOf(newFileMode));
    qint64 written = 0;
    while (ok && written < bytes.size()) {
        const qint64 n = out.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0)
            ok = false;
        else
            written += n;
    }
    ok = ok && out.error() == QFileDevice::NoError && out.commit();
    if (!ok) {
        if (reason)
            *reason = out.errorString();
        out.cancelWriting();
    }
    return ok;
}
