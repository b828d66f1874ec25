// The station list at a million lines, in the real main window (offscreen):
// - the time from a change of the search text to the selection, for texts
//   of 1, 2, 5 and 30 characters that only the last line holds and that no
//   line holds, against 50 ms;
// - the time to draw a screenful of rows, against one 60 Hz frame;
// - the memory the list takes, as a multiple of the file's size, against
//   2.4, and the peak memory while the file is read, against 2.5.
// Each time is the median of several runs, with the UI thread's own CPU
// time beside it.
#include "shell/StationListView.h"
#include "shell/TForm1.h"
#include "stations/StationList.h"
#include "stations/StationListModel.h"

#include "common/BenchAppFolder.h"
#include "common/ProcStatus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int Lines = 1000000;
constexpr double SearchBoundMs = 50.0;
constexpr double FrameMs = 1000.0 / 60.0;
constexpr int Runs = 7;

// Lines shaped like a real directory's: name, description, genre, country,
// language, stream URL, homepage; about 120 characters each. Only the last
// line holds "Zanzibar Lastlight Radio Tenth".
QByteArray MakeFile() {
    static const char *genres[] = {"Jazz", "Rock", "Classical", "News", "Ambient", "Pop", "Talk"};
    static const char *countries[] = {"France", "USA",    "Germany", "Japan",
                                      "Brazil", "Canada", "Italy"};
    static const char *languages[] = {"French",     "English", "German", "Japanese",
                                      "Portuguese", "English", "Italian"};
    QByteArray out;
    out.reserve(qsizetype(Lines) * 125);
    for (int i = 0; i < Lines; ++i) {
        const int k = i % 7;
        const QByteArray n = QByteArray::number(i);
        const QByteArray name = i == Lines - 1 ? "Zanzibar Lastlight Radio Tenth" : "Radio " + n;
        out += name + "\tBest of " + genres[k] + " all day\t" + genres[k] + "\t" + countries[k] +
               "\t" + languages[k] + "\thttp://s" + QByteArray::number(i % 977) +
               ".example.net:8000/" + n + ".mp3\thttp://radio" + n + ".example/\r\n";
    }
    return out;
}

// The median wall time of `work` over several runs, and the median time the
// UI thread itself spent on it (its CPU time): on a loaded machine the two
// differ by the time the thread waited for a core.
struct Timing {
    double wallMs = 0;
    double cpuMs = 0;
};

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

Timing Median(const std::function<void()> &prepare, const std::function<void()> &work) {
    std::vector<double> wall, cpu;
    for (int r = 0; r < Runs; ++r) {
        prepare();
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMs();
        timer.start();
        work();
        wall.push_back(timer.nsecsElapsed() / 1e6);
        cpu.push_back(ThreadCpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

void PrintTime(const char *what, Timing t, double boundMs) {
    std::printf("%-44s %9.2f ms   %6.3f x the %.1f ms bound (CPU %.2f ms = %.3f x)\n", what,
                t.wallMs, t.wallMs / boundMs, boundMs, t.cpuMs, t.cpuMs / boundMs);
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    BenchAppFolder folder; // no engine in it: nothing plays
    const QString stationFile = folder.StationFile();
    qint64 fileSize = 0;
    {
        const QByteArray bytes = MakeFile();
        fileSize = bytes.size();
        QFile f(stationFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "bench_list: cannot write %s\n", qPrintable(stationFile));
            return 1;
        }
    }
    std::printf("station file: %d lines, %.1f MB (%.0f bytes a line)\n", Lines, fileSize / 1e6,
                double(fileSize) / Lines);

    // The list alone, read as start-up reads it. Writing 5 to clear_refs
    // starts the peak (VmHWM) again from the memory in use now.
    {
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = RssKiB();
        StationList list;
        list.LoadFromFile(stationFile);
        const long after = RssKiB();
        const long peak = ProcStatusKiB("VmHWM:");
        const double kept = (after - before) * 1024.0 / double(fileSize);
        const double reading = (peak - before) * 1024.0 / double(fileSize);
        std::printf("%-44s %9.1f MB   %6.2f x the file size = %.3f x the 2.4 bound"
                    " (%.0f bytes a station)\n",
                    "memory of the list (VmRSS delta)", (after - before) / 1024.0, kept, kept / 2.4,
                    (after - before) * 1024.0 / Lines);
        std::printf("%-44s %9.1f MB   %6.2f x the file size = %.3f x the 2.5 bound\n",
                    "peak memory while reading (VmHWM delta)", (peak - before) / 1024.0, reading,
                    reading / 2.5);
    }

    TForm1 form;
    form.resize(812, 423 + form.ClientTop());
    form.show();
    QApplication::processEvents();
    if (form.Model->RowCount() != Lines) {
        std::fprintf(stderr, "bench_list: the window shows %d rows, expected %d\n",
                     form.Model->RowCount(), Lines);
        return 1;
    }

    const auto reset = [&] {
        form.sListView1->clearSelection();
        form.sListView1->scrollToTop();
        // Blocked, so that emptying the box does not count as a search.
        form.sEdit1->blockSignals(true);
        form.sEdit1->clear();
        form.sEdit1->blockSignals(false);
    };
    // Texts only the last line ("Zanzibar Lastlight") holds, and texts no
    // line holds, of 1, 2, 5 and 30 characters: every keystroke of a user
    // typing them.
    const char *const found[] = {"Z", "Za", "Zanzi", "Zanzibar Lastlight Radio Tenth"};
    const char *const nowhere[] = {"Q", "Qu", "Quagg", "Quagga Nowhere FM, Never Aired"};
    for (int k = 0; k < 2; ++k) {
        for (const char *text : k == 0 ? found : nowhere) {
            const Timing ms = Median(reset, [&] { form.sEdit1->setText(text); });
            const int want = k == 0 ? Lines - 1 : -1;
            if (form.CurrentStation() != want) {
                std::fprintf(stderr, "bench_list: \"%s\" selected row %d\n", text,
                             form.CurrentStation());
                return 1;
            }
            char what[64];
            std::snprintf(what, sizeof what, "search, %2zu chars %s", std::strlen(text),
                          k == 0 ? "in the last line" : "in no line");
            PrintTime(what, ms, SearchBoundMs);
        }
    }

    // A screenful: the rows the view shows at its laid-out size, drawn with
    // every cell's texts taken out of the lines again.
    form.sListView1->scrollTo(form.Model->index(Lines / 2, 0));
    const int rowsShown =
        form.sListView1->viewport()->height() / std::max(1, form.sListView1->rowHeight(Lines / 2));
    QPixmap shot;
    const Timing draw = Median([] {}, [&] { shot = form.sListView1->grab(); });
    char what[64];
    std::snprintf(what, sizeof what, "draw a screenful (%d rows, %dx%d)", rowsShown,
                  form.sListView1->width(), form.sListView1->height());
    PrintTime(what, draw, FrameMs);
    return 0;
}
