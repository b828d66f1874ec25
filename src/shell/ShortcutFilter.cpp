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

bool ShortcutFilter::IsKeypadDigit(const QKeyEvent *event) {
    return (event->modifiers() & Qt::KeypadModifier) && event->key() >= Qt::Key_0 &&
           event->key() <= Qt::Key_9;
}

bool ShortcutFilter::IsWindowShortcut(const QKeyEvent *event) const {
    const int key = event->key();
    if (key == 0 || key == Qt::Key_unknown || IsKeypadDigit(event))
        return false;
    const QKeySequence pressed(QKeyCombination(event->modifiers(), Qt::Key(key)));
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
    if (IsKeypadDigit(key)) {
        // Qt would try a keypad key again without its keypad flag and so
        // run the favourite of the main keyboard's digit; claiming it for
        // the focused control keeps it a plain character.
        key->accept();
        return true;
    }
    if (!IsWindowShortcut(key))
        return false;
    // An ignored override tells the shortcut map that no control wants the
    // key; returning true keeps the control from accepting it.
    key->ignore();
    return true;
}
