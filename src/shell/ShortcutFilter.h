#pragma once
// ShortcutFilter: makes the main window's menu shortcuts win over the
// focused control. A line edit claims every printable key for itself, so
// without this the digit keys would be typed into the search box instead of
// playing a favourite slot. For a key that is the shortcut of one of the
// window's enabled actions, the filter answers the control's claim with "not
// wanted", and the shortcut runs. UI thread.
#include <QObject>

class QKeyEvent;
class QWidget;

class ShortcutFilter : public QObject {
    Q_OBJECT
public:
    // Watches the application's events on behalf of `window`'s controls; it
    // goes with the window.
    explicit ShortcutFilter(QWidget *window);

    // True when `event` is the shortcut of an enabled action of the window.
    // The keypad's digits are not the digits: they never play a favourite,
    // they type into the search box like any other character.
    bool IsWindowShortcut(const QKeyEvent *event) const;
    static bool IsKeypadDigit(const QKeyEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
};
