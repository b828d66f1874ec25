#include "shell/TerminationWatcher.h"

#include "window/Dispatch.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The pipe's write end, used by the signal handler; set once before the
// handlers are installed and never changed while they are.
volatile sig_atomic_t g_writeFd = -1;

constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnSignal(int sig) {
    // Only async-signal-safe calls here: one write, errno kept as it was.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationWatcher::TerminationWatcher(QObject *parent) : QObject(parent) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no pipe: the signals keep their default action, ending at once
    readFd_ = fds[0];
    g_writeFd = fds[1];
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    Connect(notifier_, &QSocketNotifier::activated, this, &TerminationWatcher::OnPipeReadable);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: a second signal takes the default action, so a shutdown
    // that hangs can still be ended by the same request.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int sig : Signals)
        ::sigaction(sig, &action, nullptr);

    // The session manager asks running programs to save before the session
    // ends; everything Quorane keeps is written by its shutdown.
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        Connect(gui, &QGuiApplication::commitDataRequest, this, &TerminationWatcher::Request);
    }
}

TerminationWatcher::~TerminationWatcher() {
    if (requested_)
        Prompts::Install(promptsBefore_);
    if (readFd_ < 0)
        return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int sig : Signals)
        ::sigaction(sig, &action, nullptr);
    const int writeFd = g_writeFd;
    g_writeFd = -1;
    ::close(writeFd);
    ::close(readFd_);
}

void TerminationWatcher::OnPipeReadable() {
    unsigned char byte = 0;
    while (::read(readFd_, &byte, 1) == 1) {
        if (signal_ == 0)
            signal_ = byte;
    }
    Request();
}

void TerminationWatcher::Request() {
    if (!requested_) {
        promptsBefore_ = Prompts::Installed();
        Prompts::Install(&quietPrompts_);
    }
    requested_ = true;
    // exit() ends every running loop, a modal dialog's included, so the
    // shutdown is never held up by a box the user left open.
    QCoreApplication::exit(0);
}
