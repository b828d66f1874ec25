#pragma once
// The real find window against the directory fixture (a real HTTP server on
// 127.0.0.1 with a few thousand generated stations and the test's own),
// shown and active so keys take the user's path. Its DirectoryHost records
// what the window asks of it; the main window's side of that interface has
// its tests in PlayerDirectoryTest.
#include "DirectoryServer.h"
#include "QtPrinters.h"
#include "common/TempAppFolder.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryHost.h"
#include "directory/DirectoryResultsModel.h"
#include "directory/DirectorySearch.h"
#include "directory/ui/TFormFindStations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// Lets the event loop run until `done` holds or `ms` pass.
inline bool WaitUntil(const std::function<bool()> &done, int ms = 10000) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

// What the find window asked of the main window.
class RecordingHost : public DirectoryHost {
public:
    struct Played {
        QString name;
        QByteArray url;
    };
    void PlayDirectoryStation(const QString &name, const QByteArray &url) override {
        played.append({name, url});
    }
    void AddStationLine(const QString &line) override { lines.append(line); }
    void SetFavoriteUrl(int slot, const QByteArray &url) override { favorites.append({slot, url}); }
    QList<Played> played;
    QStringList lines;
    QList<QPair<int, QByteArray>> favorites;
};

// The test's own stations, found by the word "Quokka" (and one Cyrillic
// name), among the generated ones. By votes: Rock, Classics, Jazz Lounge,
// Cafe; "quokka news" is marked broken.
inline void AddQuokkas(quorane::test::DirectoryServer &d) {
    using quorane::test::FixtureStation;
    const auto station = [&](const char *name, const char *tags, const char *country,
                             const char *language, const char *codec, int bitrate, int votes,
                             int clicks, bool ok) {
        FixtureStation s;
        s.name = name;
        s.tags = tags;
        s.country = country;
        s.language = language;
        s.codec = codec;
        s.bitrate = bitrate;
        s.votes = votes;
        s.clickCount = clicks;
        s.lastCheckOk = ok;
        s.url = std::string("http://quokka.invalid/") + codec;
        s.urlResolved = s.url + "/resolved";
        s.homepage = "https://quokka.invalid/home";
        d.add(s);
    };
    station("Quokka Jazz Lounge", "jazz,lounge", "Germany", "german", "MP3", 128, 500, 40, true);
    station("Quokka Rock", "rock", "France", "french", "AAC", 192, 900, 10, true);
    station("quokka news", "news,talk", "Japan", "japanese", "MP3", 64, 100, 70, false);
    station("Quokka Classics", "classical", "Austria", "german", "OGG", 320, 700, 99, true);
    station("Café Quokka", "jazz,café", "France", "french", "MP3", 96, 300, 5, true);
    station("Квокка Радио", "pop", "Russia", "russian", "MP3", 128, 50, 1, true);
}

class FindStationsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        AddQuokkas(directory);
        directory.generate(3000);
        form = MakeWindow(QString::fromStdString(directory.base()));
    }
    void TearDown() override { form.reset(); }

    std::unique_ptr<TFormFindStations> MakeWindow(const QString &server,
                                                  std::unique_ptr<DnsResolver> resolver = {}) {
        auto w = std::make_unique<TFormFindStations>(host, server, std::move(resolver));
        // Failures are waited for in the tests: a shorter bound keeps them short.
        w->Client->AnswerTimeoutMs = 3000;
        return w;
    }

    // Opens the window as List > Find stations... does, makes it the active
    // window, and waits for its first search.
    void Open() {
        form->Open();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        ASSERT_TRUE(WaitIdle());
    }
    static bool WaitFor(const std::function<bool()> &done, int ms = 10000) {
        return WaitUntil(done, ms);
    }
    // Until no search is waiting to start or on its way.
    bool WaitIdle(int ms = 10000) {
        return WaitFor([&] { return !form->Timer1->isActive() && !form->Search->Running(); }, ms);
    }
    // Types into the name box as the user does, key by key, after emptying it.
    void TypeName(const QString &text) {
        form->sEdit1->setFocus();
        form->sEdit1->selectAll();
        QTest::keyClick(form->sEdit1, Qt::Key_Backspace);
        for (const QChar c : text) {
            if (c.unicode() < 0x80)
                QTest::keyClick(form->sEdit1, c.toLatin1());
            else // a key of another keyboard: only its text is known here
                QTest::sendKeyEvent(QTest::Click, form->sEdit1, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
        }
    }
    // Drags the table's bar to its end, as the user does, once the bar knows
    // of the rows that came last (the view lays them out a moment later).
    void ScrollToEnd() {
        QScrollBar *bar = form->sListView1->verticalScrollBar();
        WaitFor([&] { return bar->value() < bar->maximum(); }, 2000);
        bar->setValue(bar->maximum());
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(form->windowHandle(), key, modifiers);
    }
    // The names of the results, in the table's order.
    QStringList Names() const {
        QStringList out;
        for (int r = 0; r < form->Results->Count(); ++r)
            out.append(form->Results->Text(r, DirectoryResultsModel::Name));
        return out;
    }
    QString Status() const { return form->sStatusLine->text(); }
    // The search requests the fixture saw, in order.
    std::vector<quorane::test::DirectoryServer::Request> Searches() const {
        std::vector<quorane::test::DirectoryServer::Request> out;
        for (auto &r : directory.requests())
            if (r.path == "/json/stations/search")
                out.push_back(r);
        return out;
    }

    TempAppFolder app;
    quorane::test::DirectoryServer directory;
    RecordingHost host;
    std::unique_ptr<TFormFindStations> form;
};
