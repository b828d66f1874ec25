// The player's own run (Program::Main) in a process of its own, for the
// session-end test: once the main window is up, the run's changes are made
// as the user makes them (a station added, set to favourite slot 1, the
// volume moved) and the desktop session's end is announced through the
// application's own session manager, as Qt does when the session manager
// asks running programs to save. Prints how long the end took; exit code 0
// is the player's own, 5 means the request was never made, 6 that the end
// took more than 3 s. With --without-data the Data folder is removed just
// before the end is announced, so saving the station list fails.
// usage: session_end_child <application folder> [--without-data]
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"
#include "shell/Program.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QSessionManager>
#include <QSlider>
#include <QTimer>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    const bool withoutData = argc == 3 && std::strcmp(argv[2], "--without-data") == 0;
    if (argc != 2 && !withoutData) {
        std::fprintf(stderr, "usage: session_end_child <application folder> [--without-data]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    AppPaths::SetExecutableForTesting(QString::fromLocal8Bit(argv[1]) + "/Quorane");
    ScriptedPrompts prompts; // an unexpected box is recorded, never waited on
    Prompts::Install(&prompts);

    QElapsedTimer sinceRequest;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TForm1 *form = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *f = qobject_cast<TForm1 *>(w); f && f->isVisible())
                form = f;
        if (!form)
            return;
        poll.stop();
        form->Stations.Insert(0,
                              "Session Radio\tend\tTalk\tUK\tEnglish\thttp://session.example/\t");
        form->Model->SetRowCount(form->Stations.Count());
        form->sListView1->selectionModel()->select(form->Model->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
        form->SetSlot[0]->trigger();
        form->sTrackBar1->setValue(37);
        auto *manager = app.findChild<QSessionManager *>();
        if (!manager) {
            std::fprintf(stderr, "the application has no session manager\n");
            std::exit(4);
        }
        if (withoutData)
            QDir(QString::fromLocal8Bit(argv[1]) + "/Data").removeRecursively();
        sinceRequest.start();
        Q_EMIT app.commitDataRequest(*manager);
    });
    poll.start();

    const int rc = Program::Main();
    Prompts::Install(nullptr);
    if (!sinceRequest.isValid())
        return 5;
    const qint64 ms = sinceRequest.elapsed();
    std::printf("ended %lld ms after the session's end was announced\n",
                static_cast<long long>(ms));
    for (const auto &box : prompts.ErrorBoxes())
        std::printf("error box: %s\n", qPrintable(box.text));
    return ms > 3000 ? 6 : rc;
}
