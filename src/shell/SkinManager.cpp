#include "shell/SkinManager.h"

#include "platform/PathResolver.h"

#include <QDir>
#include <QFileInfo>

void SkinManager::SetSkinName(const QString &name) {
    QString resolved = BuiltInSkin();
    const QString dir = ResolvePath(skinDirectory_);
    if (!name.isEmpty() && !dir.isEmpty()) {
        if (QFileInfo(QDir(dir).filePath(name + QStringLiteral(".asz"))).isFile() ||
            QFileInfo(QDir(dir).filePath(name + QStringLiteral("/Options.dat"))).isFile())
            resolved = name;
    }
    if (name == BuiltInSkin())
        resolved = name;
    const bool changed = resolved != skinName_;
    skinName_ = resolved;
    if (changed)
        Q_EMIT SkinChanged(skinName_);
}

QStringList SkinManager::AvailableSkins() const {
    QStringList skins{BuiltInSkin()};
    const QString dir = ResolvePath(skinDirectory_);
    if (dir.isEmpty())
        return skins;
    const QFileInfoList entries =
        QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &e : entries) {
        if (e.isFile() && e.suffix().compare(QLatin1String("asz"), Qt::CaseInsensitive) == 0)
            skins.append(e.completeBaseName());
        else if (e.isDir() && QFileInfo(e.filePath() + QStringLiteral("/Options.dat")).isFile())
            skins.append(e.fileName());
    }
    return skins;
}
