// The song history on its own: which titles become entries, the cap, the
// file (its form, what survives an exit and a crash, a file that cannot be
// read left byte for byte), and the table model the window shows it with.
#include "history/SongHistory.h"
#include "common/TempAppFolder.h"
#include "history/HistoryFile.h"
#include "history/SongHistoryModel.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QDateTime Noon(QDate(2026, 3, 1), QTime(12, 0, 0));

class HistoryStore : public ::testing::Test {
protected:
    QString Path() const { return dir.filePath("History.txt"); }
    QByteArray File() const { return TempAppFolder::Read(Path()); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(HistoryStore, ATitleIsANewEntryUnlessTheSameStreamRepeatsIt) {
    struct Heard {
        const char *source;
        const char *title;
        bool added;
    };
    const Heard heard[] = {
        {"http://a/", "One", true},
        {"http://a/", "One", false},    // the stream sends it again
        {"http://a/", " One\t", false}, // the same once cleaned
        {"http://a/", "Two", true},
        {"http://a/", "One", true},   // played again after another song
        {"http://b/", "One", true},   // another station's run
        {"http://a/", "One", true},   // back on the first station
        {"http://a/", "", false},     // nothing to record
        {"http://a/", " \t ", false}, // blanks only
    };
    SongHistory history;
    QStringList expected;
    for (const Heard &h : heard) {
        SCOPED_TRACE(std::string(h.source) + " " + h.title);
        EXPECT_EQ(history.Record(h.source, "Station", h.title, Noon), h.added);
        if (h.added)
            expected.append(QString::fromUtf8(h.title));
    }
    QStringList titles;
    for (const SongEntry &e : history.Entries())
        titles.append(e.title);
    EXPECT_EQ(titles, expected);
}

TEST_F(HistoryStore, KeepsTheNewestTenThousand) {
    SongHistory history;
    QSignalSpy dropped(&history, &SongHistory::OldestDropped);
    for (int i = 0; i < SongHistory::MaxEntries + 5; ++i)
        history.Record("http://a/", "S", QString::number(i), Noon.addSecs(i));
    ASSERT_EQ(history.Entries().size(), SongHistory::MaxEntries);
    EXPECT_EQ(history.Entries().first().title, "5");
    EXPECT_EQ(history.Entries().last().title, QString::number(SongHistory::MaxEntries + 4));
    EXPECT_EQ(dropped.size(), 5);

    // A longer file (written by hand, or by an older copy) gives its newest.
    QByteArray file;
    for (int i = 0; i < SongHistory::MaxEntries + 50; ++i)
        file += HistoryFile::FormatLine({Noon.addSecs(i), "S", QString::number(i)}) + "\n";
    TempAppFolder::Write(Path(), file);
    SongHistory read;
    read.Load(Path());
    ASSERT_EQ(read.Entries().size(), SongHistory::MaxEntries);
    EXPECT_EQ(read.Entries().first().title, "50");
    EXPECT_EQ(read.Entries().first().time, Noon.addSecs(50));
}

TEST_F(HistoryStore, TheFileHoldsOneEntryALineAndComesBackAsItWas) {
    SongHistory history;
    history.Load(Path());
    EXPECT_FALSE(QFile::exists(Path())); // nothing heard, nothing written
    const QDateTime when = Noon.addMSecs(345);
    history.Record("http://a/", "Café FM", "Ünïcode\tTitle\n", when);
    history.Record("http://a/", "Café FM", "Second", when.addSecs(61));
    history.Save();
    // The local offset of that moment, as "+hh:mm" or "-hh:mm".
    const int minutes = when.offsetFromUtc() / 60;
    const QString offset = QString::asprintf("%c%02d:%02d", minutes < 0 ? '-' : '+',
                                             std::abs(minutes) / 60, std::abs(minutes) % 60);
    EXPECT_EQ(File(), ("2026-03-01T12:00:00" + offset + "\tCafé FM\tÜnïcode Title\n" +
                       "2026-03-01T12:01:01" + offset + "\tCafé FM\tSecond\n")
                          .toUtf8());

    SongHistory again;
    again.Load(Path());
    EXPECT_EQ(again.Entries(), history.Entries());
    EXPECT_EQ(again.Entries().first().time, Noon); // whole seconds
}

TEST_F(HistoryStore, TimesKeepTheOffsetTheyWereWrittenWith) {
    struct Form {
        const char *written;   // in the file
        qint64 utcSeconds;     // the moment it names
        const char *rewritten; // how the next write puts it
    };
    const qint64 noonUtc = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const Form forms[] = {
        {"2026-03-01T12:00:00+00:00", noonUtc, "2026-03-01T12:00:00+00:00"},
        {"2026-03-01T13:00:00+01:00", noonUtc, "2026-03-01T13:00:00+01:00"},
        {"2026-03-01T06:30:00-05:30", noonUtc, "2026-03-01T06:30:00-05:30"},
        {"2026-03-01T12:00:00Z", noonUtc, "2026-03-01T12:00:00+00:00"},
        {"2026-03-01T12:00:00.250+00:00", noonUtc, "2026-03-01T12:00:00+00:00"},
    };
    QByteArray file, expected;
    for (const Form &f : forms) {
        file += QByteArray(f.written) + "\tS\tT\n";
        expected += QByteArray(f.rewritten) + "\tS\tT\n";
    }
    TempAppFolder::Write(Path(), file);
    SongHistory history;
    history.Load(Path());
    ASSERT_FALSE(history.FileUnreadable());
    ASSERT_EQ(history.Entries().size(), qsizetype(std::size(forms)));
    for (qsizetype i = 0; i < history.Entries().size(); ++i)
        EXPECT_EQ(history.Entries().at(i).time.toSecsSinceEpoch(), forms[i].utcSeconds)
            << forms[i].written;
    // The wall-clock time the listener saw, whatever the zone is now.
    EXPECT_EQ(history.Entries().at(2).time.time(), QTime(6, 30));
    EXPECT_EQ(HistoryFile::Format(history.Entries()), expected);
}

TEST_F(HistoryStore, ACrashLosesAtMostTheIntervalBetweenWrites) {
    // What is on disk while the program runs is what a crash would leave:
    // every file is replaced whole, never written in place.
    SongHistory history;
    history.SetSaveIntervalForTesting(400);
    history.Load(Path());
    QElapsedTimer clock;
    clock.start();
    history.Record("http://a/", "S", "First");
    // The first title after a quiet time is written at once.
    ASSERT_TRUE(QTest::qWaitFor([&] { return File().contains("First"); }, 2000));
    history.Record("http://a/", "S", "Second");
    QTest::qWait(100);
    EXPECT_FALSE(File().contains("Second")) << "written again before the interval";
    ASSERT_TRUE(QTest::qWaitFor([&] { return File().contains("Second"); }, 2000));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_TRUE(File().contains("First\n"));
}

TEST_F(HistoryStore, ClearingEmptiesTheFileAtOnce) {
    TempAppFolder::Write(Path(), HistoryFile::FormatLine({Noon, "S", "Old"}) + "\n");
    SongHistory history;
    history.Load(Path());
    ASSERT_EQ(history.Entries().size(), 1);
    QSignalSpy cleared(&history, &SongHistory::Cleared);
    history.Clear();
    EXPECT_EQ(cleared.size(), 1);
    EXPECT_TRUE(history.Entries().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return File().isEmpty(); }, 2000));
}

