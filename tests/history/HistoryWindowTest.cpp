// The song history as the listener meets it: titles of a real stream
// recorded once each under the station's name, the "Song history" window
// (newest first, the filter, Ctrl+C, "Search the web", "Clear history"),
// the new menu items, and what an exit and the next start keep.
#include "HistoryFixture.h"

#include "history/HistoryFile.h"
#include "history/SongHistoryModel.h"
#include "history/ui/TFormHistory.h"
#include "shell/Program.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

namespace {

const QDateTime Noon(QDate(2026, 3, 1), QTime(12, 0, 0));

class HistoryWindow : public HistoryFixture {
protected:
    void SetUp() override {
        HistoryFixture::SetUp();
        window = std::make_unique<TFormHistory>(*form->History);
        form->FormHistory = window.get();
    }
    void TearDown() override {
        form->FormHistory = nullptr;
        window.reset();
        HistoryFixture::TearDown();
    }
    QStringList Shown(int column = SongHistoryModel::TitleColumn) const {
        QStringList rows;
        for (int r = 0; r < window->Model->rowCount(); ++r)
            rows.append(window->Model->index(r, column).data().toString());
        return rows;
    }
    void SelectRows(std::initializer_list<int> rows) {
        window->sListView1->clearSelection();
        for (int r : rows)
            window->sListView1->selectionModel()->select(window->Model->index(r, 0),
                                                         QItemSelectionModel::Select |
                                                             QItemSelectionModel::Rows);
    }
    std::unique_ptr<TFormHistory> window;
};

// The captions of a menu's items, "-" for a separator.
QStringList Captions(const QMenu *menu) {
    QStringList out;
    for (const QAction *a : menu->actions())
        out.append(a->isSeparator() ? "-" : a->text());
    return out;
}

} // namespace

TEST_F(HistoryFixture, TheStreamsTitlesAreRecordedOnceEachUnderTheListsName) {
    const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
    PlayRow(0);
    ASSERT_TRUE(WaitForEntries(3)) << Titles().join(" | ").toStdString();
    Stop();
    // The repeat is no entry, the empty title (shown as the station's name)
    // is none either, and the first title after it is a new one.
    EXPECT_EQ(Titles().mid(0, 3), QStringList({"Nina Frost - Cold Morning", "Rock & <Roll>",
                                               "Nina Frost - Cold Morning"}));
    // The list's name, not the stream's own " Test FM".
    EXPECT_EQ(Stations().mid(0, 3), QStringList({"Local FM", "Local FM", "Local FM"}));
    const QList<SongEntry> &entries = form->History->Entries();
    EXPECT_GE(entries.first().time, started);
    EXPECT_LE(entries.last().time, QDateTime::currentDateTime());
    EXPECT_LE(entries.at(0).time, entries.at(1).time);
}

TEST_F(HistoryFixture, AFavouriteIsRecordedUnderTheStreamsOwnName) {
    // From the list: the list's name.
    PlayRow(1);
    ASSERT_TRUE(WaitForEntries(1));
    EXPECT_EQ(Stations().last(), "Other FM");
    // From a slot: the name the stream gives itself, its blanks trimmed,
    // even right after a station from the list.
    form->FavoriteUrls[4] = Url("/live");
    form->FavoriteButtonClick(5);
    ASSERT_TRUE(WaitForEntries(2));
    EXPECT_EQ(Stations().last(), "Test FM");
    // Another station's run: its first title is new even if heard before.
    form->FavoriteUrls[2] = Url("/other");
    form->FavoriteButtonClick(3);
    ASSERT_TRUE(WaitForEntries(3));
    Stop();
    EXPECT_EQ(Titles().mid(0, 3),
              QStringList({"Other - Song", "Nina Frost - Cold Morning", "Other - Song"}));
    EXPECT_EQ(Stations().mid(0, 3), QStringList({"Other FM", "Test FM", "Other Stream"}));
}

TEST_F(HistoryWindow, CtrlHShowsTheHistoryNewestFirstAndItFollowsNewTitles) {
    form->History->Record("http://old/", "Jazz FM", "Miles - So What", Noon);
    form->History->Record("http://old/", "Rock One", "Queen - Bicycle", Noon.addSecs(60));
    ShowActive();
    Key(Qt::Key_H, Qt::ControlModifier);
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Song history");
    EXPECT_EQ(Shown(), QStringList({"Queen - Bicycle", "Miles - So What"}));
    EXPECT_EQ(Shown(SongHistoryModel::TimeColumn).last(), "2026-03-01 12:00:00");

    PlayRow(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Model->rowCount() == 3; }, 20000));
    EXPECT_EQ(Shown().first(), "Nina Frost - Cold Morning");
    EXPECT_EQ(Shown(SongHistoryModel::StationColumn).first(), "Local FM");
    Stop();
}

