#include "shell/TrayIcon.h"

#include "window/Dispatch.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <QWindowStateChangeEvent>

namespace {

std::function<bool()> &AvailabilityCheck() {
    static std::function<bool()> check;
    return check;
}

// Qt's own tray widget for XEmbed notification areas (the X11 system tray
// protocol) carries this object name; it is a top-level widget of its own.
bool IsTrayWidget(QObject *object) {
    return object->isWidgetType() && object->objectName() == QLatin1String("QSystemTrayIconSys");
}

// The mark on a 32-unit square: a blue disc with a white dot at its lower
// left and two radio waves spreading from it to the upper right.
QPixmap PaintPicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    QLinearGradient fill(0, 0, 0, 32);
    fill.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
    fill.setColorAt(1, QColor(0x12, 0x3f, 0x86));
    p.setPen(QPen(QColor(0x0b, 0x2a, 0x5c), 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 30, 30));

    const QPointF source(10, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(source, 3.2, 3.2);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    for (const double r : {8.5, 15.0})
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), 5 * 16, 80 * 16);
    return pixmap;
}

} // namespace

TrayIcon::TrayIcon(QMenu *popupMenu, QObject *parent) : QObject(parent), popupMenu_(popupMenu) {
    icon_ = new QSystemTrayIcon(Picture(), this);
    // No tooltip: the hint is not shown (ShowHint off). The menu is opened by
    // RightButtonDown rather than handed to QSystemTrayIcon, so that every
    // backend opens it the same way, on the press, at the cursor.
    icon_->setToolTip(QString());
    Connect(icon_, &QSystemTrayIcon::activated, this, &TrayIcon::Activated);
    qApp->installEventFilter(this);

    clickTimer_.setSingleShot(true);
    Connect(&clickTimer_, &QTimer::timeout, this, &TrayIcon::ClickTimerFired);

    // Shown only where a notification area is, so that Qt does not look for
    // one that is not there; CheckNotificationArea shows it when one comes.
    areaWasAvailable_ = Available();
    if (areaWasAvailable_)
        icon_->show();
    areaTimer_.setInterval(AreaCheckInterval);
    Connect(&areaTimer_, &QTimer::timeout, this, &TrayIcon::CheckNotificationArea);
    areaTimer_.start();
}

TrayIcon::~TrayIcon() {
    // The icon leaves the notification area with its QSystemTrayIcon.
    qApp->removeEventFilter(this);
}

void TrayIcon::SetHint(const QString &hint) {
    hint_ = hint;
    icon_->setToolTip(showHint_ ? hint_ : QString());
}

void TrayIcon::SetShowHint(bool on) {
    showHint_ = on;
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

bool TrayIcon::Available() {
    const auto &check = AvailabilityCheck();
    return check ? check() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::SetAvailabilityCheckForTesting(std::function<bool()> check) {
    AvailabilityCheck() = std::move(check);
}

void TrayIcon::CheckNotificationArea() {
    const bool available = Available();
    if (available && !areaWasAvailable_) {
        // Hidden first, so that QSystemTrayIcon registers the icon anew.
        icon_->hide();
        icon_->show();
        Q_EMIT Readded();
    }
    areaWasAvailable_ = available;
}

QIcon TrayIcon::Picture() {
    QIcon icon;
    icon.addPixmap(PaintPicture(16));
    icon.addPixmap(PaintPicture(32));
    return icon;
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
        QMetaObject::invokeMethod(
            this,
            [] {
                if (QApplication::quitOnLastWindowClosed())
                    QCoreApplication::quit();
            },
            Qt::QueuedConnection);
    }
    if (watched == mainWindow_ && event->type() == QEvent::WindowStateChange) {
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        const bool wasMinimized = change->oldState() & Qt::WindowMinimized;
        if (mainWindow_->isMinimized() && !wasMinimized && mainWindow_->isVisible()) {
            // After the state change has been delivered everywhere: the
            // handler may hide the window.
            QMetaObject::invokeMethod(this, &ApplicationEvents::Minimize, Qt::QueuedConnection);
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
