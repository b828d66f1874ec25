#include "shell/TrayIcon.h"

#include "shell/QuoraneIcon.h"
#include "shell/StatusNotifierWatch.h"
#include "window/Dispatch.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <cstdlib>
#include <xcb/xcb.h>

namespace {

std::function<bool()> &AvailabilityCheck() {
    static std::function<bool()> check;
    return check;
}

// The screen the X connection uses, from the display name (":0.1" is
// screen 1): the X11 tray of that screen is the one that counts.
int ScreenNumber() {
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = colon < 0 ? -1 : display.indexOf('.', colon);
    return dot < 0 ? 0 : display.mid(dot + 1).toInt();
}

// Whether an X11 tray (XEmbed) runs: the owner of its selection, asked of
// the X server directly, since QSystemTrayIcon's own check would make Qt
// choose its kind of notification area for good.
bool X11TrayPresent() {
    const auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(ScreenNumber());
    // Only an atom that exists: a tray that ran once has made it.
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()), nullptr);
    bool present = false;
    if (atom && atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t *owner =
            xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
        present = owner && owner->owner != XCB_WINDOW_NONE;
        std::free(owner);
    }
    std::free(atom);
    return present;
}

// Qt's own tray widget for XEmbed notification areas (the X11 system tray
// protocol) carries this object name; it is a top-level widget of its own.
bool IsTrayWidget(QObject *object) {
    return object->isWidgetType() && object->objectName() == QLatin1String("QSystemTrayIconSys");
}

} // namespace

TrayIcon::TrayIcon(QMenu *popupMenu, QObject *parent) : QObject(parent), popupMenu_(popupMenu) {
    qApp->installEventFilter(this);
    clickTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % early: a click must wait the whole
    // double-click time.
    clickTimer_.setTimerType(Qt::PreciseTimer);
    Connect(&clickTimer_, &QTimer::timeout, this, &TrayIcon::ClickTimerFired);

    watch_ = new StatusNotifierWatch(this);
    Connect(watch_, &StatusNotifierWatch::Changed, this, &TrayIcon::CheckNotificationArea);
    areaTimer_.setInterval(AreaCheckInterval);
    // The watcher announces a host's coming and going with signals of its
    // own, which are not followed: it is asked again now and then instead.
    Connect(&areaTimer_, &QTimer::timeout, this, [this] {
        watch_->Refresh();
        CheckNotificationArea();
    });
    areaTimer_.start();
    // At once when the answer is known already (no session bus, or an X11
    // tray with no watcher to ask).
    CheckNotificationArea();
}

void TrayIcon::CreateIcon(bool statusNotifier) {
    statusNotifier_ = statusNotifier;
    icon_ = new QSystemTrayIcon(Picture(), this);
    icon_->setToolTip(showHint_ ? hint_ : QString());
    // A StatusNotifierItem host (KDE, GNOME's AppIndicator extension, most
    // Wayland panels) draws the menu itself from what the program exports,
    // and opens it on its own right click: Qt exports the menu it is given.
    // An X11 tray reports the press to us instead, and RightButtonDown
    // opens the menu on the press, at the cursor.
    if (statusNotifier_ && popupMenu_)
        icon_->setContextMenu(popupMenu_);
    Connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::Activated);
}

TrayIcon::~TrayIcon() {
    // The icon leaves the notification area with its QSystemTrayIcon.
    qApp->removeEventFilter(this);
    // The menu exported to a StatusNotifierItem host keeps one item of Qt's
    // per action, and Qt frees those only when an action leaves the menu,
    // never with the menu: the actions leave it here, while it is there.
    if (icon_ && statusNotifier_ && popupMenu_) {
        for (QAction *action : popupMenu_->actions())
            popupMenu_->removeAction(action);
    }
}

void TrayIcon::SetHint(const QString &hint) {
    hint_ = hint;
    if (icon_)
        icon_->setToolTip(showHint_ ? hint_ : QString());
}

void TrayIcon::SetShowHint(bool on) {
    showHint_ = on;
    if (icon_)
        icon_->setToolTip(showHint_ ? hint_ : QString());
}

void TrayIcon::Raise(const std::function<void()> &event) {
    if (event)
        event();
}

void TrayIcon::LeftButtonDown() {
    // A double-click handler is set, so every press (re)starts the wait for
    // a second click.
    clickTimer_.start(QApplication::doubleClickInterval());
    clickStarted_ = true;
}

void TrayIcon::LeftButtonUp() {
    if (clickStarted_) {
        clickReady_ = true;
        // Held longer than the double-click time: the click is due now.
        if (!clickTimer_.isActive()) {
            clickStarted_ = false;
            clickReady_ = false;
            Raise(OnClick);
        }
    }
    clickStarted_ = false;
}

void TrayIcon::ClickTimerFired() {
    clickTimer_.stop();
    if (!dblClicked_ && clickReady_) {
        clickReady_ = false;
        Raise(OnClick);
    }
    dblClicked_ = false;
}

void TrayIcon::LeftDoubleClick() {
    clickReady_ = false;
    // Windows reports a double click in place of the second press; Qt
    // reports the second press and then the double click, so the press is
    // taken back here and its release makes no click either.
    clickStarted_ = false;
    dblClicked_ = true;
    Raise(OnDblClick);
    // The menu belongs to the right button, so its default item is run.
    if (popupMenu_)
        if (QAction *item = popupMenu_->defaultAction())
            item->trigger();
}

