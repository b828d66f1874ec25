#include "platform/AppPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtGlobal>
#include <unistd.h>

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

QString DataDir() {
    const QString exeDir = ExecutableDir();
    if (::access(QFile::encodeName(exeDir).constData(), W_OK) == 0)
        return exeDir;
    return ConfigHome() + QStringLiteral("/quorane/");
}

void SeedDataDir() {
    const QString from = ExecutableDir();
    const QString to = DataDir();
    if (to == from)
        return;
    QDir().mkpath(to + QStringLiteral("Data"));
    const QString stations = QStringLiteral("Data/stations.txt");
    if (!QFileInfo::exists(to + stations))
        QFile::copy(from + stations, to + stations);
    if (QFileInfo::exists(to + QStringLiteral("Skins")) || !QFileInfo(from + "Skins").isDir())
        return;
    QDirIterator it(from + QStringLiteral("Skins"), QDir::Files | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QDir().mkpath(to + QStringLiteral("Skins"));
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(file, target);
    }
}

QString SettingsFile() {
    const QString name = ReplaceExtension(ExecutablePath(), QStringLiteral(".ini"));
    return DataDir() + QFileInfo(name).fileName();
}

QString ConfigHome() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base;
}

QString GeometryFile() {
    const QString base = ConfigHome();
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
