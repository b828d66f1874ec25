#pragma once
// TFormINI: the base of Quorane's three windows. It keeps each window's
// position, size and state in the window-geometry file, in a section named
// after the window's caption: read when the native window is about to be
// created (Top, Left, Width, Height) and at every showing (WindowState),
// written only when the window is destroyed at shutdown. UI thread only.
#include "platform/IniFile.h"

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

class TFormINI : public QWidget {
    Q_OBJECT
public:
    explicit TFormINI(QWidget *parent = nullptr);
    ~TFormINI() override;

    // Integer from / to the window-geometry file. An empty section means
    // IniSection; a non-empty one is used and becomes the new IniSection.
    int ReadIniInt(const QString &section, const QString &key, int def);
    void WriteIniInt(const QString &section, const QString &key, int value);

    // The window's destruction event, run at shutdown after it was hidden.
    virtual void FormDestroy() {}
    // The last destruction step: writes Top and Left (normal state only),
    // Width, Height and WindowState. Raises QuoraneError "Unable to write
    // to <file>" when the file cannot be written.
    void WriteGeometry();

    // Shows the window modally and returns when it is hidden again.
    void ShowModal();

    // The geometry file, opened at construction.
    std::unique_ptr<IniFile> IniFileObj;
    // The section in use: the caption the window had when its native window
    // was created; empty before that.
    QString IniSection;

    void setVisible(bool visible) override;

    // True while the window is hidden in the notification area. Such a
    // window is minimised underneath, yet the next start must show it: its
    // geometry is written with the state it had before the minimise.
    virtual bool HiddenInTray() const { return false; }

protected:
    // Runs once, before the native window is first created: reads the stored
    // position and size (defaults: 0, 0 and the laid-out size).
    void CreateParams();
    void changeEvent(QEvent *event) override;

private:
    bool created_ = false;
    // Normal or maximised: the state before the last minimise.
    Qt::WindowStates stateBeforeMinimize_;
};
