#include "history/SongHistory.h"

#include "history/HistoryFile.h"
#include "history/HistoryWriter.h"

#include <QTimerEvent>
#include <cstdio>

SongHistory::SongHistory(QObject *parent) : QObject(parent) {}

SongHistory::~SongHistory() = default;

void SongHistory::Load(const QString &path) {
    HistoryFile::Contents contents = HistoryFile::Read(path, MaxEntries);
    unreadable_ = contents.unreadable;
    if (unreadable_) {
        std::fprintf(stderr,
                     "Quorane: cannot read the song history %s: %s. The history starts empty "
                     "and the file is left as it is.\n",
                     path.toLocal8Bit().constData(), contents.reason.toLocal8Bit().constData());
        writer_.reset();
        return;
    }
    // Titles heard before the file was read come after the stored ones.
    entries_ = std::move(contents.entries) + entries_;
    writer_ = std::make_unique<HistoryWriter>(path);
}

QString SongHistory::Path() const {
    return writer_ ? writer_->Path() : QString();
}

bool SongHistory::Record(const QByteArray &source, const QString &station, const QString &title,
                         const QDateTime &when) {
    const QString cleanTitle = HistoryFile::Clean(title);
    if (cleanTitle.isEmpty())
        return false;
    if (source == lastSource_ && cleanTitle == lastTitle_)
        return false;
    lastSource_ = source;
    lastTitle_ = cleanTitle;
    // The file keeps whole seconds and the offset from UTC; so does the
    // entry, so that what is shown now is what comes back after a restart.
    QDateTime time = when.toOffsetFromUtc(when.offsetFromUtc());
    time.setMSecsSinceEpoch(when.toMSecsSinceEpoch() / 1000 * 1000);
    entries_.append(SongEntry{time, HistoryFile::Clean(station), cleanTitle});
    Q_EMIT Added();
    if (entries_.size() > MaxEntries) {
        const int drop = int(entries_.size() - MaxEntries);
        Q_EMIT DroppingOldest(drop);
        entries_.remove(0, drop);
        Q_EMIT OldestDropped(drop);
    }
    dirty_ = true;
    ScheduleWrite();
    return true;
}

void SongHistory::Clear() {
    Q_EMIT Clearing();
    entries_.clear();
    Q_EMIT Cleared();
    // The user asked for it gone: it goes from the disk now, not in a minute.
    dirty_ = true;
    WriteNow();
}

void SongHistory::Save() {
    saveTimer_.stop();
    if (dirty_)
        WriteNow();
    if (writer_)
        writer_->Flush();
}

void SongHistory::ScheduleWrite() {
    if (saveTimer_.isActive())
        return;
    const qint64 since = sinceWrite_.isValid() ? sinceWrite_.elapsed() : saveIntervalMs_;
    saveTimer_.start(int(qMax<qint64>(0, saveIntervalMs_ - since)), this);
}

void SongHistory::timerEvent(QTimerEvent *event) {
    if (event->timerId() != saveTimer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    saveTimer_.stop();
    if (dirty_)
        WriteNow();
}

void SongHistory::WriteNow() {
    if (!writer_)
        return;
    writer_->Write(entries_);
    dirty_ = false;
    sinceWrite_.start();
}
