#include "recording/DiskFile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype BlockBytes = 64 * 1024;

QString SystemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

DiskFile::~DiskFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool DiskFile::Open(const QString &path, QString &reason) {
    fd_ =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ >= 0)
        return true;
    reason = SystemReason();
    return false;
}

bool DiskFile::Write(const QByteArray &bytes, QString &reason) {
    pending_ += bytes;
    return pending_.size() < BlockBytes || Flush(reason);
}

bool DiskFile::Flush(QString &reason) {
    const char *at = pending_.constData();
    qsizetype left = pending_.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            reason = SystemReason();
            return false;
        }
        at += n;
        left -= n;
    }
    pending_.clear();
    return true;
}

bool DiskFile::Close(QString &reason) {
    // The file is renamed into place next: its bytes must be on the disk
    // first, or a crash could leave a named but empty song.
    bool ok = Flush(reason);
    if (ok && ::fsync(fd_) != 0) {
        reason = SystemReason();
        ok = false;
    }
    if (::close(fd_) != 0 && ok) {
        reason = SystemReason();
        ok = false;
    }
    fd_ = -1;
    return ok;
}
