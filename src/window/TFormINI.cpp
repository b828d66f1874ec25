#include "window/TFormINI.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QWindowStateChangeEvent>

TFormINI::TFormINI(QWidget *parent)
    : QWidget(parent), IniFileObj(std::make_unique<IniFile>(AppPaths::GeometryFile())) {}

TFormINI::~TFormINI() = default;

int TFormINI::ReadIniInt(const QString &section, const QString &key, int def) {
    if (!section.isEmpty())
        IniSection = section;
    return IniFileObj->ReadInteger(IniSection, key, def);
}

void TFormINI::WriteIniInt(const QString &section, const QString &key, int value) {
    if (!section.isEmpty())
        IniSection = section;
    // The configuration folder may not exist yet on a fresh account.
    QDir().mkpath(QFileInfo(IniFileObj->FileName()).absolutePath());
    IniFileObj->WriteInteger(IniSection, key, value);
}

void TFormINI::CreateParams() {
    IniSection = windowTitle();
    const int top = ReadIniInt(QString(), QStringLiteral("Top"), 0);
    const int left = ReadIniInt(QString(), QStringLiteral("Left"), 0);
    const int w = ReadIniInt(QString(), QStringLiteral("Width"), width());
    const int h = ReadIniInt(QString(), QStringLiteral("Height"), height());
    move(left, top);
    resize(w, h);
}

void TFormINI::setVisible(bool visible) {
    if (visible && !isVisible()) {
        if (!created_) {
            created_ = true;
            CreateParams();
        }
        // The state the last run ended in is applied at every showing.
        const int state = ReadIniInt(QString(), QStringLiteral("WindowState"), 0);
        Qt::WindowStates s = windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        switch (state) {
        case 0:
            setWindowState(s);
            break;
        case 1:
            setWindowState(s | Qt::WindowMinimized);
            break;
        case 2:
            setWindowState(s | Qt::WindowMaximized);
            break;
        default:
            break;
        }
    }
    QWidget::setVisible(visible);
}

void TFormINI::changeEvent(QEvent *event) {
    if (event->type() == QEvent::WindowStateChange) {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent *>(event)->oldState();
        if ((windowState() & Qt::WindowMinimized) && !(old & Qt::WindowMinimized))
            stateBeforeMinimize_ = old & Qt::WindowMaximized;
    }
    QWidget::changeEvent(event);
}

void TFormINI::WriteGeometry() {
    int state = 0;
    if (!created_) {
        // A window never shown in this run writes back what it would have
        // been shown with: its stored place, size and state, not the 0, 0
        // of a window that was never placed.
        created_ = true;
        CreateParams();
        state = ReadIniInt(QString(), QStringLiteral("WindowState"), 0);
        if (state < 0 || state > 2)
            state = 0;
    } else {
        Qt::WindowStates s = windowState();
        // Hidden in the tray means minimised underneath: the next start
        // shows the window as it was before.
        if ((s & Qt::WindowMinimized) && HiddenInTray())
            s = stateBeforeMinimize_;
        state = (s & Qt::WindowMinimized) ? 1 : (s & Qt::WindowMaximized) ? 2 : 0;
    }
    // The window's keys reach the file in one write, so a crash or a kill
    // meanwhile leaves its section whole.
    IniFileObj->BeginBatch();
    if (state == 0) {
        WriteIniInt(QString(), QStringLiteral("Top"), y());
        WriteIniInt(QString(), QStringLiteral("Left"), x());
    }
    WriteIniInt(QString(), QStringLiteral("Width"), width());
    WriteIniInt(QString(), QStringLiteral("Height"), height());
    WriteIniInt(QString(), QStringLiteral("WindowState"), state);
    IniFileObj->Commit();
}

void TFormINI::ShowModal() {
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    QPointer<TFormINI> self(this);
    // Poll-free wait: the loop ends when the window is hidden or destroyed.
    struct HideWatcher : QObject {
        QEventLoop *loop;
        bool eventFilter(QObject *, QEvent *e) override {
            if (e->type() == QEvent::Hide || e->type() == QEvent::Destroy)
                loop->quit();
            return false;
        }
    } watcher;
    watcher.loop = &loop;
    installEventFilter(&watcher);
    loop.exec();
    if (self)
        removeEventFilter(&watcher);
}
