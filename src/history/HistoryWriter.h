#pragma once
// HistoryWriter: puts the song history on disk from a thread of its own, so
// the UI thread never waits for the disk while titles arrive. The UI thread
// hands over a snapshot (an implicitly shared copy, so handing over costs
// nothing) and goes on; the writer formats it and replaces the file
// atomically. Only the newest snapshot not yet begun is kept: an older one
// would be written over at once anyway. A write that fails is told on
// standard error once, and the next snapshot tries again.
#include "history/SongEntry.h"

#include <QList>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class HistoryWriter {
public:
    explicit HistoryWriter(QString path);
    // Writes what was handed over and not yet written, then ends the thread.
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // UI thread: queues `entries` (oldest first) for the file; returns at once.
    void Write(QList<SongEntry> entries);
    // UI thread: waits until everything handed over is on disk (or failed).
    // Returns false when the last write failed.
    bool Flush();
    const QString &Path() const { return path_; }

private:
    void Run();

    const QString path_;
    // Guards the fields below; the thread waits on `wake_`, Flush on `idle_`.
    std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::optional<QList<SongEntry>> pending_; // handed over, not yet begun
    bool writing_ = false;                    // a snapshot is being written
    bool quit_ = false;
    bool lastFailed_ = false;
    QString reportedReason_; // the failure told on standard error last
    std::thread thread_;     // started last, once the fields above exist
};
