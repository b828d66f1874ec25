#include "platform/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>

namespace {
QString g_testExe; // UI thread; set only by tests
}

namespace AppPaths {

QString ExecutablePath() {
    if (!g_testExe.isEmpty())
        return g_testExe;
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}

QString ExecutableDir() {
    QString dir = QFileInfo(ExecutablePath()).absolutePath();
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

QString ReplaceExtension(const QString &path, const QString &ext) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot > slash)
        return path.left(dot) + ext;
    return path + ext;
}

QString SettingsFile() {
    return ReplaceExtension(ExecutablePath(), QStringLiteral(".ini"));
}

QString GeometryFile() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    const QString name = QFileInfo(ExecutablePath()).fileName();
    return base + QLatin1Char('/') + ReplaceExtension(name, QStringLiteral(".INI"));
}

QString ApplicationTitleFor(const QString &exePath) {
    QString name = QFileInfo(exePath).fileName();
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name = name.left(dot);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

void SetExecutableForTesting(const QString &path) {
    g_testExe = path;
}

} // namespace AppPaths
