// The station list's texts and the search box: which row a text finds, what
// the selection becomes, and the box's click, Tab and Enter.
#include "MainWindowFixture.h"
#include "stations/StationLine.h"
#include "stations/StationSearch.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTcpServer>

namespace {

using Search = MainWindowFixture;

StationList ListOf(const QStringList &lines) {
    StationList list;
    list.Assign(lines);
    return list;
}

// Odd lines of a list long enough to scroll.
class LongSearch : public MainWindowFixture {
protected:
    QByteArray StationFile() const override {
        QByteArray file;
        for (int i = 0; i < 300; ++i)
            file += "Station " + QByteArray::number(i) + "\tdesc\tPop\tUSA\tEnglish\thttp://s" +
                    QByteArray::number(i) + ".example/\t\r\n";
        return file;
    }
};

} // namespace

TEST(StationSearch, FindsTheFirstLineHoldingTheTextCaseSensitively) {
    const StationList list =
        ListOf({"Alpha\tdesc one\tJazz", "beta\tJazz lounge\tjazz", "Gamma\tRock\tJazz\tUSA"});
    EXPECT_EQ(StationSearch::FindFirst(list, "Alpha", 3), 0) << "the first line is searched too";
    EXPECT_EQ(StationSearch::FindFirst(list, "Jazz", 3), 0);
    EXPECT_EQ(StationSearch::FindFirst(list, "jazz", 3), 1);
    EXPECT_EQ(StationSearch::FindFirst(list, "JAZZ", 3), -1) << "no folding of case";
    EXPECT_EQ(StationSearch::FindFirst(list, "Rock\tJazz", 3), 2) << "tabs are part of the line";
    EXPECT_EQ(StationSearch::FindFirst(list, "", 3), -1) << "the empty text finds nothing";
    EXPECT_EQ(StationSearch::FindFirst(list, "nowhere", 3), -1);
    EXPECT_EQ(StationSearch::FindFirst(list, "Gamma", 2), -1) << "only rows below the count";
    EXPECT_EQ(StationSearch::FindFirst(list, "Gamma", 10), 2) << "never past the list's end";
    EXPECT_EQ(StationSearch::FindFirst(list, "Alpha", 0), -1);
    EXPECT_EQ(StationSearch::FindFirst(list, " one", 3), 0);
}

TEST_F(Search, FindsStationsByAnyPartOfTheirLineAndSelectsOnlyTheFoundRow) {
    form->sEdit1->setText("Alpha");
    EXPECT_EQ(form->CurrentStation(), 0) << "the first row is found";
    form->sEdit1->setText("classical");
    EXPECT_EQ(form->CurrentStation(), 2) << "description";
    form->sEdit1->setText("delta.example/rock");
    EXPECT_EQ(form->CurrentStation(), 3) << "stream URL";
    form->sEdit1->setText("beta-home");
    EXPECT_EQ(form->CurrentStation(), 1) << "additional URL";
    form->sEdit1->setText("Austria\tGerman");
    EXPECT_EQ(form->CurrentStation(), 2) << "across a tab";

    // The found row replaces the selection and becomes the current item.
    Select({0, 1});
    form->sEdit1->setText("Rock hits");
    const QModelIndexList rows = form->sListView1->selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].row(), 3);
    EXPECT_EQ(form->sListView1->currentIndex().row(), 3);

    // No match, a case that differs and the empty text change nothing.
    for (const char *text : {"nowhere", "rock hits", ""}) {
        form->sEdit1->setText(text);
        EXPECT_EQ(form->CurrentStation(), 3) << text;
        EXPECT_EQ(form->sListView1->selectionModel()->selectedRows().size(), 1) << text;
    }
}

TEST_F(LongSearch, ScrollsTheFoundRowWhollyIntoView) {
    ShowActive();
    QScrollBar *across = form->sListView1->horizontalScrollBar();
    form->resize(480, 320);
    across->setValue(across->maximum());
    const int column = across->value();
    for (const char *text : {"Station 250\t", "Station 7\t", "Station 299\t", "Station 120\t"}) {
        form->sEdit1->setText(text);
        const int row = form->CurrentStation();
        ASSERT_GE(row, 0) << text;
        const QRect cell = form->sListView1->visualRect(form->Model->index(row, 1));
        const QRect view = form->sListView1->viewport()->rect();
        EXPECT_GE(cell.top(), view.top()) << text;
        EXPECT_LE(cell.bottom(), view.bottom()) << text;
    }
    EXPECT_EQ(across->value(), column) << "the columns stay scrolled where they were";
}

