#pragma once
// SingleInstance: one run of Quorane per settings file. Two runs on the same
// files would each write the station list and the settings at their exit,
// and the last one would win, so a start that finds another run on its
// files asks that one to come to the front and ends at once, writing
// nothing. Copies with files of their own (another folder) run side by side.
//
// The run is told by a lock beside the settings file (flock, which the
// system lets go when the process ends, however it ends); the request to
// come to the front travels over a local socket named after the settings
// file, which only the lock's holder listens on. UI thread.
#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Guards the run whose settings file is `settingsFile`; nothing is taken
    // before Claim().
    explicit SingleInstance(const QString &settingsFile, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Claimed {
        // This run holds the lock and takes requests to come to the front.
        First,
        // Another run holds it: it was asked to come to the front, or it is
        // ending and did not let go within ClaimWaitMs. This run must end.
        Another,
        // The lock could not be made (a folder that cannot be written): the
        // run goes on unguarded, as it would have without the lock.
        Unguarded,
    };
    // Takes the lock. When another run holds it, asks that run to come to
    // the front; a run that is ending (its window is gone, it is writing its
    // files) is waited for, so a quick restart reads what it wrote.
    Claimed Claim();
    // The run is ending: requests are no longer taken, so a new start waits
    // for the lock instead; the lock itself is kept until the object goes.
    void StopListening();

    // The longest a start waits for a run that holds the lock but no longer
    // takes requests.
    static constexpr int ClaimWaitMs = 10000;

    // The lock file and the socket's name for a settings file.
    static QString LockFileFor(const QString &settingsFile);
    static QString ServerNameFor(const QString &settingsFile);

Q_SIGNALS:
    // Another start asked this run to bring its window to the front.
    void RaiseRequested();

private:
    bool Listen();
    // Asks the run holding the lock to come to the front; true once it said
    // it will.
    bool AskToRaise() const;
    void OnConnection();

    QString lockFile_;
    QString serverName_;
    int fd_ = -1;                    // the open lock file, or -1
    QLocalServer *server_ = nullptr; // while this run takes requests
};
