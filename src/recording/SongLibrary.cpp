#include "recording/SongLibrary.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qsizetype MaxNameBytes = 200;

QString SystemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SongLibrary::SongLibrary(const QString &musicFolder, const QString &station)
    : root_(QDir(musicFolder).filePath(QStringLiteral("Quorane"))),
      stationFolder_(QDir(root_).filePath(SafeName(station, QStringLiteral("Radio")))) {}

QString SongLibrary::SafeName(const QString &text, const QString &fallback) {
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name;
    name.reserve(text.size());
    for (QChar c : text)
        name.append(c.unicode() < 0x20 || c.unicode() == 0x7F || refused.contains(c) ? QChar(u'_')
                                                                                     : c);
    name = name.trimmed();
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    for (qsizetype i = 0; i < name.size() && name[i] == u'.'; ++i)
        name[i] = u'_';
    // Cut whole characters (never half a surrogate pair) to the byte limit.
    while (name.toUtf8().size() > MaxNameBytes) {
        name.chop(name.size() >= 2 && name[name.size() - 1].isLowSurrogate() ? 2 : 1);
        name = name.trimmed();
    }
    return name.isEmpty() ? fallback : name;
}

QString SongLibrary::SongName(const QString &artist, const QString &title) {
    const QString t = SafeName(title, QStringLiteral("Unknown title"));
    return artist.trimmed().isEmpty() ? t : SafeName(artist, QString()) + QStringLiteral(" - ") + t;
}

QString SongLibrary::TemporaryPath(const QString &extension, QString &reason) {
    const QString folder = QDir(root_).filePath(QStringLiteral(".recording"));
    if (!QDir().mkpath(folder)) {
        reason = QStringLiteral("cannot make the folder %1").arg(folder);
        return QString();
    }
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz"));
    return QDir(folder).filePath(QStringLiteral("%1-%2-%3.%4")
                                     .arg(stamp)
                                     .arg(qint64(::getpid()))
                                     .arg(++counter_)
                                     .arg(extension));
}

SongLibrary::Outcome SongLibrary::Place(const QString &temporary, const QString &songName,
                                        const QString &extension, bool complete, QString &placed,
                                        QString &reason) {
    const QString folder =
        complete ? stationFolder_ : QDir(stationFolder_).filePath(QStringLiteral("Incomplete"));
    if (!QDir().mkpath(folder)) {
        reason = QStringLiteral("cannot make the folder %1").arg(folder);
        return Outcome::Failed;
    }
    placed = QDir(folder).filePath(songName + QLatin1Char('.') + extension);
    const QFileInfo older(placed);
    if (older.exists() && older.size() >= QFileInfo(temporary).size()) {
        QFile::remove(temporary);
        return Outcome::KeptOlder;
    }
    // rename(2) replaces the older file in one step.
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(placed).constData()) != 0) {
        reason = SystemReason();
        QFile::remove(temporary);
        return Outcome::Failed;
    }
    return Outcome::Placed;
}