TEST_F(Search, ClickingTheBoxEmptiesItAndKeepsTheSelection) {
    ShowActive();
    form->sEdit1->setText("Gamma");
    ASSERT_EQ(form->CurrentStation(), 2);
    QTest::mouseClick(form->sEdit1, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(form->sEdit1->text(), "");
    EXPECT_EQ(form->CurrentStation(), 2);

    // Also text the user typed goes, and the box only empties on a click.
    form->sEdit1->setText("Beta");
    QTest::mouseClick(form->sEdit1, Qt::LeftButton);
    EXPECT_EQ(form->sEdit1->text(), "");
    form->sEdit1->setText("Delta");
    form->sListView1->setFocus();
    form->sEdit1->setFocus(Qt::OtherFocusReason);
    EXPECT_EQ(form->sEdit1->text(), "Delta");
}

TEST_F(Search, TabIntoTheBoxSelectsItsTextSoTheFirstKeyReplacesIt) {
    ShowActive();
    form->sTrackBar1->setFocus();
    Key(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form->sEdit1);
    EXPECT_EQ(form->sEdit1->selectedText(), "Search...");
    QTest::keyClick(form->windowHandle(), 'N');
    EXPECT_EQ(form->sEdit1->text(), "N");
    EXPECT_EQ(form->CurrentStation(), 1) << "the first line holding \"N\": \"News\"";
    QTest::keyClick(form->windowHandle(), 'a');
    EXPECT_EQ(form->sEdit1->text(), "Na");
    EXPECT_EQ(form->CurrentStation(), 1) << "nothing holds \"Na\": the selection stays";
}

TEST_F(Search, EnterInTheBoxAndInTheListPlaysTheCurrentStationWithoutBeeping) {
    // Stations on a port of 127.0.0.1 nothing listens on: the player tries
    // them and nothing leaves the machine.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(probe.serverPort());
    probe.close();
    form->Model->SetRowCount(0);
    form->Stations.Assign({"Alpha\tJazz\tJazz\tUSA\tEnglish\t" + base + "alpha\t",
                           "Beta\tNews\tNews\tUK\tEnglish\t" + base + "beta\t",
                           "Gamma\tclassical\tClassical\tAustria\tGerman\t" + base + "gamma\t"});
    form->Model->SetRowCount(form->Stations.Count());
    ShowActive();

    form->sEdit1->setFocus();
    Key(Qt::Key_Return);
    EXPECT_EQ(form->sEdit1->text(), "Search...") << "Enter types nothing";
    EXPECT_TRUE(form->Playback.CurrentUrl.isEmpty()) << "nothing is current: nothing plays";

    form->sEdit1->setText("Gamma");
    Key(Qt::Key_Return);
    EXPECT_EQ(form->sEdit1->text(), "Gamma") << "Enter types nothing";
    EXPECT_EQ(QString::fromLatin1(form->Playback.CurrentUrl), base + "gamma")
        << "the found station plays";
    EXPECT_TRUE(form->isVisible());

    form->sListView1->setFocus();
    Select({1});
    Key(Qt::Key_Enter);
    EXPECT_EQ(form->CurrentStation(), 1) << "Enter does not move the selection";
    EXPECT_EQ(QString::fromLatin1(form->Playback.CurrentUrl), base + "beta")
        << "the selected one plays";
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Search, TheListHasNoTypeAheadAndColumnClicksDoNotSort) {
    ShowActive();
    form->sListView1->setFocus();
    Select({0});
    // The current cell in the "Station" column: a view's own type-ahead
    // would find "Gamma" for G and "Delta Rock" for D there.
    form->sListView1->setCurrentIndex(form->Model->index(0, 1));
    Select({0});
    Key(Qt::Key_G);
    EXPECT_EQ(form->CurrentStation(), 0);
    Key(Qt::Key_D);
    EXPECT_EQ(form->CurrentStation(), 0);
    EXPECT_EQ(form->sListView1->currentIndex().row(), 0);

    // A click on the "Station" header: no reordering, and the selection stays.
    Select({2});
    QHeaderView *header = form->sListView1->horizontalHeader();
    const int stationColumn = header->sectionViewportPosition(1) + 10;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(stationColumn, 5));
    EXPECT_EQ(form->sListView1->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(form->CurrentStation(), 2);
    QAbstractItemModel *shown = form->sListView1->model();
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(form->sListView1->verticalHeader()->logicalIndex(r), r);
        EXPECT_EQ(shown->index(r, 1).data().toString(),
                  ExtractField(QLatin1Char('\t'), Lines()[r], 1));
    }
}

TEST_F(Search, RowTextsComeFromTheLinesFieldsWhateverTheirShape) {
    form->Model->SetRowCount(0);
    form->Stations.Assign({"No tabs at all", "Only\tthree\tfields", "Trailing\t\t\t\t\turl\t", "",
                           "A\tB\tC\tD\tE\tF\tG\tafter the seventh"});
    form->Model->SetRowCount(form->Stations.Count());
    const auto shown = [&](int r) {
        QStringList texts;
        for (int c = 0; c < 8; ++c)
            texts.append(form->sListView1->model()->index(r, c).data().toString());
        return texts;
    };
    EXPECT_EQ(shown(0), QStringList({"1", "No tabs at all", "", "", "", "", "", ""}));
    EXPECT_EQ(shown(1), QStringList({"2", "Only", "fields", "", "", "three", "", ""}));
    EXPECT_EQ(shown(2), QStringList({"3", "Trailing", "", "", "url", "", "", ""}));
    EXPECT_EQ(shown(3), QStringList({"4", "", "", "", "", "", "", ""}));
    EXPECT_EQ(shown(4), QStringList({"5", "A", "C", "D", "F", "B", "E", "G"}));
}
