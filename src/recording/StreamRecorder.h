#pragma once
// The recorder: takes a stream's audio from the engine's tap without ever
// holding up the engine's threads, and writes it song by song on a writer
// thread of its own (SongSplitter). The tap only copies each event into a
// bounded queue; when the disk cannot keep up and the queue is full, audio
// is dropped and the song under way becomes partial, but the engine never
// waits. The writer takes the queued events once a second. Every two
// seconds, and before it starts, it checks that
// the music folder's disk has room left; below the bound the recording
// stops and says so.
//
// Created and driven by one owner thread (the UI thread); TapProc runs on
// the engine's threads; the listener and everything in SongSplitter run on
// the writer thread.
#include "recording/SongSplitter.h"

#include "bass.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

class StreamRecorder {
public:
    struct Settings {
        QString MusicFolder;
        // Below this much free space on the music folder's disk, recording stops.
        qint64 MinFreeBytes = qint64(500) * 1024 * 1024;
        // Audio bytes queued for the writer at most before new ones are dropped.
        qsizetype MaxQueuedBytes = 8 * 1024 * 1024;
        SongSplitter::Rules Rules;
    };

    // The listener is called on the writer thread.
    StreamRecorder(Settings settings, SongSplitter::Listener listener);
    // Finishes what is queued (the song under way ends as partial) and
    // stops the writer thread.
    ~StreamRecorder();
    StreamRecorder(const StreamRecorder &) = delete;
    StreamRecorder &operator=(const StreamRecorder &) = delete;

    // Owner thread: the next events belong to this station's stream...
    void BeginStream(const SongSplitter::Station &station);
    // ...until this, called once its tap is removed.
    void EndStream();
    // The engine's tap (BASS_ChannelSetTap with this recorder as `user`).
    static void TapProc(DWORD channel, const BASS_TAPEVENT *event, void *user);

    // Waits until the writer has handled everything queued so far.
    void WaitIdle();
    // The song being recorded and how many seconds of it are in (any thread).
    QString SongTitle() const;
    double SongSeconds() const;

private:
    struct Event {
        enum class Kind { Begin, End, Connection, Data, Meta, Level, Gap } What = Kind::Gap;
        quint32 Serial = 0;
        quint64 Pos = 0;
        QByteArray Bytes;
        quint32 Frames = 0;
        quint32 Rate = 0;
        float MeanSquare = 0;
        SongSplitter::Station Station;
    };

    void Push(Event event);
    void Run();
    void Handle(Event &event);
    void CheckSpace();

    const Settings settings_;
    const SongSplitter::Listener listener_;

    mutable std::mutex mutex_;     // guards the queue and the fields up to the status
    std::condition_variable wake_; // events came, or the recorder is going
    std::condition_variable idle_; // the writer handled a batch
    std::deque<Event> queue_;
    qsizetype queuedBytes_ = 0;
    bool lost_ = false; // audio was dropped: a Gap goes before the next event
    bool quitting_ = false;
    quint64 pushed_ = 0;  // events queued ever...
    quint64 handled_ = 0; // ...and handled by the writer
    int waiters_ = 0;     // threads in WaitIdle: the writer does not linger
    QString songTitle_;   // the writer's latest status
    double songSeconds_ = 0;

    // Writer thread only.
    std::unique_ptr<SongSplitter> splitter_;
    std::chrono::steady_clock::time_point lastCheck_{};

    std::thread writer_; // last: starts once everything above exists
};
