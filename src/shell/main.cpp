// Quorane: the program entry.
#include "platform/ui/QtPrompts.h"
#include "shell/Program.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    // Closing the main window ends the loop; the shutdown runs after it.
    QApplication::setQuitOnLastWindowClosed(true);
    QtPrompts prompts;
    Prompts::SetDefault(&prompts);
    return Program::Main();
}
