#include "stations/StationFile.h"

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"
#include "stations/StationReader.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace StationFile {

namespace {

constexpr qsizetype BlockSize = 1 << 20;

[[noreturn]] void CannotOpen(const QString &path, const QString &reason) {
    throw QuoraneError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The encoding by the file's first bytes, and the length of its mark. A
// file without a mark is in the code page; in a UTF-8 page each line is
// UTF-8 when it is valid UTF-8 and windows-1252 otherwise.
StationReader::Encoding EncodingOf(QByteArrayView head, qsizetype *markLength) {
    *markLength = 0;
    if (head.startsWith("\xFF\xFE")) {
        *markLength = 2;
        return StationReader::Encoding::Utf16LE;
    }
    if (head.startsWith("\xFE\xFF")) {
        *markLength = 2;
        return StationReader::Encoding::Utf16BE;
    }
    if (head.startsWith("\xEF\xBB\xBF")) {
        *markLength = 3;
        return StationReader::Encoding::Utf8;
    }
    if (!CodePage::IsUtf8Page())
        return StationReader::Encoding::CodePage;
    return StationReader::Encoding::Utf8ElseWindows1252;
}

// An open file descriptor, closed on every way out.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Reads up to `size` bytes at `offset`; the count read, 0 at the end.
qsizetype ReadAt(const QString &path, int fd, char *buffer, qsizetype size, off_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, size_t(size), offset);
        if (n >= 0)
            return n;
        if (errno != EINTR)
            CannotOpen(path, SystemReason(errno));
    }
}

} // namespace

QString Decode(const QByteArray &bytes) {
    qsizetype mark = 0;
    const StationReader::Encoding encoding = EncodingOf(bytes, &mark);
    QString text = StationReader::Decode(encoding, QByteArrayView(bytes).sliced(mark));
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QStringList SplitLines(const QString &text) {
    StationReader reader(StationReader::Encoding::Utf16LE);
    reader.Feed(QByteArrayView(reinterpret_cast<const char *>(text.utf16()),
                               text.size() * qsizetype(sizeof(char16_t))));
    return reader.Finish().ToStringList();
}

StationLines Read(const QString &path) {
    Fd file;
    // Non-blocking, so that opening a FIFO with no writer returns at once;
    // what is not a regular file is refused before anything is read.
    file.fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0)
        CannotOpen(path, SystemReason(errno));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        CannotOpen(path, SystemReason(errno));
    if (S_ISDIR(info.st_mode))
        CannotOpen(path, QStringLiteral("It is a folder, not a station list"));
    if (!S_ISREG(info.st_mode))
        CannotOpen(path, QStringLiteral("It is not a regular file (a device, pipe or socket)"));
    if (info.st_size > MaxFileSize)
        CannotOpen(path, QStringLiteral("The file is larger than %1 MiB").arg(MaxFileSize >> 20));
    const off_t size = info.st_size;

    QByteArray block(BlockSize, Qt::Uninitialized);
    const qsizetype headSize = ReadAt(path, file.fd, block.data(), 3, 0);
    qsizetype mark = 0;
    StationReader reader(EncodingOf(QByteArrayView(block.constData(), headSize), &mark));
    reader.Reserve(qsizetype(size));
    // Read no further than the size seen at the start: a file that grows
    // meanwhile cannot make the read unbounded.
    for (off_t at = mark; at < size && !reader.Ended();) {
        const qsizetype n =
            ReadAt(path, file.fd, block.data(), qsizetype(qMin<off_t>(BlockSize, size - at)), at);
        if (n == 0)
            break;
        reader.Feed(QByteArrayView(block.constData(), n));
        at += n;
    }
    return reader.Finish();
}

void Write(const QString &path, const StationLines &lines) {
    qsizetype size = 0;
    for (qsizetype i = 0; i < lines.Count(); ++i)
        size += lines.Raw(i).size + 2;
    QString text;
    text.reserve(size);
    for (qsizetype i = 0; i < lines.Count(); ++i) {
        const StationLines::Text line = lines.Raw(i);
        if (line.latin1)
            text += QLatin1String(line.latin1, line.size);
        else
            text += QStringView(line.utf16, line.size);
        text += QLatin1String("\r\n");
    }
    QString reason;
    if (!WriteFileAtomically(path, CodePage::ToAnsi(text), &reason))
        throw QuoraneError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

} // namespace StationFile
