#include "history/TitleNotifier.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QStringList>
#include <QVariantMap>

TitleNotifier::TitleNotifier(QObject *parent)
    : QObject(parent), bus_(QDBusConnection::sessionBus()) {
    qDBusRegisterMetaType<NotificationImage>();
}

void TitleNotifier::SetIcon(const QString &name, const NotificationImage &image) {
    iconName_ = name;
    image_ = image;
}

void TitleNotifier::Notify(const QString &summary, const QString &body) {
    if (!bus_.isConnected())
        return;
    waiting_ = std::make_pair(summary, body);
    Pump();
}

bool TitleNotifier::Call(const QString &method, const QVariantList &args, const char *answered) {
    QDBusMessage call = QDBusMessage::createMethodCall(Service(), ObjectPath(), Service(), method);
    call.setArguments(args);
    inFlight_ = bus_.callWithCallback(call, this, answered,
                                      SLOT(CallFailed(QDBusError, QDBusMessage)), CallTimeoutMs);
    return inFlight_;
}

void TitleNotifier::Pump() {
    if (inFlight_ || !waiting_)
        return;
    if (!capabilitiesKnown_) {
        if (!Call(QStringLiteral("GetCapabilities"), {}, SLOT(CapabilitiesAnswered(QDBusMessage))))
            waiting_.reset();
        return;
    }
    const auto [summary, body] = *waiting_;
    waiting_.reset();
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quorane"));
    // A new song is worth a glance, not an interruption.
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(0)));
    if (!image_.IsNull())
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(image_));
    Call(QStringLiteral("Notify"),
         {QStringLiteral("Quorane"), id_, iconName_, summary,
          bodyMarkup_ ? body.toHtmlEscaped() : body, QStringList(), hints, -1},
         SLOT(NotifyAnswered(QDBusMessage)));
}

void TitleNotifier::CapabilitiesAnswered(const QDBusMessage &reply) {
    inFlight_ = false;
    capabilitiesKnown_ = true;
    const QVariantList args = reply.arguments();
    bodyMarkup_ =
        !args.isEmpty() && args.first().toStringList().contains(QStringLiteral("body-markup"));
    Pump();
}

void TitleNotifier::NotifyAnswered(const QDBusMessage &reply) {
    inFlight_ = false;
    const QVariantList args = reply.arguments();
    if (!args.isEmpty())
        id_ = args.first().toUInt();
    Pump();
}

void TitleNotifier::CallFailed(const QDBusError &, const QDBusMessage &call) {
    inFlight_ = false;
    // No service (or one that does not answer): this title is not shown,
    // and the next one asks again, in case a service has come since.
    if (call.member() == QStringLiteral("GetCapabilities"))
        waiting_.reset();
    else
        capabilitiesKnown_ = false;
    Pump();
}