TEST_F(HistoryStore, AFileThatCannotBeReadIsLeftByteForByte) {
    struct Bad {
        const char *what;
        QByteArray bytes; // empty: a folder of that name
        const char *reason;
    };
    const QByteArray good = HistoryFile::FormatLine({Noon, "S", "Kept"}) + "\n";
    const Bad bads[] = {
        {"not UTF-8", good + "2026-03-01T12:00:00Z\tS\t\xff\xfe\n", "not UTF-8"},
        {"a line without fields", good + "just some words\n", "just some words"},
        {"a time that is none", "yesterday\tS\tT\n" + good, "yesterday"},
        {"binary", QByteArray("\x00\x01\x02\n\x03", 5), "not"},
        {"a folder", QByteArray(), "not a file"},
    };
    for (const Bad &bad : bads) {
        SCOPED_TRACE(bad.what);
        QFile::remove(Path());
        QDir(dir.path()).rmdir("History.txt");
        if (bad.bytes.isEmpty())
            ASSERT_TRUE(QDir(dir.path()).mkdir("History.txt"));
        else
            TempAppFolder::Write(Path(), bad.bytes);
        {
            SongHistory history;
            testing::internal::CaptureStderr();
            history.Load(Path());
            const std::string told = testing::internal::GetCapturedStderr();
            EXPECT_NE(told.find(Path().toStdString()), std::string::npos) << told;
            EXPECT_NE(told.find(bad.reason), std::string::npos) << told;
            EXPECT_TRUE(history.FileUnreadable());
            EXPECT_TRUE(history.Entries().isEmpty());
            // The run goes on with a history of its own, never written.
            EXPECT_TRUE(history.Record("http://a/", "S", "New"));
            history.Clear();
            history.Record("http://a/", "S", "Newer");
            history.Save();
        }
        if (bad.bytes.isEmpty())
            EXPECT_TRUE(QFileInfo(Path()).isDir());
        else
            EXPECT_EQ(File(), bad.bytes);
    }
}

