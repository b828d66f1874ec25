// The find window against the directory fixture: searching as the user
// types, the filters, paging, a superseded search, and what a result can be
// made to do.
#include "FindStationsFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStringListModel>
#include <QTableView>
#include <map>

namespace {

using FindStations = FindStationsFixture;

// Picks the entry of a drop-down whose value is `value`.
void Choose(QComboBox *box, const QString &value) {
    const int i = box->findData(value);
    ASSERT_GE(i, 0) << value.toStdString();
    box->setCurrentIndex(i);
}

} // namespace

TEST_F(FindStations, OpeningShowsTheMostVotedWorkingStationsAndFillsTheDropDowns) {
    // Nothing reaches the directory before the window is opened.
    EXPECT_TRUE(directory.requests().empty());
    Open();
    EXPECT_EQ(form->windowTitle(), "Find stations");
    EXPECT_EQ(QApplication::focusWidget(), form->sEdit1);
    ASSERT_EQ(form->Results->Count(), 100);
    EXPECT_EQ(Status(), "More than 100 stations, showing 1-100");
    // Votes from the highest (as the directory holds them: some stations
    // send theirs as null or text); the broken stations left out.
    std::map<QString, int> votes;
    for (const auto &s : directory.stations())
        votes[QString::fromStdString(s.uuid)] = s.votes;
    for (int r = 1; r < form->Results->Count(); ++r)
        EXPECT_GE(votes[form->Results->Station(r - 1).stationUuid],
                  votes[form->Results->Station(r).stationUuid]);
    for (int r = 0; r < form->Results->Count(); ++r)
        EXPECT_TRUE(form->Results->Station(r).lastCheckOk) << r;

    ASSERT_TRUE(
        WaitFor([&] { return form->sComboBox3->count() > 1 && form->TagNames->rowCount(); }));
    ASSERT_TRUE(
        WaitFor([&] { return form->sComboBox1->count() > 1 && form->sComboBox2->count(); }));
    EXPECT_EQ(form->sComboBox1->itemText(0), "Any country");
    const int russia = form->sComboBox1->findData("Russia");
    ASSERT_GE(russia, 0);
    EXPECT_TRUE(form->sComboBox1->itemText(russia).startsWith("Russia (")) << "with its count";
    EXPECT_GE(form->sComboBox3->findData("AAC+"), 0);
    EXPECT_TRUE(form->TagNames->stringList().contains("jazz"));
    // Every request names Quorane, and each list was asked for once.
    int lists = 0;
    for (const auto &r : directory.requests()) {
        EXPECT_EQ(r.userAgent, "Quorane/1.02") << r.path;
        lists += r.path != "/json/stations/search";
    }
    EXPECT_EQ(lists, 4);
    // Opened again: the lists are kept for the run.
    form->close();
    form->Open();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(directory.requests().size(), size_t(5));
}

