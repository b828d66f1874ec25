#include "stations/StationFile.h"

#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "platform/QuoraneError.h"

#include <QFile>
#include <QStringDecoder>

namespace StationFile {

QString Decode(const QByteArray &bytes) {
    QString text;
    if (bytes.startsWith("\xFF\xFE")) {
        text = QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xFE\xFF")) {
        text = QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else {
        text = CodePage::FromAnsi(bytes);
    }
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

QStringList SplitLines(const QString &text) {
    QStringList lines;
    const QChar *data = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList Read(const QString &path) {
    QFile f(path);
    QByteArray bytes;
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw QuoraneError(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, f.errorString()));
    return SplitLines(Decode(bytes));
}

void Write(const QString &path, const QStringList &lines) {
    qsizetype size = 0;
    for (const QString &l : lines)
        size += l.size() + 2;
    QString text;
    text.reserve(size);
    for (const QString &l : lines) {
        text += l;
        text += QLatin1String("\r\n");
    }
    QString reason;
    if (!WriteFileAtomically(path, CodePage::ToAnsi(text), &reason))
        throw QuoraneError(QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason));
}

} // namespace StationFile
