// Quorane: the program entry.
#include "platform/ui/QtPrompts.h"
#include "shell/Program.h"
#include "shell/TerminationWatcher.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    // Closing the main window ends the loop; the shutdown runs after it.
    QApplication::setQuitOnLastWindowClosed(true);
    QtPrompts prompts;
    Prompts::SetDefault(&prompts);
    // SIGTERM, SIGINT, SIGHUP and the session's end close Quorane as the
    // user's Exit does.
    TerminationWatcher termination;

    Program program;
    if (program.Aborted())
        return 0;
    if (!termination.Requested())
        program.Run();
    program.Shutdown();
    return 0;
}
