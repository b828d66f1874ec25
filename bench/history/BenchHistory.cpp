// The song history at its cap of 10,000 entries, against one 60 Hz frame
// (16.7 ms), the most the UI thread may be held without a visible stutter:
// - a new title on the UI thread: the entry, the oldest dropped, the
//   snapshot handed to the writer (which makes the next append copy the
//   list once);
// - the writer thread's work: formatting the file and replacing it
//   atomically (with its sync to disk), which the UI thread never waits for;
// - reading and parsing the file, once at start-up, on the UI thread.
// Each figure is the median of several runs, wall-clock time with the
// thread's own CPU time beside it (the machine may be busy with other work).
#include "history/HistoryFile.h"
#include "history/SongHistory.h"
#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr double FrameMs = 1000.0 / 60.0;
constexpr int Runs = 9;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Times {
    std::vector<double> wall, cpu;
};

template <class F> void Time(Times &times, F &&f) {
    QElapsedTimer t;
    const double cpu = ThreadCpuMs();
    t.start();
    f();
    times.wall.push_back(double(t.nsecsElapsed()) / 1e6);
    times.cpu.push_back(ThreadCpuMs() - cpu);
}

// `parts`: how many of the measured thing one call did.
void Report(const char *what, const Times &times, double parts = 1) {
    const double wall = Median(times.wall) / parts, cpu = Median(times.cpu) / parts;
    std::printf("%-52s %8.3f ms (CPU %7.3f ms)  %6.3f x frame (bound 1.0)\n", what, wall, cpu,
                wall / FrameMs);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("History.txt");
    const QDateTime start = QDateTime::currentDateTime().addDays(-30);

    // A full history of realistic entries: "Artist - Title" on a handful of
    // stations, about 90 bytes a line.
    SongHistory history;
    history.Load(path);
    for (int i = 0; history.Entries().size() < SongHistory::MaxEntries; ++i)
        history.Record(
            "http://s" + QByteArray::number(i % 7) + "/",
            QStringLiteral("Station number %1 FM").arg(i % 7),
            QStringLiteral("Some Artist %1 - A Song Called Number %2").arg(i % 613).arg(i),
            start.addSecs(i * 200));
    history.Save();
    std::printf("history: %lld entries, file %.1f KiB\n", qlonglong(history.Entries().size()),
                HistoryFile::Format(history.Entries()).size() / 1024.0);

    // A new title as the UI thread handles it: the worst case is a title
    // that comes when a write is due, and the one after it.
    history.SetSaveIntervalForTesting(0);
    Times record;
    for (int r = 0; r < Runs; ++r) {
        Time(record, [&] {
            history.Record("http://new/", "New FM", QStringLiteral("New Title %1").arg(r));
            QCoreApplication::processEvents(); // the write becomes due and is handed over
            history.Record("http://new/", "New FM", QStringLiteral("Next Title %1").arg(r));
        });
        history.Save();
    }
    Report("a title on the UI thread (entry, snapshot, hand-over)", record, 2);

    Times format, write;
    for (int r = 0; r < Runs; ++r) {
        QByteArray bytes;
        Time(format, [&] { bytes = HistoryFile::Format(history.Entries()); });
        Time(write, [&] { WriteFileAtomically(path, bytes, nullptr); });
    }
    Report("writer thread: format 10,000 lines", format);
    Report("writer thread: replace the file atomically", write);

    Times read;
    for (int r = 0; r < Runs; ++r)
        Time(read, [&] {
            const HistoryFile::Contents c = HistoryFile::Read(path, SongHistory::MaxEntries);
            if (c.entries.size() != SongHistory::MaxEntries)
                std::printf("unexpected: %lld entries read\n", qlonglong(c.entries.size()));
        });
    Report("start-up: read and parse 10,000 lines", read);
    return 0;
}
