#include "history/HistoryWriter.h"

#include "history/HistoryFile.h"
#include "platform/AtomicFile.h"

#include <cstdio>

HistoryWriter::HistoryWriter(QString path) : path_(std::move(path)), thread_([this] { Run(); }) {}

HistoryWriter::~HistoryWriter() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void HistoryWriter::Write(QList<SongEntry> entries) {
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(entries);
    }
    wake_.notify_one();
}

bool HistoryWriter::Flush() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !writing_; });
    return !lastFailed_;
}

void HistoryWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || quit_; });
        if (!pending_)
            return; // quitting with nothing left to write
        const QList<SongEntry> entries = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();

        QString reason;
        const bool written = WriteFileAtomically(path_, HistoryFile::Format(entries), &reason);

        lock.lock();
        writing_ = false;
        lastFailed_ = !written;
        if (!written && reason != reportedReason_) {
            reportedReason_ = reason;
            std::fprintf(stderr, "Quorane: cannot write the song history to %s: %s\n",
                         path_.toLocal8Bit().constData(), reason.toLocal8Bit().constData());
        }
        if (!pending_)
            idle_.notify_all();
    }
}
