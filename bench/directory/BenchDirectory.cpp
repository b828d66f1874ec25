// The find window against the directory fixture on 127.0.0.1 (offscreen),
// beside the real main window:
// - the time from the last key of a name to the results drawn in the table,
//   for a name 10 stations match and one 10,000 match (a page of 100 shown),
//   less the pause the window waits after the last key and the fixture's
//   own time to answer, against 100 ms;
// - the main window's longest event-loop stall while the user searches,
//   types, changes filters and scrolls through pages, against 50 ms.
// Each time is the median of several runs.
#include "DirectoryServer.h"
#include "common/BenchAppFolder.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryLimits.h"
#include "directory/DirectoryResultsModel.h"
#include "directory/DirectorySearch.h"
#include "directory/ui/TFormFindStations.h"
#include "shell/TForm1.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

constexpr double BeyondBoundMs = 100.0;
constexpr double StallBoundMs = 50.0;
constexpr int Runs = 7;

bool WaitUntil(const std::function<bool()> &done, int ms) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return done();
}

// Notes when the table's viewport is painted.
class PaintWatch : public QObject {
public:
    qint64 paintedAt = -1;
    QElapsedTimer *clock = nullptr;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint && paintedAt < 0)
            paintedAt = clock->nsecsElapsed();
        return false;
    }
};

