#pragma once
// MprisService: Quorane on the desktop's session bus as an MPRIS2 media
// player, so that shells, media keys and sound menus show what plays and
// control it. It owns the object /org/mpris/MediaPlayer2 with its two
// interfaces (MprisRoot, MprisPlayer) and the bus name
// org.mpris.MediaPlayer2.quorane. It reads the player's state through
// MprisState, announces every change with PropertiesChanged, and runs the
// bus's commands after their reply has gone, since playing blocks the UI
// thread for as long as a stream takes to open. With no session bus it does
// nothing and says nothing. UI thread only.
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>

// What the service needs of the player, as the main window provides it.
struct MprisState {
    std::function<bool()> playing;      // a stream is playing
    std::function<QString()> title;     // the stream title, "" when none yet
    std::function<QString()> station;   // the station name, "" when unknown
    std::function<QString()> url;       // CurrentUrl
    std::function<int()> volume;        // the slider, 0 ... 100
    std::function<void(int)> setVolume; // moves the slider
    std::function<bool()> canGoNext;    // a favourite slot is filled
    std::function<void()> play;         // plays CurrentUrl anew through PlayUrl
    std::function<void()> next;         // the next filled favourite slot
    std::function<void()> previous;     // the previous filled favourite slot
    std::function<void()> stop;         // as the Stop command
    std::function<void()> raise;        // as "Show radio"
    std::function<void()> quit;         // the full shutdown, as File > Exit
};

class MprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char *ObjectPath = "/org/mpris/MediaPlayer2";
    static QString BusName() { return QStringLiteral("org.mpris.MediaPlayer2.quorane"); }

    MprisService(MprisState state, QObject *parent);
    ~MprisService() override;

    // True when the service is on a session bus under its name.
    bool Registered() const { return registered_; }
    // Reads the state again and announces what changed.
    void Refresh();
    // How often the state is looked at when nothing told of a change (a
    // stream that ended by itself).
    static constexpr int PollInterval = 1000;

    // ---- for the two interfaces ----
    QString PlaybackStatus() const { return status_; }
    QVariantMap Metadata() const { return metadata_; }
    double Volume() const { return volume_; }
    void SetVolume(double volume);
    // Play has something to play: a station played before in this run.
    bool CanPlay() const { return canPlay_; }
    // Pause stops, so it can while something plays.
    bool CanPause() const { return canPause_; }
    // Next and Previous step through the favourite slots: while one is filled.
    bool CanGoNext() const { return canGoNext_; }
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Raise();
    void Quit();

private:
    QString ReadStatus() const;
    QVariantMap ReadMetadata();
    // Runs `command` once control is back in the event loop.
    void Later(const std::function<void()> &command);
    void Announce(const QString &interface, const QVariantMap &changed);

    MprisState state_;
    QDBusConnection bus_;
    bool registered_ = false;
    QString busName_;
    QString status_;
    QVariantMap metadata_;
    double volume_ = 0;
    bool canPlay_ = false;
    bool canPause_ = false;
    bool canGoNext_ = false;
    // A new track id for every new title or station.
    QString trackKey_;
    int trackNumber_ = 0;
    QTimer poll_;
};
