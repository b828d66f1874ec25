#include "platform/AtomicFile.h"

#include <QSaveFile>

bool WriteFileAtomically(const QString &path, const QByteArray &bytes, QString *reason) {
    QSaveFile out(path);
    // Unbuffered: a buffered write reports success and a failing flush at
    // commit() still renames the truncated file into place.
    bool ok = out.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
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