TEST_F(HistoryWindow, TheFilterCopyAndSearchWorkOnWhatIsShown) {
    form->History->Record("a", "Jazz FM", "Miles - So What", Noon);
    form->History->Record("b", "Rock One", "Queen - Bicycle", Noon.addSecs(60));
    form->History->Record("a", "Jazz FM", "Coltrane & Co - Naima", Noon.addSecs(120));
    window->ShowInFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    // Typed letter by letter, narrowed as it is typed; any letter case.
    window->sEdit1->setFocus();
    QTest::keyClicks(window->sEdit1, "JA");
    EXPECT_EQ(Shown(), QStringList({"Coltrane & Co - Naima", "Miles - So What"}));
    QTest::keyClicks(window->sEdit1, "zz fm");
    EXPECT_EQ(window->Model->rowCount(), 2);
    window->sEdit1->clear();
    EXPECT_EQ(window->Model->rowCount(), 3);

    // Nothing selected: nothing to search for.
    EXPECT_FALSE(window->sButton1->isEnabled());
    SelectRows({2, 0});
    EXPECT_TRUE(window->sButton1->isEnabled());
    window->sListView1->setFocus();
    QApplication::clipboard()->clear();
    QTest::keyClick(window->sListView1, Qt::Key_C, Qt::ControlModifier);
    // Top to bottom, one a line.
    EXPECT_EQ(QApplication::clipboard()->text(), "Coltrane & Co - Naima\nMiles - So What\n");

    window->sListView1->setCurrentIndex(window->Model->index(0, 0));
    SelectRows({0});
    window->sButton1->click();
    ASSERT_EQ(app.prompts.openedUrls.size(), 1);
    EXPECT_EQ(app.prompts.openedUrls.first(),
              "https://duckduckgo.com/?q=Coltrane%20%26%20Co%20-%20Naima");
}

TEST_F(HistoryWindow, ClearingAsksFirstAndOnlyYesClears) {
    form->History->Record("a", "Jazz FM", "Miles - So What", Noon);
    window->ShowInFront();
    app.prompts.SetNextAnswer(false);
    window->sButton2->click();
    ASSERT_EQ(app.prompts.shown.size(), 1);
    EXPECT_EQ(app.prompts.shown[0].kind, "question");
    EXPECT_EQ(app.prompts.shown[0].title, "Quorane");
    EXPECT_EQ(app.prompts.shown[0].text, "Clear the song history?");
    EXPECT_EQ(window->Model->rowCount(), 1);
    app.prompts.SetNextAnswer(true);
    window->sButton2->click();
    EXPECT_EQ(window->Model->rowCount(), 0);
    EXPECT_TRUE(form->History->Entries().isEmpty());
}

TEST_F(HistoryFixture, TheNotifyTickIsOnAndTheSleepTimerOffAtStart) {
    // Where the items sit: MainWindow.MenusHoldTheirItemsAndShortcuts.
    EXPECT_TRUE(form->Notifyontitlechange1->isCheckable());
    EXPECT_TRUE(form->Notifyontitlechange1->isChecked());
    EXPECT_EQ(Captions(form->Sleeptimer1),
              QStringList({"Off", "15 minutes", "30 minutes", "60 minutes", "90 minutes"}));
    for (QAction *a : form->SleepItem)
        EXPECT_TRUE(a->isCheckable() && a->actionGroup() && a->actionGroup()->isExclusive());
    EXPECT_TRUE(form->SleepItem[0]->isChecked());
    EXPECT_EQ(form->StatusPanel(3), "");
}

TEST(HistoryProgram, TheHistoryAndTheNotifyChoiceOutliveTheRun) {
    quorane::test::IcyServer server;
    quorane::test::StreamMount m;
    m.audioFile = quorane::test::fixtureAudio("tone440.mp3");
    m.contentType = "audio/mpeg";
    m.shoutcastStatus = true;
    m.metaint = 8192;
    m.titles = {"First Song", "Second Song"};
    m.titleEveryMs = 300;
    server.addStream("/live", m);
    TempAppFolder app;
    TempAppFolder::Write(app.StationFile(), "Local FM\tx\tg\tc\tl\t" +
                                                QByteArray::fromStdString(server.url("/live")) +
                                                "\t\r\n");
    const QString historyFile = app.App() + "History.txt";
    QByteArray defaults = "[Main]\nProxy=\nVolume=50\nSkinName=Winter2003 (internal)\n";
    QByteArray favorites = "[Favorites]\n";
    for (int n = 1; n <= 14; ++n)
        favorites += "Fav" + QByteArray::number(n) + "=\n";

    {
        Program program;
        ASSERT_FALSE(program.Aborted());
        program.Form1->sListView1->selectRow(0);
        program.Form1->sListView1DblClick();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return program.Form1->History->Entries().size() >= 1; }, 20000));
        program.Form1->Stop1Click();
        program.Form1->Notifyontitlechange1->setChecked(false);
        program.Shutdown();
    }
    const QList<QByteArray> lines = TempAppFolder::Read(historyFile).split('\n');
    ASSERT_GE(lines.size(), 2) << TempAppFolder::Read(historyFile).toStdString();
    EXPECT_TRUE(lines[0].endsWith("\tLocal FM\tFirst Song")) << lines[0].toStdString();
    EXPECT_TRUE(
        QDateTime::fromString(lines[0].left(lines[0].indexOf('\t')), Qt::ISODate).isValid());
    // Notify=0 after the keys that were there, only because it is off.
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), defaults + "Notify=0\n" + favorites);
    // The window keeps its place as every window does.
    EXPECT_TRUE(TempAppFolder::Read(app.GeometryFile()).contains("[Song history]\n"));

    {
        Program program;
        ASSERT_FALSE(program.Aborted());
        EXPECT_FALSE(program.Form1->Notifyontitlechange1->isChecked());
        ASSERT_EQ(program.Form1->History->Entries().size(), lines.size() - 1);
        EXPECT_EQ(program.FormHistory->Model->Entry(0).title,
                  program.Form1->History->Entries().last().title);
        program.Form1->Notifyontitlechange1->setChecked(true);
        program.Shutdown();
    }
    // Back on: the file is again exactly the one of the defaults.
    EXPECT_EQ(TempAppFolder::Read(app.SettingsFile()), defaults + favorites);
}
