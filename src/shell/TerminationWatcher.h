#pragma once
// TerminationWatcher: turns a polite request to end (SIGTERM, SIGINT, SIGHUP,
// or the desktop session ending) into a normal end of the message loop, so
// the full shutdown runs and every change of the run is written, as when the
// user closes the window. The signal handler only writes the signal's number
// to a pipe; a socket notifier reads it on the UI thread, where ending the
// loop is safe. After the first signal the default action is back, so a
// second one ends a program whose shutdown hangs. From the request on, and
// until the watcher goes, boxes go to standard error (StandardErrorPrompts):
// nobody may be there to answer one, and the session will not wait, so a
// save that fails is reported without holding up the end. One per process;
// created and used on the UI thread.
#include "platform/StandardErrorPrompts.h"

#include <QObject>

class QSocketNotifier;

class TerminationWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. Create it before the start-up, so that a signal
    // that arrives while the windows are built is honoured too.
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    // True once an end was requested; a request that came before the loop
    // ran means the loop must not start at all.
    bool Requested() const { return requested_; }
    // The signal that asked for the end, 0 for none or for the session's end.
    int Signal() const { return signal_; }

private:
    void OnPipeReadable();
    void Request();
    // Read end of the self-pipe, watched on the UI thread; the write end is
    // process-wide, as the signal handler must reach it.
    int readFd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    bool requested_ = false; // UI thread
    int signal_ = 0;         // UI thread
    // In place of the prompts from the request on; the ones before it come
    // back when the watcher goes. UI thread.
    StandardErrorPrompts quietPrompts_;
    Prompts *promptsBefore_ = nullptr;
};
