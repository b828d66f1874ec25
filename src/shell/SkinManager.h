#pragma once
// SkinManager: which skin Quorane is drawn with. It knows one built-in skin
// and the skins in the skin folder, and resolves a skin name the way the
// settings file expects: a "<name>.asz" file in the skin folder, then a
// "<name>" folder holding "Options.dat", then a built-in skin of exactly that
// name, else the first built-in skin, whose name it then reports. UI thread.
#include <QObject>
#include <QString>
#include <QStringList>

class SkinManager : public QObject {
    Q_OBJECT
public:
    explicit SkinManager(QObject *parent = nullptr) : QObject(parent) {}

    static QString BuiltInSkin() { return QStringLiteral("Winter2003 (internal)"); }
    static QString DefaultSkinName() { return QStringLiteral("Winter 2003 (internal)"); }

    void SetSkinDirectory(const QString &dir) { skinDirectory_ = dir; }
    QString SkinDirectory() const { return skinDirectory_; }

    // Sets and resolves the current skin.
    void SetSkinName(const QString &name);
    QString SkinName() const { return skinName_; }

    void SetActive(bool on) { active_ = on; }
    bool Active() const { return active_; }

    // The skins on offer: the built-in one, then those in the skin folder.
    QStringList AvailableSkins() const;

Q_SIGNALS:
    void SkinChanged(const QString &name);

private:
    QString skinDirectory_;
    QString skinName_ = BuiltInSkin();
    bool active_ = true;
};