TEST_F(FindStations, TypingFindsThePartOfANameInTheOrderAskedAndFiltersNarrowIt) {
    Open();
    TypeName("quokka");
    // Nothing is asked while the user types; one search after the pause.
    const size_t before = Searches().size();
    EXPECT_TRUE(form->Timer1->isActive());
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(Searches().size(), before + 1);
    const auto sent = Searches().back().params;
    EXPECT_EQ(sent.at("name"), "quokka");
    EXPECT_EQ(sent.at("order"), "votes");
    EXPECT_EQ(sent.at("reverse"), "true");
    EXPECT_EQ(sent.at("hidebroken"), "true");
    EXPECT_EQ(sent.at("limit"), "100");
    EXPECT_EQ(Names(),
              QStringList({"Quokka Rock", "Quokka Classics", "Quokka Jazz Lounge", "Café Quokka"}));
    EXPECT_EQ(Status(), "4 stations, showing 1-4");
    EXPECT_EQ(form->Results->Text(2, DirectoryResultsModel::Tags), "jazz, lounge");
    EXPECT_EQ(form->Results->Text(1, DirectoryResultsModel::Bitrate), "320");

    ASSERT_TRUE(WaitFor([&] { return form->sComboBox1->count() > 1; }));
    ASSERT_TRUE(WaitFor([&] { return form->sComboBox3->count() > 1; }));
    struct Step {
        std::function<void()> change;
        QStringList expected;
    };
    const Step steps[] = {
        {[&] { form->sCheckBox1->setChecked(false); },
         {"Quokka Rock", "Quokka Classics", "Quokka Jazz Lounge", "Café Quokka", "quokka news"}},
        {[&] { Choose(form->sComboBox3, "MP3"); },
         {"Quokka Jazz Lounge", "Café Quokka", "quokka news"}},
        {[&] { Choose(form->sComboBox5, QString::number(int(DirectoryQuery::Order::Name))); },
         {"Café Quokka", "Quokka Jazz Lounge", "quokka news"}},
        {[&] { Choose(form->sComboBox4, "96"); }, {"Café Quokka", "Quokka Jazz Lounge"}},
        {[&] { Choose(form->sComboBox1, "France"); }, {"Café Quokka"}},
        {[&] {
             Choose(form->sComboBox1, QString());
             form->sEdit2->setText("lou");
         },
         {"Quokka Jazz Lounge"}},
    };
    for (const Step &step : steps) {
        step.change();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Names(), step.expected) << Searches().back().params.size();
    }
    const auto last = Searches().back().params;
    EXPECT_EQ(last.at("tag"), "lou");
    EXPECT_EQ(last.at("codec"), "MP3");
    EXPECT_EQ(last.at("bitrateMin"), "96");
    EXPECT_EQ(last.count("country"), size_t(0));
    // A country, a language and a codec are the directory's own names.
    Choose(form->sComboBox2, "german");
    form->sEdit2->clear();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Searches().back().params.at("languageExact"), "true");
    EXPECT_EQ(Names(), QStringList({"Quokka Jazz Lounge"}));
}

TEST_F(FindStations, UnicodeAndCharactersWithAMeaningInAddressesAreSearchedAsTyped) {
    quorane::test::FixtureStation plus;
    plus.name = "Rock+Roll & Jazz #1";
    plus.url = "http://plus.invalid/";
    directory.add(plus);
    Open();
    for (const auto &[typed, expected] :
         std::vector<std::pair<QString, QStringList>>{{"Квокка", {"Квокка Радио"}},
                                                      {"café q", {"Café Quokka"}},
                                                      {"k+r", {"Rock+Roll & Jazz #1"}},
                                                      {"& jazz #", {"Rock+Roll & Jazz #1"}}}) {
        TypeName(typed);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Names(), expected) << typed.toStdString();
        EXPECT_EQ(QString::fromStdString(Searches().back().params.at("name")), typed.trimmed());
    }
}

TEST_F(FindStations, ScrollingToTheEndFetchesTheNextHundred) {
    for (int i = 1; i <= 250; ++i) {
        quorane::test::FixtureStation s;
        s.name = "Pager " + std::to_string(1000 + i);
        s.votes = 5000 - i;
        s.url = "http://pager.invalid/" + std::to_string(i);
        directory.add(s);
    }
    Open();
    form->resize(800, 500);
    TypeName("Pager");
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(form->Results->Count(), 100);
    EXPECT_EQ(form->Results->Text(99, 0), "Pager 1100");
    EXPECT_TRUE(form->Search->HasMore());
    for (const int rows : {200, 250}) {
        ScrollToEnd();
        ASSERT_TRUE(
            WaitFor([&] { return form->Results->Count() == rows && !form->Search->Running(); }));
    }
    EXPECT_EQ(form->Results->Text(249, 0), "Pager 1250");
    EXPECT_FALSE(form->Search->HasMore());
    EXPECT_EQ(Status(), "250 stations, showing 1-250");
    ScrollToEnd();
    QTest::qWait(100);
    std::vector<std::string> offsets;
    for (const auto &r : Searches())
        if (r.params.count("name"))
            offsets.push_back(r.params.at("offset"));
    EXPECT_EQ(offsets, (std::vector<std::string>{"0", "100", "200"}));
}

