#include "shell/StatusNotifierWatch.h"

#include "window/Dispatch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

StatusNotifierWatch::StatusNotifierWatch(QObject *parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        state_ = State::Absent;
        return;
    }
    // The bus itself reports the watcher's owner changing (a panel started,
    // restarted or gone); set up before the first question, so no change
    // after its answer is missed.
    owners_ = new QDBusServiceWatcher(WatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange,
                                      this);
    Connect(owners_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                // Whatever the old owner was asked no longer counts.
                delete pending_;
                pending_ = nullptr;
                if (newOwner.isEmpty())
                    Set(State::Absent);
                else
                    Ask();
            });
    Ask();
}

void StatusNotifierWatch::Refresh() {
    if (owners_ && state_ != State::Absent)
        Ask();
}

void StatusNotifierWatch::Ask() {
    if (pending_)
        return;
    QDBusMessage get = QDBusMessage::createMethodCall(
        WatcherService, WatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << WatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    pending_ = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(get, AnswerTimeoutMs), this);
    QDBusPendingCallWatcher *call = pending_;
    Connect(pending_, &QDBusPendingCallWatcher::finished, this, [this, call] { Answered(call); });
}

void StatusNotifierWatch::Answered(QDBusPendingCallWatcher *call) {
    call->deleteLater();
    if (call != pending_)
        return;
    pending_ = nullptr;
    const QDBusMessage reply = call->reply();
    if (reply.type() == QDBusMessage::ReplyMessage) {
        const bool host = !reply.arguments().isEmpty() &&
                          reply.arguments().first().value<QDBusVariant>().variant().toBool();
        Set(host ? State::Host : State::NoHost);
        return;
    }
    const QString error = reply.errorName();
    if (error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        Set(State::Absent);
    else if (error == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
             error == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
             error == QLatin1String("org.freedesktop.DBus.Error.TimedOut"))
        Set(State::Unknown); // it is there but does not answer
    else
        Set(State::NoHost); // it answered, without a host to tell of
}

void StatusNotifierWatch::Set(State state) {
    if (state == state_)
        return;
    state_ = state;
    Q_EMIT Changed();
}
