#pragma once
// SongHistory: every title the listener heard, oldest first, the newest
// MaxEntries of them, kept across runs in History.txt. A title that the
// stream repeats within one station's run (the same title again before
// another one or another station) is not a new entry. The file is read once
// at start-up, written at most once every SaveIntervalMs while titles
// arrive (so a crash loses at most that much), at once when the user clears
// the history, and at exit; writing happens on HistoryWriter's thread. A
// file that could not be read is never written over. Lives on the UI thread.
#include "history/SongEntry.h"

#include <QBasicTimer>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <memory>

class HistoryWriter;

class SongHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxEntries = 10000;
    static constexpr int SaveIntervalMs = 60000;

    explicit SongHistory(QObject *parent = nullptr);
    // Waits for a write in progress; writes nothing itself (Save does).
    ~SongHistory() override;

    // Reads the history from `path`, the file it is written to from then
    // on. A file that is there but cannot be read is left as it is: the
    // reason goes to standard error, the history starts empty and is kept
    // for this run only.
    void Load(const QString &path);
    // A title heard on the stream `source` (its URL: what tells one
    // station's run from the next), shown as `station`. Returns true when it
    // became a new entry.
    bool Record(const QByteArray &source, const QString &station, const QString &title,
                const QDateTime &when = QDateTime::currentDateTime());
    // Forgets every entry, also on disk.
    void Clear();
    // Writes the history now and waits until it is on disk: at exit.
    void Save();

    const QList<SongEntry> &Entries() const { return entries_; }
    // The file, empty before Load.
    QString Path() const;
    bool FileUnreadable() const { return unreadable_; }

    // Tests: a shorter interval between writes.
    void SetSaveIntervalForTesting(int ms) { saveIntervalMs_ = ms; }

Q_SIGNALS:
    // One entry was added at the end (the newest).
    void Added();
    // The `count` oldest entries go, to keep the history at MaxEntries:
    // told before and after, so that a view sees whole states only.
    void DroppingOldest(int count);
    void OldestDropped(int count);
    // The history is emptied: told before and after.
    void Clearing();
    void Cleared();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    // Hands the entries to the writer when the file may be written.
    void WriteNow();
    // Writes once the interval since the last write has passed.
    void ScheduleWrite();

    QList<SongEntry> entries_;
    // The stream and title heard last: a repeat of both is no new entry.
    QByteArray lastSource_;
    QString lastTitle_;
    std::unique_ptr<HistoryWriter> writer_; // null until Load, or when unreadable
    bool unreadable_ = false;
    bool dirty_ = false; // entries changed since they were last handed over
    QBasicTimer saveTimer_;
    QElapsedTimer sinceWrite_; // invalid until the first write
    int saveIntervalMs_ = SaveIntervalMs;
};
