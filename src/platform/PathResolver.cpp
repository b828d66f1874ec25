#include "platform/PathResolver.h"

#include <QDir>
#include <QFileInfo>

QString ResolvePath(const QString &path) {
    if (path.isEmpty())
        return path;
    QString normal = path;
    normal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool absolute = normal.startsWith(QLatin1Char('/'));
    const bool trailing = normal.endsWith(QLatin1Char('/'));
    const QStringList parts = normal.split(QLatin1Char('/'), Qt::SkipEmptyParts);

    QString current = absolute ? QStringLiteral("/") : QString();
    bool stillExists = true;
    for (const QString &part : parts) {
        QString chosen = part;
        if (stillExists && part != QLatin1String(".") && part != QLatin1String("..")) {
            const QString base = current.isEmpty() ? QStringLiteral(".") : current;
            if (!QFileInfo::exists(base + QLatin1Char('/') + part)) {
                const QStringList entries = QDir(base).entryList(
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
                bool found = false;
                for (const QString &e : entries) {
                    if (e.compare(part, Qt::CaseInsensitive) == 0) {
                        chosen = e;
                        found = true;
                        break;
                    }
                }
                stillExists = found;
            }
        }
        if (!current.isEmpty() && !current.endsWith(QLatin1Char('/')))
            current += QLatin1Char('/');
        current += chosen;
    }
    if (trailing && !current.endsWith(QLatin1Char('/')))
        current += QLatin1Char('/');
    return current;
}
