#pragma once
// SkinManager: which skin Quorane is drawn with. It knows the built-in skins
// and the skins in the skin folder, and resolves a skin name the way the
// settings file expects: a "<name>.asz" file in the skin folder, then a
// "<name>" folder holding "Options.dat", then a built-in skin of exactly that
// name, else the first built-in skin, whose name it then reports. A skin file
// that cannot be read or is not a style sheet is passed over. While active,
// the current skin's style sheet and palette are the application's, so every
// window and dialog of the program is drawn with it. UI thread only.
#include "shell/SkinFile.h"

#include <QObject>
#include <QString>
#include <QStringList>

class SkinManager : public QObject {
    Q_OBJECT
public:
    // Starts with the first built-in skin as current, not yet drawn.
    explicit SkinManager(QObject *parent = nullptr);

    static QString BuiltInSkin() { return QStringLiteral("Winter2003 (internal)"); }
    static QString DefaultSkinName() { return QStringLiteral("Winter 2003 (internal)"); }

    void SetSkinDirectory(const QString &dir) { skinDirectory_ = dir; }
    QString SkinDirectory() const { return skinDirectory_; }

    // Resolves `name`, makes the skin found the current one and, while
    // skinning is on, draws the program with it.
    void SetSkinName(const QString &name);
    // The current skin's name after resolution: a file skin in its own
    // spelling on disk, or a built-in skin's name.
    QString SkinName() const { return current_.Name; }
    const SkinFile &Current() const { return current_; }

    // Skinning on or off; off leaves the platform's own look.
    void SetActive(bool on);
    bool Active() const { return active_; }

    // The skins on offer: the built-in ones, then the usable ones in the skin
    // folder in the order of their names.
    QStringList AvailableSkins() const;

    // The skin `name` resolves to (see SetSkinName), without making it current.
    SkinFile Resolve(const QString &name) const;

Q_SIGNALS:
    // The current skin is another one now (its name), or was drawn anew.
    void SkinChanged(const QString &name);

private:
    void Apply();

    QString skinDirectory_;
    SkinFile current_;
    bool active_ = true;
};
