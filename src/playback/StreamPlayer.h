#pragma once
// The stream player: one stream at a time, opened through the engine, its
// buffer filled beyond three quarters, the station name and bitrate taken
// from the response headers, then played with its metadata, stalls and end
// followed.
//
// Opening and the buffer wait run on a worker thread of their own, so the
// window repaints and takes commands meanwhile. A new play command or Stop
// abandons the pending open at once: its worker frees whatever stream it
// got, and nothing of it reaches the window. Everything else here runs on
// the UI thread; the engine's notifications only copy what they carry and
// queue it to the UI thread, where blocks of a stream that is no longer
// `Channel` are dropped.
#include "playback/PlaybackState.h"
#include "playback/PlayerView.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <thread>

// The buffer wait's bound: a stream whose buffer has not filled this long
// after its first audio plays what it has.
inline constexpr int PrebufferLimitMs = 5000;

// The player's side of playing a stream. Owned by the main window, next to
// the PlaybackState it works on; lives on the UI thread.
class StreamPlayer : public QObject {
    Q_OBJECT
public:
    StreamPlayer(PlaybackState &state, PlayerView &view);
    // Abandons a pending open and waits for every worker to leave the engine.
    ~StreamPlayer() override;

    // Releases the current stream and starts opening `url` (callers set
    // CurrentUrl to it first; the status texts are built from CurrentUrl).
    // When the open ends and no newer command came, the stream plays (or
    // "Can't open " shows) and then `finished` runs, on the UI thread, told
    // whether the stream opened.
    void PlayUrl(const QByteArray &url, std::function<void(bool opened)> finished = {});
    // True from PlayUrl until its open ends or is abandoned.
    bool Connecting() const { return pending_ != nullptr; }
    // Abandons a pending open and stops the current stream; it stays
    // allocated.
    void StopStream();
    // The output volume from the slider's position 0 ... 100, times
    // `factor` (0 ... 1) while the sleep timer fades it.
    void SetOutputVolume(int position, double factor = 1.0);
    // Before the engine is unloaded: abandons a pending open and waits until
    // no worker is inside the engine any more (the engine bounds each open).
    void Shutdown();

    // The engine's notifications, registered with `this` as their user
    // value. They run on an engine thread.
    static void MetaSyncProc(DWORD sync, DWORD channel, DWORD data, void *user);
    // data 1: the connection was lost and the engine reconnects; data 0:
    // sound plays again.
    static void StallSyncProc(DWORD sync, DWORD channel, DWORD data, void *user);
    // The stream has ended for good: data 1, its reconnect attempts ran out;
    // data 0, a stream of known length played to its end.
    static void EndSyncProc(DWORD sync, DWORD channel, DWORD data, void *user);

private:
    // One open on its way; shared by the UI thread and its worker.
    struct OpenJob {
        std::atomic<bool> abandoned{false}; // set by the UI thread
        std::atomic<bool> done{false};      // set by the worker as it leaves
        // The stream the worker handed over (0: none, or freed by the worker
        // itself); written by the worker before `done`.
        std::atomic<DWORD> handle{0};
        // The UI thread has taken the handed-over stream (or there is none).
        bool delivered = false;
        std::thread worker; // joined by the UI thread
    };

    // Worker: opens the URL, waits for the buffer, hands the handle over.
    void RunOpen(std::shared_ptr<OpenJob> job, QByteArray url);
    // Worker: the buffer wait, bounded by PrebufferLimitMs and by abandoning.
    static void Prebuffer(const BassEntryPoints &bass, DWORD handle, const OpenJob &job);
    // UI thread: the open ended; plays the stream unless it was abandoned.
    void Opened(const std::shared_ptr<OpenJob> &job, DWORD handle);
    // UI thread: the station name and bitrate from the response headers.
    void ReadIcy();
    // UI thread: a block the engine announced on `channel`.
    void MetaArrived(DWORD channel, const QByteArray &block);
    // UI thread: the stream on `channel` stalled (true) or plays again.
    void Stalled(DWORD channel, bool stalled);
    // UI thread: the stream on `channel` has ended for good; `lost`: because
    // its connection was lost, not because it played to its end.
    void Ended(DWORD channel, bool lost);
    void AbandonPending();
    // Joins the workers that have left; with `all`, waits for every one.
    void JoinWorkers(bool all);
    bool EngineLoaded() const { return state_.AudioLibHandle != nullptr; }

    PlaybackState &state_;
    PlayerView &view_;
    // The open in progress, or null. UI thread.
    std::shared_ptr<OpenJob> pending_;
    // What runs when the pending open ends. UI thread.
    std::function<void(bool opened)> finished_;
    // What status panel 0 showed when the stream lost its connection, shown
    // again when sound is back; null while not reconnecting. UI thread.
    QString beforeReconnect_;
    // Every worker not yet joined, abandoned ones included. UI thread.
    std::list<std::shared_ptr<OpenJob>> jobs_;
};