void TrayIcon::RightButtonDown(const QPoint &globalPos) {
    if (!popupMenu_)
        return;
    popupMenu_->popup(globalPos);
}

void TrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
    // The tray widget has already reported this press through eventFilter.
    if (widgetEvents_)
        return;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        LeftButtonDown();
        LeftButtonUp();
        break;
    case QSystemTrayIcon::DoubleClick:
        LeftDoubleClick();
        break;
    case QSystemTrayIcon::Context:
        // A host of its own menu has opened it already.
        if (!statusNotifier_)
            RightButtonDown(QCursor::pos());
        break;
    default:
        break;
    }
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    if (!IsTrayWidget(watched))
        return false;
    widgetEvents_ = true;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() == Qt::LeftButton) {
        if (type == QEvent::MouseButtonPress)
            LeftButtonDown();
        else if (type == QEvent::MouseButtonRelease)
            LeftButtonUp();
        else
            LeftDoubleClick();
    } else if (mouse->button() == Qt::RightButton && type == QEvent::MouseButtonPress) {
        RightButtonDown(mouse->globalPosition().toPoint());
    }
    return false;
}

bool TrayIcon::Available() const {
    if (const auto &check = AvailabilityCheck())
        return check();
    // The watcher's state is followed in the background: asking Qt here
    // would ask the watcher and wait for it.
    if (statusNotifier_)
        return watch_->Current() == StatusNotifierWatch::State::Host;
    return X11TrayPresent();
}

void TrayIcon::SetAvailabilityCheckForTesting(std::function<bool()> check) {
    AvailabilityCheck() = std::move(check);
}

void TrayIcon::CheckNotificationArea() {
    if (!icon_) {
        // Only once the watcher has answered (or is known absent) may Qt
        // make its choice, which it makes for the life of the process.
        const StatusNotifierWatch::State state = watch_->Current();
        if (state == StatusNotifierWatch::State::Host)
            CreateIcon(true);
        else if (state != StatusNotifierWatch::State::Unknown && Available())
            CreateIcon(false);
    }
    const bool available = icon_ && Available();
    if (available && !areaWasAvailable_) {
        // Shown once, when it is made with an area there. From then on Qt
        // docks it again by itself when an area comes back: an X11 tray
        // icon when the tray's owner changes, a StatusNotifierItem when the
        // watcher does. Hiding and showing it here as well would dock an
        // X11 icon twice (its window replaced under the panel's feet) and
        // make Qt ask the watcher and wait.
        if (!icon_->isVisible())
            icon_->show();
        Q_EMIT Readded();
    }
    areaWasAvailable_ = available;
    Q_EMIT AreaChecked(available);
}

QIcon TrayIcon::Picture() {
    return QuoraneIcon::Icon();
}

// ---------------------------------------------------------------------------

ApplicationEvents::ApplicationEvents(QWidget *mainWindow)
    : QObject(mainWindow), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("ApplicationEvents"));
    mainWindow->installEventFilter(this);
}

ApplicationEvents *ApplicationEvents::Of(QWidget *mainWindow) {
    if (auto *events = mainWindow->findChild<ApplicationEvents *>(
            QStringLiteral("ApplicationEvents"), Qt::FindDirectChildrenOnly))
        return events;
    return new ApplicationEvents(mainWindow);
}

bool ApplicationEvents::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mainWindow_ && event->type() == QEvent::Close && !mainWindow_->isVisible()) {
        // Closing the main window ends the program, also while it is hidden
        // in the tray (the tray menu's Exit). Qt ends the loop only when a
        // visible window closes, so the loop is told here, once the close
        // has gone through, by the same rule that ends it otherwise.
        Post(this, [] {
            if (QApplication::quitOnLastWindowClosed())
                QCoreApplication::quit();
        });
    }
    if (watched == mainWindow_ && event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        const bool wasMinimized = change->oldState() & Qt::WindowMinimized;
        if (mainWindow_->isMinimized() && !wasMinimized && mainWindow_->isVisible()) {
            // After the state change has been delivered everywhere: the
            // handler may hide the window.
            Post(this, &ApplicationEvents::Minimize);
        } else if (!mainWindow_->isMinimized() && mainWindow_->isVisible()) {
            // Restored from the taskbar or the window manager: no longer
            // minimised as a whole.
            minimized_ = false;
        }
    }
    return false;
}

void ApplicationEvents::Minimize() {
    // A minimise that was undone, or a window closed, meanwhile.
    if (!mainWindow_->isMinimized() || !mainWindow_->isVisible() || QCoreApplication::closingDown())
        return;
    minimized_ = true;
    if (OnMinimize)
        OnMinimize();
}

void ApplicationEvents::Restore() {
    if (!minimized_)
        return;
    minimized_ = false;
    if (mainWindow_->isMinimized()) {
        mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
        if (!mainWindow_->isVisible())
            mainWindow_->show();
    }
    // The focus widget is kept per window: activating it gives the focus
    // back to the control that had it.
    mainWindow_->activateWindow();
}
