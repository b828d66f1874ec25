#include "shell/ShortcutFilter.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

ShortcutFilter::ShortcutFilter(QWidget *window) : QObject(window), window_(window) {
    // Installed on the application: the override is sent to whichever control
    // has the focus, and the window's controls change over its life.
    qApp->installEventFilter(this);
}

bool ShortcutFilter::IsWindowShortcut(const QKeyEvent *event) const {
    const int key = event->key();
    if (key == 0 || key == Qt::Key_unknown)
        return false;
    const QKeySequence pressed(
        QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(key)));
    const QList<QAction *> actions = window_->actions();
    for (const QAction *action : actions) {
        if (action->isEnabled() && action->shortcuts().contains(pressed))
            return true;
    }
    return false;
}

bool ShortcutFilter::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::ShortcutOverride || !watched->isWidgetType())
        return false;
    const auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != window_)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (!IsWindowShortcut(key))
        return false;
    // An ignored override tells the shortcut map that no control wants the
    // key; returning true keeps the control from accepting it.
    key->ignore();
    return true;
}
