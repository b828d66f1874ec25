// The player's own run (Program::Main) in a process of its own, under the
// stall resolver (LD_PRELOAD), for the test of an exit while a name lookup
// hangs. Once the main window is up it plays a station whose host name the
// resolver still answers, then makes every lookup of that name hang and
// drops the station's connection, so that the engine reconnects and its
// lookup never answers. With that lookup waiting, a station is added to the
// list and the window is closed: the full shutdown runs, the engine is
// released and unloaded, and the process ends. The resolver answers the
// waiting lookup as the process ends. Exit code 0 is the player's own;
// 3: the station did not play, 4: the reconnect's lookup never started.
// usage: stalled_exit_child <application folder>
#include "fixtures/IcyServer.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/ScriptedPrompts.h"
#include "playback/PlaybackState.h"
#include "shell/Program.h"
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTimer>
#include <cstdio>
#include <dlfcn.h>

namespace {

template <typename Fn> Fn *Resolver(const char *name) {
    return reinterpret_cast<Fn *>(dlsym(RTLD_DEFAULT, name));
}

TForm1 *VisibleMainWindow() {
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *f = qobject_cast<TForm1 *>(w); f && f->isVisible())
            return f;
    return nullptr;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: stalled_exit_child <application folder>\n");
        return 2;
    }
    auto *stall = Resolver<void(int)>("quorane_resolver_stall");
    auto *waiting = Resolver<int()>("quorane_resolver_waiting");
    if (!stall || !waiting) {
        std::fprintf(stderr, "run with LD_PRELOAD of the stall resolver\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(true);
    AppPaths::SetExecutableForTesting(QString::fromLocal8Bit(argv[1]) + "/Quorane");
    ScriptedPrompts prompts; // an unexpected box is recorded, never waited on
    Prompts::Install(&prompts);

    quorane::test::IcyServer server;
    quorane::test::StreamMount mount;
    mount.audioFile = quorane::test::fixtureAudio("tone440.mp3");
    mount.contentType = "audio/mpeg";
    server.addStream("/live", mount);
    const QByteArray url =
        "http://stall.quorane.test:" + QByteArray::number(server.port()) + "/live";

    enum class Step { Start, Playing, Stalled } step = Step::Start;
    int failure = 0;
    QElapsedTimer inStep;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TForm1 *form = VisibleMainWindow();
        if (!form)
            return;
        const auto giveUp = [&](int code, const char *why) {
            std::fprintf(stderr, "%s\n", why);
            failure = code;
            poll.stop();
            form->close();
        };
        switch (step) {
        case Step::Start:
            form->Stations.Insert(0, "Stalled FM\t\t\t\t\t" + QString::fromLatin1(url) + "\t");
            form->Model->SetRowCount(form->Stations.Count());
            form->sListView1->selectionModel()->select(form->Model->index(0, 0),
                                                       QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
            form->sListView1DblClick();
            step = Step::Playing;
            inStep.start();
            return;
        case Step::Playing: {
            const PlaybackState &p = form->Playback;
            if (p.Channel == 0 || p.Bass.BASS_ChannelIsActive(p.Channel) != BASS_ACTIVE_PLAYING) {
                if (inStep.elapsed() > 20000)
                    giveUp(3, "the station did not play");
                return;
            }
            stall(1);
            server.dropClients();
            step = Step::Stalled;
            inStep.start();
            return;
        }
        case Step::Stalled:
            if (waiting() == 0) {
                if (inStep.elapsed() > 20000)
                    giveUp(4, "the reconnect's name lookup never started");
                return;
            }
            poll.stop();
            form->Stations.Insert(0, "Added Radio\t\t\t\t\thttp://added.example/\t");
            form->Model->SetRowCount(form->Stations.Count());
            std::printf("closing while %d lookup(s) wait\n", waiting());
            std::fflush(stdout);
            form->close();
            return;
        }
    });
    poll.start();

    const int rc = Program::Main();
    Prompts::Install(nullptr);
    for (const auto &box : prompts.ErrorBoxes())
        std::printf("error box: %s\n", qPrintable(box.text));
    std::printf("shutdown done, lookups waiting: %d\n", waiting());
    std::fflush(stdout);
    return failure ? failure : rc;
}