// The CPU time the calling thread has used.
qint64 ThreadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    BenchAppFolder folder; // no engine in it: nothing plays

    // 10 stations called "Tenfold ..." and 10,000 called "Myriad ...", among
    // 20,000 others.
    quorane::test::DirectoryServer directory;
    for (const auto &[word, count] : {std::pair{"Tenfold", 10}, std::pair{"Myriad", 10000}}) {
        for (int i = 0; i < count; ++i) {
            quorane::test::FixtureStation s;
            s.name = std::string(word) + " Station " + std::to_string(i);
            s.url = "http://bench.invalid/" + std::to_string(i);
            s.tags = "bench,test";
            s.votes = i;
            directory.add(s);
        }
    }
    directory.generate(20000);
    std::printf("directory fixture: %zu stations on %s\n", directory.stations().size(),
                directory.base().c_str());

    TForm1 form;
    form.show();
    TFormFindStations find(form, QString::fromStdString(directory.base()));
    form.FormFind = &find;
    find.resize(820, 520);
    find.Open();
    if (!WaitUntil([&] { return find.Results->Count() > 0 && !find.Search->Running(); }, 20000)) {
        std::fprintf(stderr, "bench_directory: no first answer: %s\n",
                     qPrintable(find.Search->Status()));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    PaintWatch paints;
    paints.clock = &clock;
    find.sListView1->viewport()->installEventFilter(&paints);
    qint64 resetAt = -1, searchAt = -1;
    QObject::connect(find.Results, &QAbstractItemModel::modelReset,
                     [&] { resetAt = clock.nsecsElapsed(); });
    QObject::connect(find.Search, &DirectorySearch::StatusChanged, [&](const QString &s) {
        if (s == QLatin1String("Searching..."))
            searchAt = clock.nsecsElapsed();
    });

    for (const auto &[name, matching] : {std::pair{"tenfold", 10}, std::pair{"myriad", 10000}}) {
        std::vector<double> total, pause, server, beyond;
        for (int r = 0; r < Runs; ++r) {
            find.sEdit1->clear();
            WaitUntil([&] { return !find.Timer1->isActive() && !find.Search->Running(); }, 20000);
            QTest::qWait(50);
            find.sEdit1->setFocus();
            for (const char *c = name; *c; ++c)
                QTest::keyClick(find.sEdit1, *c);
            const qint64 lastKey = clock.nsecsElapsed();
            resetAt = -1;
            searchAt = -1;
            paints.paintedAt = -1;
            const bool drawn =
                WaitUntil([&] { return resetAt >= 0 && paints.paintedAt > resetAt; }, 20000);
            if (!drawn || find.Results->Count() != std::min(matching, 100)) {
                std::fprintf(stderr, "bench_directory: \"%s\" gave %d rows (%s)\n", name,
                             find.Results->Count(), qPrintable(find.Search->Status()));
                return 1;
            }
            // The pause after the last key is the window's by design; the
            // fixture's time to work out its answer is the server's.
            const double ms = (paints.paintedAt - lastKey) / 1e6;
            const double pauseMs = (searchAt - lastKey) / 1e6;
            const double serverMs = directory.lastSearchTime().count() / 1e3;
            total.push_back(ms);
            pause.push_back(pauseMs);
            server.push_back(serverMs);
            beyond.push_back(ms - pauseMs - serverMs);
        }
        const double b = Median(beyond);
        std::printf("last key to results drawn, %5d matching: %6.1f ms = %.1f ms pause (%d ms set) "
                    "+ %.1f ms server + %.1f ms Quorane = %.3f x the %.0f ms bound\n",
                    matching, Median(total), Median(pause), DirectoryLimits::TypingPauseMs,
                    Median(server), b, b / BeyondBoundMs, BeyondBoundMs);
    }

    // The main window's stalls: a 1 ms timer on the UI thread, while the
    // user types names, changes filters and scrolls through 30 pages.
    std::vector<qint64> ticks, cpu;
    QTimer tick;
    tick.setInterval(1);
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ticks.push_back(clock.nsecsElapsed());
        cpu.push_back(ThreadCpuNs());
    });
    tick.start();
    const qint64 from = clock.nsecsElapsed();
    for (const char *name : {"myriad", "tenfold", "station 1", "myr"}) {
        find.sEdit1->clear();
        for (const char *c = name; *c; ++c) {
            QTest::keyClick(find.sEdit1, *c);
            QTest::qWait(60);
        }
        WaitUntil([&] { return !find.Timer1->isActive() && !find.Search->Running(); }, 20000);
    }
    find.sComboBox5->setCurrentIndex(3); // by name
    WaitUntil([&] { return !find.Timer1->isActive() && !find.Search->Running(); }, 20000);
    QScrollBar *bar = find.sListView1->verticalScrollBar();
    for (int page = 0; page < 30 && find.Search->HasMore(); ++page) {
        WaitUntil([&] { return bar->value() < bar->maximum(); }, 2000);
        bar->setValue(bar->maximum());
        WaitUntil([&] { return !find.Search->Running(); }, 20000);
    }
    tick.stop();
    // A stall is the gap between two ticks; the UI thread's own CPU time in
    // it says how much of it was the window's work and how much the
    // machine's (a loaded 2-core machine takes the thread off its core).
    qint64 longest = 0, longestCpu = 0, busiest = 0;
    for (size_t i = 1; i < ticks.size(); ++i) {
        if (ticks[i] - ticks[i - 1] > longest) {
            longest = ticks[i] - ticks[i - 1];
            longestCpu = cpu[i] - cpu[i - 1];
        }
        busiest = std::max(busiest, cpu[i] - cpu[i - 1]);
    }
    double load = 0;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    std::printf("main window's longest stall while searching: %5.1f ms = %.3f x the %.0f ms bound "
                "(the UI thread worked %.1f ms of it; load average %.1f)\n",
                longest / 1e6, longest / 1e6 / StallBoundMs, StallBoundMs, longestCpu / 1e6, load);
    std::printf("the UI thread's longest work between two ticks: %5.1f ms = %.3f x the %.0f ms "
                "bound (%zu ticks in %.1f s; %d rows shown at the end)\n",
                busiest / 1e6, busiest / 1e6 / StallBoundMs, StallBoundMs, ticks.size(),
                (clock.nsecsElapsed() - from) / 1e9, find.Results->Count());
    form.FormFind = nullptr;
    return 0;
}
