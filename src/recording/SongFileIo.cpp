#include "recording/SongFileIo.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace SongFileIo {

bool Open(QFile &file, const QString &path, QString &reason) {
    file.setFileName(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    reason = file.errorString();
    return false;
}

bool Write(QFile &file, const QByteArray &bytes, QString &reason) {
    if (file.write(bytes) == bytes.size())
        return true;
    reason = file.errorString();
    return false;
}

bool Close(QFile &file, QString &reason) {
    bool ok = file.flush();
    if (!ok)
        reason = file.errorString();
    // The file is renamed into place next: its bytes must be on the disk
    // first, or a crash could leave a named but empty song.
    if (ok && ::fsync(file.handle()) != 0) {
        reason = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    file.close();
    return ok;
}

} // namespace SongFileIo
