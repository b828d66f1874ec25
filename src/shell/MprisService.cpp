#include "shell/MprisService.h"

#include "shell/MprisPlayer.h"
#include "shell/MprisRoot.h"
#include "window/Dispatch.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {

const QString PlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

MprisService::MprisService(MprisState state, QObject *parent)
    : QObject(parent), state_(std::move(state)), bus_(QDBusConnection::sessionBus()) {
    new MprisRoot(this);
    new MprisPlayer(this);
    status_ = ReadStatus();
    metadata_ = ReadMetadata();
    volume_ = state_.volume() / 100.0;
    canPlay_ = !state_.url().isEmpty();
    canPause_ = status_ == QStringLiteral("Playing");
    canGoNext_ = state_.canGoNext();
    // A headless machine has no session bus: the player runs without one.
    if (!bus_.isConnected())
        return;
    if (!bus_.registerObject(QString::fromLatin1(ObjectPath), this,
                             QDBusConnection::ExportAdaptors))
        return;
    busName_ = BusName();
    // A second Quorane takes a name of its own, as the media-player
    // interface asks of further instances.
    if (!bus_.registerService(busName_)) {
        busName_ =
            BusName() + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!bus_.registerService(busName_)) {
            bus_.unregisterObject(QString::fromLatin1(ObjectPath));
            return;
        }
    }
    registered_ = true;
    poll_.setInterval(PollInterval);
    Connect(&poll_, &QTimer::timeout, this, &MprisService::Refresh);
    poll_.start();
}

MprisService::~MprisService() {
    if (!registered_)
        return;
    bus_.unregisterService(busName_);
    bus_.unregisterObject(QString::fromLatin1(ObjectPath));
}

QString MprisService::ReadStatus() const {
    return state_.playing() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QVariantMap MprisService::ReadMetadata() {
    const QString url = state_.url();
    QString title = state_.title();
    const QString station = state_.station();
    QVariantMap m;
    if (url.isEmpty()) {
        m.insert(QStringLiteral("mpris:trackid"),
                 QVariant::fromValue(
                     QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return m;
    }
    // Each new title or station is a new track for the desktop.
    const QString key = url + QLatin1Char('\n') + title;
    if (key != trackKey_) {
        trackKey_ = key;
        ++trackNumber_;
    }
    m.insert(QStringLiteral("mpris:trackid"),
             QVariant::fromValue(
                 QDBusObjectPath(QStringLiteral("/org/quorane/Track/%1").arg(trackNumber_))));
    // Stations send "Artist - Title" more often than anything else.
    const qsizetype dash = title.indexOf(QLatin1String(" - "));
    if (dash > 0) {
        const QString artist = title.left(dash).trimmed();
        const QString rest = title.mid(dash + 3).trimmed();
        if (!artist.isEmpty() && !rest.isEmpty()) {
            m.insert(QStringLiteral("xesam:artist"), QStringList{artist});
            title = rest;
        }
    }
    // Before the first title a sound menu shows the station rather than nothing.
    if (title.isEmpty())
        title = station;
    if (!title.isEmpty())
        m.insert(QStringLiteral("xesam:title"), title);
    if (!station.isEmpty())
        m.insert(QStringLiteral("xesam:album"), station);
    m.insert(QStringLiteral("xesam:url"), url);
    return m;
}

void MprisService::Refresh() {
    QVariantMap changed;
    const QString status = ReadStatus();
    if (status != status_) {
        status_ = status;
        changed.insert(QStringLiteral("PlaybackStatus"), status_);
    }
    const QVariantMap metadata = ReadMetadata();
    if (metadata != metadata_) {
        metadata_ = metadata;
        changed.insert(QStringLiteral("Metadata"), metadata_);
    }
    const double volume = state_.volume() / 100.0;
    if (volume != volume_) {
        volume_ = volume;
        changed.insert(QStringLiteral("Volume"), volume_);
    }
    const auto follow = [&](bool now, bool &known, const char *name) {
        if (now == known)
            return;
        known = now;
        changed.insert(QString::fromLatin1(name), now);
    };
    follow(!state_.url().isEmpty(), canPlay_, "CanPlay");
    follow(status_ == QStringLiteral("Playing"), canPause_, "CanPause");
    const bool canGoNext = state_.canGoNext();
    if (canGoNext != canGoNext_)
        changed.insert(QStringLiteral("CanGoPrevious"), canGoNext);
    follow(canGoNext, canGoNext_, "CanGoNext");
    if (!changed.isEmpty())
        Announce(PlayerInterface, changed);
}

void MprisService::Announce(const QString &interface, const QVariantMap &changed) {
    if (!registered_)
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(ObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    bus_.send(signal);
}

void MprisService::Later(const std::function<void()> &command) {
    Post(this, [this, command] {
        command();
        Refresh();
    });
}

void MprisService::SetVolume(double volume) {
    if (std::isnan(volume))
        return;
    const int position = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100));
    state_.setVolume(position);
    Refresh();
}

void MprisService::Play() {
    Later([this] {
        if (!state_.playing() && !state_.url().isEmpty())
            state_.play();
    });
}

void MprisService::Pause() {
    Stop();
}

void MprisService::PlayPause() {
    Later([this] {
        if (state_.playing())
            state_.stop();
        else if (!state_.url().isEmpty())
            state_.play();
    });
}

void MprisService::Stop() {
    Later([this] { state_.stop(); });
}

void MprisService::Next() {
    Later([this] {
        if (state_.canGoNext())
            state_.next();
    });
}

void MprisService::Previous() {
    Later([this] {
        if (state_.canGoNext())
            state_.previous();
    });
}

void MprisService::Raise() {
    Later([this] { state_.raise(); });
}

void MprisService::Quit() {
    Later([this] { state_.quit(); });
}