// The window forwards the history's changes to its model; so do these tests.
void Follow(SongHistory &history, SongHistoryModel &model) {
    QObject::connect(&history, &SongHistory::Added, &model, &SongHistoryModel::EntryAdded);
    QObject::connect(&history, &SongHistory::DroppingOldest, &model,
                     &SongHistoryModel::DroppingOldest);
    QObject::connect(&history, &SongHistory::OldestDropped, &model,
                     &SongHistoryModel::OldestDropped);
    QObject::connect(&history, &SongHistory::Clearing, &model, &SongHistoryModel::Clearing);
    QObject::connect(&history, &SongHistory::Cleared, &model, &SongHistoryModel::Cleared);
}

TEST_F(HistoryStore, TheModelShowsNewestFirstNarrowedByTheFilter) {
    SongHistory history;
    SongHistoryModel model(&history);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Follow(history, model);
    const auto record = [&](const char *station, const char *title, int minute) {
        history.Record(station, station, title, Noon.addSecs(60 * minute));
    };
    record("Jazz FM", "Miles - So What", 0);
    record("Rock One", "Queen - Bicycle", 1);
    record("Jazz FM", "Coltrane - Naima", 2);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(0, SongHistoryModel::TitleColumn).data(), "Coltrane - Naima");
    EXPECT_EQ(model.index(2, SongHistoryModel::TitleColumn).data(), "Miles - So What");
    EXPECT_EQ(model.index(0, SongHistoryModel::StationColumn).data(), "Jazz FM");
    EXPECT_EQ(model.index(0, SongHistoryModel::TimeColumn).data(), "2026-03-01 12:02:00");
    EXPECT_EQ(model.headerData(SongHistoryModel::TitleColumn, Qt::Horizontal, Qt::DisplayRole),
              "Title");

    struct Filter {
        const char *text;
        QStringList titles; // newest first
    };
    const Filter filters[] = {
        {"jazz", {"Coltrane - Naima", "Miles - So What"}}, // the station, any case
        {"QUEEN", {"Queen - Bicycle"}},
        {"i", {"Coltrane - Naima", "Queen - Bicycle", "Miles - So What"}},
        {"nothing like it", {}},
        {"", {"Coltrane - Naima", "Queen - Bicycle", "Miles - So What"}},
    };
    for (const Filter &f : filters) {
        SCOPED_TRACE(f.text);
        model.SetFilter(f.text);
        QStringList shown;
        for (int r = 0; r < model.rowCount(); ++r)
            shown.append(model.Entry(r).title);
        EXPECT_EQ(shown, f.titles);
    }

    // While filtered, a new matching title comes on top, others stay out.
    model.SetFilter("jazz");
    record("Rock One", "Led Zeppelin - Kashmir", 3);
    EXPECT_EQ(model.rowCount(), 2);
    record("Jazz FM", "Monk - Blue Monk", 4);
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.Entry(0).title, "Monk - Blue Monk");

    history.Clear();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(HistoryStore, TheOldestLeaveTheBottomOfTheModel) {
    SongHistory history;
    history.Record("a", "Jazz FM", "Miles - So What", Noon);
    history.Record("b", "Rock One", "Queen - Bicycle", Noon.addSecs(1));
    history.Record("a", "Jazz FM", "Coltrane - Naima", Noon.addSecs(2));
    for (int i = 0; history.Entries().size() < SongHistory::MaxEntries; ++i)
        history.Record("b", "Rock One", QString::number(i), Noon.addSecs(3 + i));
    SongHistoryModel model(&history);
    model.SetFilter("jazz");
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    Follow(history, model);
    ASSERT_EQ(model.rowCount(), 2);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    // "Miles - So What", the oldest and the bottom row, goes.
    history.Record("a", "Jazz FM", "Monk - Blue Monk", Noon.addSecs(100000));
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(model.Entry(0).title, "Monk - Blue Monk");
    EXPECT_EQ(model.Entry(1).title, "Coltrane - Naima");
    // One that is not shown goes: no row does.
    history.Record("b", "Rock One", "More", Noon.addSecs(100001));
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(model.Entry(1).title, "Coltrane - Naima");
    model.SetFilter("");
    EXPECT_EQ(model.rowCount(), SongHistory::MaxEntries);
    EXPECT_EQ(model.Entry(SongHistory::MaxEntries - 1).title, "Coltrane - Naima");
    EXPECT_EQ(model.Entry(0).title, "More");
}
