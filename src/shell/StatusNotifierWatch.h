#pragma once
// StatusNotifierWatch: follows the desktop's StatusNotifierItem watcher
// (org.kde.StatusNotifierWatcher on the session bus), through which panels
// such as KDE's, GNOME's AppIndicator extension and most Wayland panels
// show tray icons: whether it is there and whether a panel (a host) has
// registered with it. The bus reports the watcher's coming and going; the
// watcher itself is asked without waiting for its answer, so a watcher that
// hangs never holds the window up; it only leaves the state Unknown. UI
// thread.
#include <QObject>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

class StatusNotifierWatch : public QObject {
    Q_OBJECT
public:
    enum class State {
        Unknown, // asked, no answer yet (or the watcher does not answer)
        Absent,  // no watcher, or no session bus
        NoHost,  // a watcher, but no panel has registered with it
        Host,    // a panel shows StatusNotifierItems
    };

    explicit StatusNotifierWatch(QObject *parent = nullptr);

    State Current() const { return state_; }
    // Asks the watcher again whether a host is registered (the watcher
    // announces that with signals of its own, which this does not follow);
    // nothing when there is no watcher or a question is pending.
    void Refresh();

    // How long an answer is waited for, in the background.
    static constexpr int AnswerTimeoutMs = 5000;

Q_SIGNALS:
    // Current() has changed.
    void Changed();

private:
    void Ask();
    void Answered(QDBusPendingCallWatcher *call);
    void Set(State state);

    QDBusServiceWatcher *owners_ = nullptr; // null without a session bus
    State state_ = State::Unknown;
    // The question on its way, or null; an answer to one asked before the
    // watcher's owner changed is dropped.
    QDBusPendingCallWatcher *pending_ = nullptr;
};
