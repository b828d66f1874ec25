#pragma once
// TitleNotifier: tells the desktop's notification service
// (org.freedesktop.Notifications on the session bus) of a new title, with
// the station as the summary, the title as the body and Quorane's icon.
// Each notification replaces the one before it (replaces_id), so a run of
// titles leaves one notification, not a stack. Nothing waits for the
// service: calls go out asynchronously, and a title that comes while one is
// on its way waits for its answer (only the newest such title is kept), so
// that it can name the notification to replace. With no session bus or no
// service nothing happens and nothing is said. UI thread.
#include "history/NotificationImage.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <optional>
#include <utility>

class QDBusError;
class QDBusMessage;

class TitleNotifier : public QObject {
    Q_OBJECT
public:
    static QString Service() { return QStringLiteral("org.freedesktop.Notifications"); }
    static QString ObjectPath() { return QStringLiteral("/org/freedesktop/Notifications"); }
    // How long an answer is waited for before the service counts as gone.
    static constexpr int CallTimeoutMs = 5000;

    // On the session bus as the program found it at start.
    explicit TitleNotifier(QObject *parent = nullptr);

    // The icon's name in the desktop's icon theme and its picture.
    void SetIcon(const QString &name, const NotificationImage &image);
    // Shows `summary` and `body`, replacing the notification shown last.
    void Notify(const QString &summary, const QString &body);
    // The id the service gave the last notification; 0 before the first.
    uint LastId() const { return id_; }

private Q_SLOTS:
    void CapabilitiesAnswered(const QDBusMessage &reply);
    void NotifyAnswered(const QDBusMessage &reply);
    void CallFailed(const QDBusError &error, const QDBusMessage &call);

private:
    // Sends what is due: the service's capabilities first, once; then the
    // newest title waiting, unless a call is on its way.
    void Pump();
    bool Call(const QString &method, const QVariantList &args, const char *answered);

    QDBusConnection bus_;
    QString iconName_;
    NotificationImage image_;
    std::optional<std::pair<QString, QString>> waiting_; // summary and body
    bool inFlight_ = false;
    bool capabilitiesKnown_ = false;
    // The service reads the body as markup: "&" and "<" must be escaped.
    bool bodyMarkup_ = false;
    uint id_ = 0;
};