TEST_F(FindStations, ANewerSearchCancelsTheSlowOneWhoseAnswerIsNeverShown) {
    directory.delayName("Slow", 1500);
    Open();
    TypeName("Slow");
    ASSERT_TRUE(
        WaitFor([&] { return !Searches().empty() && Searches().back().params.count("name"); }));
    EXPECT_EQ(Status(), "Searching...");
    TypeName("Quokka Rock");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"}));
    // Well past the slow answer's time: the table still shows the newer one.
    QTest::qWait(2000);
    EXPECT_EQ(Names(), QStringList({"Quokka Rock"}));
    EXPECT_EQ(Status(), "1 station, showing 1-1");
}

TEST_F(FindStations, EnterPlaysTheFirstResultOfWhatWasTypedAndTellsTheDirectory) {
    Open();
    TypeName("quokka cl");
    // Enter before the pause is over: the answer to what was typed plays.
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitFor([&] { return !host.played.isEmpty(); }));
    ASSERT_EQ(host.played.size(), 1);
    EXPECT_EQ(host.played[0].name, "Quokka Classics");
    EXPECT_EQ(host.played[0].url, "http://quokka.invalid/OGG/resolved");
    ASSERT_TRUE(WaitFor([&] { return directory.clicks().size() == 1; }));
    EXPECT_EQ(directory.clicks()[0], form->Results->Station(0).stationUuid.toStdString());

    // Down goes to the results; Enter there and a double-click play that one.
    TypeName("quokka");
    ASSERT_TRUE(WaitIdle());
    Key(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), form->sListView1);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    ASSERT_EQ(host.played.size(), 2);
    EXPECT_EQ(host.played[1].name, "Quokka Classics");
    const QRect third = form->sListView1->visualRect(form->Results->index(2, 0));
    QTest::mouseClick(form->sListView1->viewport(), Qt::LeftButton, Qt::NoModifier, third.center());
    QTest::mouseDClick(form->sListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                       third.center());
    ASSERT_EQ(host.played.size(), 3);
    EXPECT_EQ(host.played[2].name, "Quokka Jazz Lounge");
    // Up from the first row goes back to the name box.
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), form->sEdit1);
    ASSERT_TRUE(WaitFor([&] { return directory.clicks().size() == 3; }));
}

TEST_F(FindStations, ABrokenStationPlaysWhenAskedForAndAStationWithoutAddressDoesNot) {
    quorane::test::FixtureStation bare;
    bare.name = "Addressless";
    bare.missing = {"url", "url_resolved"};
    directory.add(bare);
    Open();
    form->sCheckBox1->setChecked(false);
    TypeName("quokka news");
    ASSERT_TRUE(WaitIdle());
    Key(Qt::Key_Return);
    ASSERT_EQ(host.played.size(), 1);
    EXPECT_EQ(host.played[0].name, "quokka news");
    TypeName("Addressless");
    ASSERT_TRUE(WaitIdle());
    Key(Qt::Key_Return);
    EXPECT_EQ(host.played.size(), 1);
    EXPECT_EQ(Status(), "\"Addressless\" has no stream address in the directory");
}

