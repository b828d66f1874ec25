#pragma once
// TrayIcon: Quorane's one icon in the notification area, the part of
// TCoolTrayIcon that the program uses, built on QSystemTrayIcon. It tells a
// single click from a double click with a one-shot timer of the double-click
// time, opens the tray menu on the right button, has no tooltip, shows itself
// again when a notification area appears (or reappears) and is removed when
// it is destroyed with the main window.
//
// Qt picks its kind of notification area once per process, when the first
// QSystemTrayIcon is made: a StatusNotifierItem host if the watcher says one
// is registered (asked synchronously, so a watcher that hangs would hang
// the window), else the X11 tray (XEmbed). So the QSystemTrayIcon is made
// only once a notification area is known to be there: the watcher has
// answered that a host is registered (StatusNotifierWatch, which asks
// without waiting), or an X11 tray is there and the watcher has answered
// or is absent. A panel that starts after Quorane thus gets the icon, of
// either kind.
//
// ApplicationEvents: the application object's minimise and restore
// (TApplication's OnMinimize, Minimize and Restore) as far as Quorane uses
// them, hooked on the main window.
//
// Everything here runs on the UI thread.
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

class QWidget;
class StatusNotifierWatch;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    // The icon is shown as soon as a notification area is known to be there
    // (see above). `popupMenu` is the right button's menu; its default
    // action is also run on a double click.
    TrayIcon(QMenu *popupMenu, QObject *parent);
    ~TrayIcon() override;

    // Events (OnClick, OnDblClick). A click is raised once the double-click
    // time has passed without a second click, or at once when the button is
    // released after being held longer than that.
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;

    QMenu *PopupMenu() const { return popupMenu_; }
    // The hint is kept but shown only while ShowHint is on; Quorane keeps it
    // off, so the icon has no tooltip.
    QString Hint() const { return hint_; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on);

    // ---- the mouse on the icon ----
    // These receive what the platform reports. The tray widget of an XEmbed
    // notification area feeds them its real presses, releases and double
    // clicks; elsewhere QSystemTrayIcon::activated() feeds them (a Trigger is
    // a press and a release, Context a right press at the cursor).
    void LeftButtonDown();
    void LeftButtonUp();
    void LeftDoubleClick();
    // Opens the menu at `globalPos` and returns at once (the chosen item's
    // handler runs from its action).
    void RightButtonDown(const QPoint &globalPos);
    // True while a click waits for the double-click time to pass.
    bool ClickTimerActive() const { return clickTimer_.isActive(); }

    // ---- the notification area ----
    // Whether a notification area of the icon's kind is there now (before
    // the icon is made, one of the X11 kind). It never waits on D-Bus. A
    // test may put a check of its own in its place.
    bool Available() const;
    // Available() and the icon made: the window may hide in the tray.
    bool Shown() const { return icon_ && Available(); }
    // Replaces the check behind Available(); an empty function restores it.
    static void SetAvailabilityCheckForTesting(std::function<bool()> check);
    // Makes and shows the icon once a notification area is known to be
    // there; Qt docks it again by itself when the area comes back (a panel
    // restarted after a crash), and Readded tells of each coming. Runs every
    // AreaCheckInterval milliseconds (the watcher asked again first) and
    // whenever the watcher's state changes.
    void CheckNotificationArea();
    static constexpr int AreaCheckInterval = 3000;

    // Whether the icon is a StatusNotifierItem (else an X11 tray icon).
    bool UsesStatusNotifier() const { return statusNotifier_; }

    // The platform icon, for its state (visible, tooltip, picture); null
    // until a notification area was there.
    QSystemTrayIcon *Icon() const { return icon_; }
    // The picture: Quorane's own icon, 16 x 16 and 32 x 32 among its sizes.
    static QIcon Picture();

Q_SIGNALS:
    // A notification area appeared (again) and has the icon.
    void Readded();
    // A check of the notification area ran and found one or none.
    void AreaChecked(bool available);

protected:
    // Mouse events of the XEmbed tray widget (see LeftButtonDown).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateIcon(bool statusNotifier);
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void ClickTimerFired();
    void Raise(const std::function<void()> &event);

    StatusNotifierWatch *watch_ = nullptr;
    QSystemTrayIcon *icon_ = nullptr; // null until a notification area is there
    QPointer<QMenu> popupMenu_;
    QString hint_ = QStringLiteral("Quorane");
    bool showHint_ = false;
    // Telling a click from a double click.
    QTimer clickTimer_;
    bool clickStarted_ = false;
    bool clickReady_ = false;
    bool dblClicked_ = false;
    // Once the tray widget's own mouse events have been seen, activated()
    // only repeats them.
    bool widgetEvents_ = false;
    bool statusNotifier_ = false;
    QTimer areaTimer_;
    bool areaWasAvailable_ = false;
};

class ApplicationEvents : public QObject {
    Q_OBJECT
public:
    // The application events of the program whose main window is
    // `mainWindow`, created on first use and gone with the window.
    static ApplicationEvents *Of(QWidget *mainWindow);

    // The application's minimise event. The main window owns the taskbar
    // button, so the program as a whole is minimised when its main window
    // is, by whatever means (its title bar, the taskbar, a pager): then the
    // application is marked as minimised and OnMinimize is raised. The window
    // manager has minimised the window before the program hears of it, so
    // its state stays minimised while it is hidden; Linux offers no way to
    // take the minimise command over before the window manager acts on it.
    std::function<void()> OnMinimize;
    bool Minimized() const { return minimized_; }

    // Restores the application: only when it is marked as minimised, the
    // mark is cleared and the main window, if still minimised, is set back
    // to normal and shown; the keyboard focus returns to the control that
    // had it. Otherwise nothing.
    void Restore();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ApplicationEvents(QWidget *mainWindow);
    void Minimize();
    QWidget *mainWindow_;
    bool minimized_ = false;
};
