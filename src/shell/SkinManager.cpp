#include "shell/SkinManager.h"

#include "platform/PathResolver.h"
#include "shell/BuiltInSkins.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace {

QString AszFile(const QString &dir, const QString &name) {
    return ResolvePath(QDir(dir).filePath(name + QStringLiteral(".asz")));
}

QString OptionsFile(const QString &dir, const QString &name) {
    return ResolvePath(QDir(dir).filePath(name + QStringLiteral("/Options.dat")));
}

} // namespace

SkinManager::SkinManager(QObject *parent)
    : QObject(parent), current_(BuiltInSkins::All().first()) {}

SkinFile SkinManager::Resolve(const QString &name) const {
    // A name with a path in it would reach outside the skin folder.
    const bool plain = !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
                       name != QLatin1String(".") && name != QLatin1String("..");
    if (plain && !skinDirectory_.isEmpty()) {
        // Folder names are matched without regard to case, as everywhere in
        // Quorane; the skin then carries the name it has on disk.
        const QString asz = AszFile(skinDirectory_, name);
        if (QFileInfo(asz).isFile())
            if (auto skin = SkinFile::Read(QFileInfo(asz).completeBaseName(), asz))
                return *skin;
        const QString options = OptionsFile(skinDirectory_, name);
        if (QFileInfo(options).isFile())
            if (auto skin =
                    SkinFile::Read(QFileInfo(QFileInfo(options).path()).fileName(), options))
                return *skin;
    }
    const QList<SkinFile> &builtIn = BuiltInSkins::All();
    for (const SkinFile &skin : builtIn)
        if (skin.Name == name)
            return skin;
    return builtIn.first();
}

void SkinManager::SetSkinName(const QString &name) {
    current_ = Resolve(name);
    Apply();
}

void SkinManager::SetActive(bool on) {
    active_ = on;
    Apply();
}

void SkinManager::Apply() {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (app) {
        // The palette first: the style sheet's repolish then sees it.
        QApplication::setPalette(active_ ? current_.Palette
                                         : QApplication::style()->standardPalette());
        // Off is a sheet without rules rather than none: Qt 6.4 frees the
        // base style with the sheet style when the sheet is cleared, and the
        // next sheet then crashes the program.
        app->setStyleSheet(active_ ? current_.StyleSheet : QStringLiteral("/* off */ * {}"));
    }
    Q_EMIT SkinChanged(current_.Name);
}

QStringList SkinManager::AvailableSkins() const {
    QStringList skins;
    for (const SkinFile &skin : BuiltInSkins::All())
        skins.append(skin.Name);
    const QString dir = ResolvePath(skinDirectory_);
    if (dir.isEmpty())
        return skins;
    const QFileInfoList entries = QDir(dir).entryInfoList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &e : entries) {
        QString name;
        if (e.isFile() && e.suffix().compare(QLatin1String("asz"), Qt::CaseInsensitive) == 0)
            name = e.completeBaseName();
        else if (e.isDir())
            name = e.fileName();
        // Only what would resolve to itself: a broken file is not offered.
        if (!name.isEmpty() && !skins.contains(name) && Resolve(name).Name == name)
            skins.append(name);
    }
    return skins;
}