TEST_F(FindStations, InsertAndTheMenuAddToTheListAndFillAFavouriteSlot) {
    Open();
    TypeName("quokka jazz");
    ASSERT_TRUE(WaitIdle());
    // Insert works from the name box: the first result is the current one.
    Key(Qt::Key_Insert);
    ASSERT_EQ(host.lines.size(), 1);
    EXPECT_EQ(host.lines[0], "Quokka Jazz Lounge\tjazz, lounge\tjazz\tGermany\tgerman\t"
                             "http://quokka.invalid/MP3/resolved\thttps://quokka.invalid/home\t");
    EXPECT_EQ(form->sEdit1->text(), "quokka jazz");
    // Added twice, it is there twice, as Add a new station does.
    form->sButton2->click();
    EXPECT_EQ(host.lines.size(), 2);

    const QRect row = form->sListView1->visualRect(form->Results->index(0, 0));
    form->sListView1->customContextMenuRequested(row.center());
    ASSERT_TRUE(form->PopupMenu1->isVisible());
    EXPECT_TRUE(form->Openhomepage1->isEnabled());
    form->PopupMenu1->hide();
    form->Slot[13]->trigger();
    ASSERT_EQ(host.favorites.size(), 1);
    EXPECT_EQ(host.favorites[0].first, 14);
    EXPECT_EQ(host.favorites[0].second, "http://quokka.invalid/MP3/resolved");
    form->Openhomepage1->trigger();
    EXPECT_EQ(app.prompts.openedUrls, QStringList({"https://quokka.invalid/home"}));
    EXPECT_EQ(form->Putinfavoriteslot1->actions().size(), 14);
    EXPECT_EQ(form->Slot[0]->text(), "Slot 1");
}

TEST_F(FindStations, AHomepageThatIsNoWebPageIsNeverOpened) {
    for (const char *page : {"javascript:alert(1)", "file:///etc/passwd", "", "not a url"}) {
        quorane::test::FixtureStation s;
        s.name = std::string("Odd Home ") + page;
        s.url = "http://odd.invalid/";
        s.homepage = page;
        directory.add(s);
    }
    Open();
    TypeName("Odd Home");
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(form->Results->Count(), 4);
    for (int r = 0; r < 4; ++r) {
        const QRect row = form->sListView1->visualRect(form->Results->index(r, 0));
        form->sListView1->customContextMenuRequested(row.center());
        EXPECT_FALSE(form->Openhomepage1->isEnabled()) << r;
        form->PopupMenu1->hide();
        form->Openhomepage1Click();
    }
    EXPECT_TRUE(app.prompts.openedUrls.isEmpty());
}

TEST_F(FindStations, StationsWithMissingNullAndMistypedFieldsStillShow) {
    Open();
    form->sCheckBox1->setChecked(false);
    TypeName(""); // everything, in pages
    ASSERT_TRUE(WaitIdle());
    // The generated data set sends null, missing and wrongly typed fields in
    // every few dozen stations; the whole of it passes through the table.
    while (form->Search->HasMore()) {
        const int rows = form->Results->Count();
        ScrollToEnd();
        ASSERT_TRUE(WaitFor([&] {
            return form->Results->Count() > rows || !form->Search->HasMore();
        })) << rows
            << " " << Status().toStdString();
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_EQ(form->Results->Count(), int(directory.stations().size()));
    EXPECT_TRUE(app.prompts.ErrorBoxes().isEmpty());
}

TEST_F(FindStations, EscClosesTheWindowAndItsPlaceAndSizeAreKept) {
    Open();
    form->move(120, 90);
    form->resize(900, 600);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    form->WriteGeometry();
    const QByteArray geometry = TempAppFolder::Read(app.GeometryFile());
    EXPECT_TRUE(geometry.contains("[Find stations]\nTop=90\nLeft=120\nWidth=900\nHeight=600\n"))
        << geometry.constData();
    form = MakeWindow(QString::fromStdString(directory.base()));
    form->Open();
    EXPECT_EQ(form->pos(), QPoint(120, 90));
    EXPECT_EQ(form->size(), QSize(900, 600));
    // Minimised when the last run ended: opened, it shows.
    form->showMinimized();
    form->WriteGeometry();
    ASSERT_TRUE(TempAppFolder::Read(app.GeometryFile()).contains("WindowState=1"));
    form = MakeWindow(QString::fromStdString(directory.base()));
    form->Open();
    EXPECT_FALSE(form->isMinimized());
}
